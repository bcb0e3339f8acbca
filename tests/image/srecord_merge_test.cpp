#include "documents/error.h"
#include "image/srecord_merge.h"
#include "platform/file_names.h"
#include "tests/image/merge_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::Crlf;
using test::CrlfLines;
using test::MergeFolder;
using test::ReadText;
using test::RecordingReport;
using test::TestBank;
using test::WriteText;

const std::string kNotCreated = "File New Sx Not Create,Abort Procedure";

struct ChecksumCase {
    const char* record;  // with its checksum or a placeholder in the last two characters
    const char* checksum;
};

class Checksum : public testing::TestWithParam<ChecksumCase> {};

TEST_P(Checksum, IsTheComplementOfTheByteSum)
{
    EXPECT_EQ(SRecordChecksum(GetParam().record), GetParam().checksum);
}

INSTANTIATE_TEST_SUITE_P(Records, Checksum, testing::Values(
    ChecksumCase{"S1137AF00A0A0D0000000000000000000000000061", "61"},
    ChecksumCase{"S00F000068656C6C6F202020202000003C", "3C"},
    ChecksumCase{"S9030000FC", "FC"},
    ChecksumCase{"S224388000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00", "43"},
    ChecksumCase{"S22439BFE0000000000000000000000000000000000000000000000000000000000000000000", "03"}));

TEST(BankRecords, AreTheBankIn512RecordsOfItsWindow)
{
    const std::vector<std::uint8_t> bank = TestBank(1);
    const std::vector<std::string> lines = CrlfLines(BankRecords(1, bank));
    ASSERT_EQ(lines.size(), 512u);
    EXPECT_EQ(lines[0], "S224388000" + std::string(64, 'F') + "43");
    for (std::size_t k = 0; k < lines.size(); ++k) {
        ASSERT_EQ(lines[k].size(), 76u) << k;
        EXPECT_EQ(lines[k].substr(0, 4), "S224");
        EXPECT_EQ(std::stoul(lines[k].substr(4, 6), nullptr, 16), 0x388000 + 32 * k);
        for (std::size_t i = 0; i < 32; ++i)
            ASSERT_EQ(std::stoul(lines[k].substr(10 + 2 * i, 2), nullptr, 16), bank[32 * k + i]) << k << " " << i;
        EXPECT_EQ(lines[k].find_first_of("abcdef"), std::string::npos) << "upper-case digits";
    }
    EXPECT_EQ(CrlfLines(BankRecords(2, TestBank(2)))[511], "S22439BFE0" + std::string(64, '0') + "03");
}

TEST(BankRecords, AShortBankReadsAsErasedFlash)
{
    const std::vector<std::uint8_t> bank(100, 0x11);
    const std::vector<std::string> lines = CrlfLines(BankRecords(1, bank));
    ASSERT_EQ(lines.size(), 512u);
    EXPECT_EQ(lines[3].substr(10, 64), "11111111" + std::string(56, 'F'));
    EXPECT_EQ(lines[511], "S22438BFE0" + std::string(64, 'F') + "24");
}

// A data record with correct checksum: kind '1' has a 16-bit address, '2' a 24-bit one.
std::string Record(char kind, std::uint32_t address, std::size_t length = 32)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const int addressBytes = kind == '1' ? 2 : 3;
    std::string text = "S";
    text += kind;
    const auto byte = [&](unsigned value) {
        text += kHex[(value >> 4) & 0x0F];
        text += kHex[value & 0x0F];
    };
    byte(static_cast<unsigned>(addressBytes + length + 1));
    for (int i = addressBytes - 1; i >= 0; --i) byte(address >> (8 * i));
    for (std::size_t i = 0; i < length; ++i) byte(static_cast<unsigned>(address + 3 * i));
    text += "00";
    text.replace(text.size() - 2, 2, SRecordChecksum(text));
    return text;
}

const std::string kS0 = "S00F000068656C6C6F202020202000003C";
const std::string kS1 = Record('1', 0x3880, 16);  // its four digits look like bank 1's page
const std::string kS9 = "S9030000FC";
std::string S2(std::uint32_t address, std::size_t length = 32) { return Record('2', address, length); }
std::string W1(int k) { return S2(0x388000 + 32 * static_cast<std::uint32_t>(k)); }
std::string W2(int k) { return S2(0x398000 + 32 * static_cast<std::uint32_t>(k)); }

struct MergeCase {
    std::string name;
    std::string base;                                // the base firmware's text
    std::optional<std::vector<std::string>> merged;  // its lines, "#n" for bank n's records; nothing: not written
    std::vector<std::string> messages;
    std::vector<int> results;  // of the stages that ran, in order
    bool complete = false;
    std::function<void(MergeFolder&, MergeJob&)> change = {};  // to the folder or the job before the merge
};

// 40 records of each window scattered among the others, window records in no order.
MergeCase scatteredWindowRecords()
{
    std::vector<std::string> base = {kS0, kS1}, merged = {kS0, kS1};
    int w1 = 0, w2 = 0;
    for (std::uint32_t i = 0; i < 130; ++i) {
        base.push_back(S2(0x308000 + 32 * i));
        merged.push_back(base.back());
        if (i % 3 == 1 && w1 < 40) {
            base.push_back(W1(w1 * 13 % 512 + 1));
            if (w1++ == 0) merged.push_back("#1");
        }
        if (i % 3 == 2 && w2 < 40) {
            base.push_back(W2(w2 * 29 % 512 + 3));
            if (w2++ == 0) merged.push_back("#2");
        }
    }
    base.push_back(kS9);
    merged.push_back(kS9);
    return {"FortyScatteredRecordsInEachWindow", Crlf(base), merged, {}, {1, 1}, true};
}

std::vector<MergeCase> MergeCases()
{
    const std::string standard = Crlf({kS0, kS1, W1(0), W2(0), kS9});
    const std::vector<std::string> standardMerged = {kS0, kS1, "#1", "#2", kS9};
    return {
        scatteredWindowRecords(),
        {"RecordsAtTheWindowEdges",
         Crlf({kS0, S2(0x387FF0), S2(0x38BFE0), S2(0x388000), S2(0x38C000), S2(0x398000), S2(0x39BFFF, 1),
               S2(0x39C000), kS9}),
         std::vector<std::string>{kS0, S2(0x387FF0), "#1", S2(0x38C000), "#2", S2(0x39C000), kS9}, {}, {1, 1}, true},
        {"LowerCaseTagIsCopied", Crlf({kS0, "s2" + W1(0).substr(2), W1(1), W2(0), kS9}),
         std::vector<std::string>{kS0, "s2" + W1(0).substr(2), "#1", "#2", kS9}, {}, {1, 1}, true},
        {"S8WithoutS9", Crlf({kS0, W1(0), W2(0), "S804000000FB"}), std::nullopt,
         {"Record S9 Not Found,Abort Procedure"}, {-1}},
        {"NoRecordInBank2Window", Crlf({kS0, S2(0x308000), W1(3), kS9}),
         std::vector<std::string>{kS0, S2(0x308000), "#1", kS9}, {"Bank 2 Not Inserted,Abort Procedure"}, {1, 0}},
        {"S9BeforeTheWindowRecords", Crlf({kS0, kS9, W1(0), W2(0)}),
         std::vector<std::string>{kS0, kS9, "#1", "#2"},
         {"Bank 1 Not Inserted,Abort Procedure", "Bank 2 Not Inserted,Abort Procedure"}, {0, 0}},
        {"EmptyLineBeforeS9", Crlf({kS0, W1(0), W2(0), "", kS9}), std::nullopt, {kNotCreated}, {-1}},
        {"EmptyLineAfterS9", Crlf({kS0, W1(0), W2(0), kS9, ""}), std::vector<std::string>{kS0, "#1", "#2", kS9},
         {kNotCreated}, {1, 1}, true},
        {"S2LineShorterThanTenCharacters", Crlf({kS0, W1(0), W2(0), "S2143880", kS9}), std::nullopt, {kNotCreated},
         {-1}},
        {"AddressNotHexadecimal", Crlf({kS0, W1(0), W2(0), "S21438800G" + std::string(34, '0'), kS9}), std::nullopt,
         {kNotCreated}, {-1}},
        {"LineFeedsAndNoLineEndAtTheEnd", kS0 + "\n" + W1(0) + "\n" + W2(0) + "\n" + kS9,
         std::vector<std::string>{kS0, "#1", "#2", kS9}, {}, {1, 1},
         true},
        {"MissingBank1File", standard, std::nullopt, {"File bank1.bin Not Found,Abort Procedure"}, {-1}, false,
         [](MergeFolder& f, MergeJob&) { std::filesystem::remove(f.project / "bin" / "bank1.bin"); }},
        {"MissingBank2File", standard, std::nullopt, {"File bank2.bin Not Found,Abort Procedure"}, {1, -1}, false,
         [](MergeFolder& f, MergeJob&) { std::filesystem::remove(f.project / "bin" / "bank2.bin"); }},
        {"MissingBank2FileAfterABlankLastLine", Crlf({kS0, kS1, W1(0), W2(0), kS9, ""}), std::nullopt,
         {kNotCreated, "File bank2.bin Not Found,Abort Procedure"}, {1, -1}, false,
         [](MergeFolder& f, MergeJob&) { std::filesystem::remove(f.project / "bin" / "bank2.bin"); }},
        {"MissingBaseFirmware", standard, std::nullopt, {"File *.Sx Not Found,Abort Procedure"}, {-1}, false,
         [](MergeFolder& f, MergeJob&) { std::filesystem::remove(f.base); }},
        {"MissingBinFolder", standard, std::nullopt, {"Directory Bin Not Found,Abort Procedure"}, {-1}, false,
         [](MergeFolder& f, MergeJob&) { std::filesystem::remove_all(f.project / "bin"); }},
        {"EmptyMergedFirmwareName", standard, std::nullopt, {"File New *.Sx Not Found,Abort Procedure"}, {-1}, false,
         [](MergeFolder&, MergeJob& job) { job.mergedFirmwareName.clear(); }},
        {"NamesInAnyCase", standard, standardMerged, {}, {1, 1}, true,
         [](MergeFolder& f, MergeJob&) {
             std::filesystem::rename(f.base, f.master / "PELMORA.SX");
             std::filesystem::rename(f.project / "bin" / "bank2.bin", f.project / "bin" / "Bank2.BIN");
             std::filesystem::rename(f.project / "bin", f.project / "BIN");
             std::filesystem::rename(f.merged, f.project / "new_pelmora.sx");
         }},
    };
}

std::vector<std::string> Expand(const std::vector<std::string>& lines)
{
    std::vector<std::string> expanded;
    for (const std::string& line : lines) {
        if (line == "#1" || line == "#2") {
            const int bank = line[1] - '0';
            for (const std::string& record : CrlfLines(BankRecords(bank, TestBank(bank)))) expanded.push_back(record);
        } else {
            expanded.push_back(line);
        }
    }
    return expanded;
}

std::vector<int> Ran(const MergeOutcome& outcome)
{
    std::vector<int> results;
    for (const auto& result : outcome.results)
        if (result) results.push_back(static_cast<int>(*result));
    return results;
}

class Merge : public testing::TestWithParam<MergeCase> {};

TEST_P(Merge, WritesTellsAndLeavesWhatTheStagesDo)
{
    const MergeCase& c = GetParam();
    MergeFolder folder(c.base);
    MergeJob job = folder.job();
    if (c.change) c.change(folder, job);
    RecordingReport report;

    const MergeOutcome outcome = ExeModFileSxClick(job, report);

    EXPECT_EQ(report.messages, c.messages);
    EXPECT_EQ(Ran(outcome), c.results);
    EXPECT_EQ(outcome.complete(), c.complete);
    const std::filesystem::path merged = ResolveFileName(folder.merged);
    if (c.merged) {
        EXPECT_TRUE(outcome.written);
        EXPECT_EQ(outcome.mergedFirmware, merged);
        EXPECT_EQ(CrlfLines(ReadText(merged)), Expand(*c.merged));
    } else {
        EXPECT_FALSE(outcome.written);
        if (std::filesystem::exists(merged)) {
            EXPECT_EQ(ReadText(merged), MergeFolder::kOldMerged);
        }
    }
    if (std::filesystem::exists(ResolveFileName(job.baseFirmware))) {
        EXPECT_EQ(ReadText(ResolveFileName(job.baseFirmware)), c.base) << "the base firmware is only read";
    }
    // Of the run's files only the merged firmware may stay: no intermediate or temporary file.
    for (const auto& entry : std::filesystem::directory_iterator(folder.project)) {
        const std::string name = entry.path().filename().string();
        EXPECT_FALSE(name.size() == 5 && name[0] == 'B' && name.substr(2) == ".sx") << name;
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Merge, testing::ValuesIn(MergeCases()),
                         [](const auto& info) { return info.param.name; });

// The chain as the stages run one after the other, each reading the file the one before wrote,
// an unselected stage renaming its input to its output.
std::vector<int> RunChain(const MergeJob& job, MergeReport& report)
{
    std::vector<int> results;
    std::filesystem::path input = job.baseFirmware;
    for (int n = 1; n <= kMergeStageCount; ++n) {
        const std::filesystem::path output =
            n == kMergeStageCount ? job.mergedFirmwareName : std::filesystem::path("B" + std::to_string(n) + ".sx");
        if (job.banks[static_cast<std::size_t>(n - 1)]) {
            const MergeResult result = MergeBank(job, n, input, output, report);
            results.push_back(static_cast<int>(result));
            if (result == MergeResult::Stopped) break;
        } else {
            // Replacing a file keeps the name it has, in whatever case.
            const std::filesystem::path target = ResolveFileName(job.outputFolder / output);
            std::error_code ec;
            std::filesystem::remove(target, ec);
            std::filesystem::rename(input, target, ec);
        }
        input = job.outputFolder / output;
    }
    for (int n = 1; n <= kMergeStageCount; ++n) {
        std::error_code ec;
        std::filesystem::remove(job.outputFolder / ("B" + std::to_string(n) + ".sx"), ec);
    }
    return results;
}

using Selection = std::array<bool, kMergeStageCount>;

class OnePass : public testing::TestWithParam<std::tuple<MergeCase, Selection>> {};

TEST_P(OnePass, EndsAsTheChainOfStages)
{
    const auto& [c, banks] = GetParam();
    MergeFolder byPass(c.base), byChain(c.base);
    MergeJob passJob = byPass.job(), chainJob = byChain.job();
    if (c.change) {
        c.change(byPass, passJob);
        c.change(byChain, chainJob);
    }
    passJob.banks = chainJob.banks = banks;
    RecordingReport passReport, chainReport;

    const MergeOutcome outcome = ExeModFileSxClick(passJob, passReport);
    const std::vector<int> chainResults = RunChain(chainJob, chainReport);

    EXPECT_EQ(passReport.messages, chainReport.messages);
    EXPECT_EQ(Ran(outcome), chainResults);
    EXPECT_EQ(byPass.snapshot(), byChain.snapshot());
}

INSTANTIATE_TEST_SUITE_P(Cases, OnePass,
                         testing::Combine(testing::ValuesIn(MergeCases()),
                                          testing::Values(Selection{true, true, false, false, false},
                                                          Selection{true, false, true, false, true},
                                                          Selection{true, true, true, true, true})),
                         [](const auto& info) {
                             std::string banks;
                             for (int n = 0; n < kMergeStageCount; ++n)
                                 if (std::get<1>(info.param)[static_cast<std::size_t>(n)]) banks += std::to_string(n + 1);
                             return std::get<0>(info.param).name + "_Banks" + banks;
                         });

TEST(MergedFirmware, ReadsBackWithObjcopyAsTheBanksInTheirWindows)
{
    if (std::system("objcopy --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "objcopy is not installed";
    std::vector<std::string> lines = {kS0, kS1};
    for (std::uint32_t i = 0; i < 8; ++i) lines.push_back(S2(0x378000 + 32 * i));
    lines.insert(lines.end(), {W1(7), W2(1), W1(2), S2(0x3A8000, 20), kS9});
    MergeFolder folder(Crlf(lines));
    RecordingReport report;
    ASSERT_TRUE(ExeModFileSxClick(folder.job(), report).complete());

    const auto binary = folder.root / "merged.bin";
    const std::string command = "objcopy -I srec -O binary '" + folder.merged.string() + "' '" + binary.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string bytes = ReadText(binary);
    constexpr std::size_t kOrigin = 0x3880;  // the lowest address of the file
    ASSERT_EQ(bytes.size(), 0x3A8000 + 20 - kOrigin);
    const auto at = [&](std::size_t address, std::size_t length) { return bytes.substr(address - kOrigin, length); };
    for (int bank = 1; bank <= 2; ++bank) {
        const auto expected = TestBank(bank);
        EXPECT_EQ(at(BankWindowStart(bank), 16384), std::string(expected.begin(), expected.end())) << bank;
    }
    EXPECT_EQ(at(0x3880, 1)[0], static_cast<char>(0x80));
    EXPECT_EQ(at(0x378000 + 32 * 7 + 1, 1)[0], static_cast<char>((0x378000 + 32 * 7 + 3) & 0xFF));
    EXPECT_EQ(at(0x3A8000 + 19, 1)[0], static_cast<char>((0x3A8000 + 57) & 0xFF));
}

TEST(MergedFirmware, AnOutputFolderThatCannotBeWrittenRaisesTheError)
{
    MergeFolder folder(Crlf({kS0, W1(0), W2(0), kS9}));
    MergeJob job = folder.job();
    job.outputFolder = folder.root / "no such folder";
    RecordingReport report;
    EXPECT_THROW(ExeModFileSxClick(job, report), Error);
    EXPECT_EQ(ReadText(folder.merged), MergeFolder::kOldMerged);
}

}  // namespace
}  // namespace trelvant
