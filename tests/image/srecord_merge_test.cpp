#include "image/srecord_merge.h"
#include "platform/error.h"
#include "platform/file_names.h"
#include "tests/image/merge_test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <cstring>
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
using test::TempFolder;
using test::TestBank;
using test::WriteText;

const std::string kNotCreated = "File New Sx Not Create,Abort Procedure";

// The expected messages, "%b" standing for the base firmware's path and "%f" for the bin folder's.
std::vector<std::string> WithPaths(std::vector<std::string> messages, const std::filesystem::path& base,
                                   const std::filesystem::path& bin)
{
    for (std::string& message : messages) {
        if (const std::size_t at = message.find("%b"); at != std::string::npos) message.replace(at, 2, base.string());
        if (const std::size_t at = message.find("%f"); at != std::string::npos) message.replace(at, 2, bin.string());
    }
    return messages;
}

// Messages of runs in two folders made comparable: the folder's path becomes "<root>".
std::vector<std::string> WithoutRoot(std::vector<std::string> messages, const std::filesystem::path& root)
{
    const std::string path = root.string();
    for (std::string& message : messages)
        for (std::size_t at; (at = message.find(path)) != std::string::npos;) message.replace(at, path.size(), "<root>");
    return messages;
}

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

// A record with correct checksum: kinds '1' and '5' have a 16-bit address field, '2' and '6' a
// 24-bit one (a count record is one without data).
std::string Record(char kind, std::uint32_t address, std::size_t length = 32)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const int addressBytes = kind == '1' || kind == '5' ? 2 : 3;
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
    std::vector<std::string> messages;               // "%b": the base firmware's path, "%f": the bin folder's
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
        {"EmptyLineBeforeS9", Crlf({kS0, W1(0), W2(0), "", kS9}), std::nullopt,
         {"%b, line 4: " + kNotCreated + ": empty line"}, {-1}},
        {"EmptyLineAfterS9", Crlf({kS0, W1(0), W2(0), kS9, ""}), std::vector<std::string>{kS0, "#1", "#2", kS9},
         {"%b, line 5: " + kNotCreated + ": empty line"}, {1, 1}, true},
        {"EmptyFirstLine", "\r\n" + Crlf({kS0, W1(0), W2(0), kS9}), std::nullopt,
         {"%b, line 1: " + kNotCreated + ": empty line"}, {-1}},
        {"S2LineShorterThanTenCharacters", Crlf({kS0, W1(0), W2(0), "S2143880", kS9}), std::nullopt,
         {"%b, line 4: " + kNotCreated + ": S2 record shorter than ten characters"}, {-1}},
        {"AddressNotHexadecimal", Crlf({kS0, W1(0), W2(0), "S21438800G" + std::string(34, '0'), kS9}), std::nullopt,
         {"%b, line 4: " + kNotCreated + ": address is not hexadecimal"}, {-1}},
        {"FailureLineCountsEveryLineEnd",
         kS0 + "\n" + std::string(3000, 'x') + "\r\n" + W1(0) + "\n\n" + W2(0) + "\r\n" + kS9 + "\r\n", std::nullopt,
         {"%b, line 4: " + kNotCreated + ": empty line"}, {-1}},
        {"CountRecordsCountTheMergedFile",
         Crlf({kS0, kS1, "S5030001FB", W1(0), W1(5), W2(0), S2(0x308000), "S604000005F6", "s5030001FB", kS9}),
         std::vector<std::string>{kS0, kS1, "S5030001FB", "#1", "#2", S2(0x308000), "S5030402F6", "s5030001FB", kS9},
         {}, {1, 1}, true},
        {"LineFeedsAndNoLineEndAtTheEnd", kS0 + "\n" + W1(0) + "\n" + W2(0) + "\n" + kS9,
         std::vector<std::string>{kS0, "#1", "#2", kS9}, {}, {1, 1},
         true},
        {"MissingBank1File", standard, std::nullopt, {"File bank1.bin Not Found,Abort Procedure"}, {-1}, false,
         [](MergeFolder& f, MergeJob&) { std::filesystem::remove(f.project / "bin" / "bank1.bin"); }},
        {"MissingBank2File", standard, std::nullopt, {"File bank2.bin Not Found,Abort Procedure"}, {1, -1}, false,
         [](MergeFolder& f, MergeJob&) { std::filesystem::remove(f.project / "bin" / "bank2.bin"); }},
        {"MissingBank2FileAfterABlankLastLine", Crlf({kS0, kS1, W1(0), W2(0), kS9, ""}), std::nullopt,
         {"%b, line 6: " + kNotCreated + ": empty line", "File bank2.bin Not Found,Abort Procedure"}, {1, -1}, false,
         [](MergeFolder& f, MergeJob&) { std::filesystem::remove(f.project / "bin" / "bank2.bin"); }},
        {"UnfinishedBuildIsRefused", standard, std::nullopt, {"%f: the last build did not complete: build again"},
         {-1}, false, [](MergeFolder& f, MergeJob&) { WriteText(f.project / "bin" / ".build-incomplete", ""); }},
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
    const std::filesystem::path base = ResolveFileName(job.baseFirmware);
    const bool baseThere = std::filesystem::exists(base);
    RecordingReport report;

    const MergeOutcome outcome = ExeModFileSxClick(job, report);

    EXPECT_EQ(report.messages, WithPaths(c.messages, base, folder.project / "bin"));
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
    if (baseThere) {
        ASSERT_TRUE(std::filesystem::exists(base)) << "the base firmware is only read";
        EXPECT_EQ(ReadText(base), c.base) << "the base firmware is only read";
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

    EXPECT_EQ(WithoutRoot(passReport.messages, byPass.root.path()),
              WithoutRoot(chainReport.messages, byChain.root.path()));
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


// The base firmware is only read, wherever it lies: in the bin folder under the name of the bank
// records' file, or in the project folder under the name of an intermediate file, in any case.
class BaseFirmwarePlace : public testing::TestWithParam<const char*> {};

TEST_P(BaseFirmwarePlace, IsNeitherRemovedNorWritten)
{
    const std::string text = Crlf({kS0, kS1, W1(0), W2(0), kS9});
    MergeFolder folder(text);
    const std::filesystem::path base = folder.project / GetParam();
    // The stray file of that name goes: with two names differing in case the lookup takes one.
    std::filesystem::remove(ResolveFileName(base));
    std::filesystem::rename(folder.base, base);
    RecordingReport report;

    const MergeOutcome outcome = ExeModFileSxClick(ProjectMergeJob(folder.project, base), report);

    EXPECT_EQ(report.messages, std::vector<std::string>{});
    EXPECT_TRUE(outcome.complete());
    ASSERT_TRUE(std::filesystem::exists(base));
    EXPECT_EQ(ReadText(base), text);
    EXPECT_EQ(CrlfLines(ReadText(outcome.mergedFirmware)), Expand({kS0, kS1, "#1", "#2", kS9}));
}

INSTANTIATE_TEST_SUITE_P(Places, BaseFirmwarePlace,
                         testing::Values("bin/Bin.sx", "bin/BIN.SX", "bin/bin.sx", "B1.sx", "b3.SX", "B5.sx"));

TEST(BaseFirmware, IsNotReplacedThroughALinkOfTheMergedFirmware)
{
    const std::string text = Crlf({kS0, W1(0), W2(0), kS9});
#ifdef _WIN32
    // The standard library there makes no symbolic links (they need a privilege on Windows).
    for (const bool hard : {true}) {
#else
    for (const bool hard : {false, true}) {
#endif
        SCOPED_TRACE(hard ? "hard link" : "symbolic link");
        MergeFolder folder(text);
        std::filesystem::remove(folder.merged);
        if (hard) std::filesystem::create_hard_link(folder.base, folder.merged);
        else std::filesystem::create_symlink(folder.base, folder.merged);
        RecordingReport report;

        const MergeOutcome outcome = ExeModFileSxClick(folder.job(), report);

        const std::string refusal = folder.merged.string() + ": " + kNotCreated + ": it would replace the base firmware";
        EXPECT_EQ(report.messages, std::vector<std::string>{refusal});
        EXPECT_EQ(Ran(outcome), std::vector<int>{-1});
        EXPECT_FALSE(outcome.written);
        EXPECT_EQ(ReadText(folder.base), text);
    }
}

TEST(BaseFirmware, IsNotTheOutputOfAStage)
{
    const std::string text = Crlf({kS0, W1(0), W2(0), kS9});
    MergeFolder folder(text);
    const std::filesystem::path base = folder.project / "B1.sx";
    std::filesystem::rename(folder.base, base);
    RecordingReport report;

    EXPECT_EQ(MergeBank(ProjectMergeJob(folder.project, base), 1, base, "b1.SX", report), MergeResult::Stopped);

    const std::string refusal = base.string() + ": " + kNotCreated + ": it would replace the base firmware";
    EXPECT_EQ(report.messages, std::vector<std::string>{refusal});
    EXPECT_EQ(ReadText(base), text);
}

#ifndef _WIN32
// An entry that is not a regular file, and the reason the merge gives for it.
struct OddEntry {
    std::string name;
    std::function<void(const std::filesystem::path&)> make;
    std::string reason;
};

std::vector<OddEntry> OddEntries()
{
    return {
        {"Fifo", [](const std::filesystem::path& at) { ASSERT_EQ(mkfifo(at.c_str(), 0600), 0); },
         "a FIFO, not a regular file"},
        {"Device", [](const std::filesystem::path& at) { std::filesystem::create_symlink("/dev/zero", at); },
         "a character device, not a regular file"},
        {"Folder", [](const std::filesystem::path& at) { std::filesystem::create_directory(at); },
         "a folder, not a regular file"},
        {"Socket",
         [](const std::filesystem::path& at) {
             const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
             ASSERT_GE(fd, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             ASSERT_LT(at.string().size(), sizeof(address.sun_path));
             std::strcpy(address.sun_path, at.c_str());
             EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
             close(fd);
         },
         "a socket, not a regular file"},
        {"DanglingLink",
         [](const std::filesystem::path& at) { std::filesystem::create_symlink(at.parent_path() / "nothing", at); },
         "a symbolic link to nothing"},
        {"LoopingLink",
         [](const std::filesystem::path& at) {
             std::filesystem::create_symlink(at.parent_path() / "loop", at);
             std::filesystem::create_symlink(at, at.parent_path() / "loop");
         },
         "Too many levels of symbolic links"},
    };
}

class OddFile : public testing::TestWithParam<std::tuple<OddEntry, bool>> {};

TEST_P(OddFile, IsRefusedBeforeItIsOpened)
{
    const auto& [entry, asBankFile] = GetParam();
    MergeFolder folder(Crlf({kS0, W1(0), W2(0), kS9}));
    const std::filesystem::path odd = asBankFile ? folder.project / "bin" / "bank2.bin" : folder.base;
    std::filesystem::remove(odd);
    entry.make(odd);
    RecordingReport report;
    MergeOutcome outcome;
    {
        test::RunawayGuard guard({odd});
        outcome = ExeModFileSxClick(folder.job(), report);
        EXPECT_FALSE(guard.fired()) << "the merge waited on the FIFO";
    }

    const std::string text =
        asBankFile ? "File bank2.bin Not Found,Abort Procedure" : "File *.Sx Not Found,Abort Procedure";
    EXPECT_EQ(report.messages, std::vector<std::string>{odd.string() + ": " + text + ": " + entry.reason});
    const std::vector<int> results = asBankFile ? std::vector<int>{1, -1} : std::vector<int>{-1};
    EXPECT_EQ(Ran(outcome), results);
    EXPECT_FALSE(outcome.written);
    EXPECT_EQ(ReadText(folder.merged), MergeFolder::kOldMerged);
}

INSTANTIATE_TEST_SUITE_P(Entries, OddFile, testing::Combine(testing::ValuesIn(OddEntries()), testing::Bool()),
                         [](const auto& info) {
                             return std::get<0>(info.param).name +
                                    (std::get<1>(info.param) ? "AsBankFile" : "AsBaseFirmware");
                         });

TEST(OddFile, ADeviceNamedDirectlyIsRefused)
{
    MergeFolder folder(Crlf({kS0, W1(0), W2(0), kS9}));
    RecordingReport report;
    MergeOutcome outcome;
    {
        test::RunawayGuard guard;
        outcome = ExeModFileSxClick(ProjectMergeJob(folder.project, "/dev/zero"), report);
    }
    const std::string refusal = "/dev/zero: File *.Sx Not Found,Abort Procedure: a character device, not a regular file";
    EXPECT_EQ(report.messages, std::vector<std::string>{refusal});
    EXPECT_FALSE(outcome.written);
    EXPECT_FALSE(std::filesystem::exists(folder.project / "New_zero"));
}

// /proc/self/mem is a regular file whose reading at its start fails.
TEST(OddFile, AReadErrorIsPlacedWithTheSystemsReason)
{
    if (!std::filesystem::exists("/proc/self/mem")) GTEST_SKIP() << "no /proc/self/mem";
    for (const bool asBankFile : {false, true}) {
        SCOPED_TRACE(asBankFile ? "bank file" : "base firmware");
        MergeFolder folder(Crlf({kS0, W1(0), W2(0), kS9}));
        const std::filesystem::path unreadable = asBankFile ? folder.project / "bin" / "bank2.bin" : folder.base;
        std::filesystem::remove(unreadable);
        std::filesystem::create_symlink("/proc/self/mem", unreadable);
        RecordingReport report;

        const MergeOutcome outcome = ExeModFileSxClick(folder.job(), report);

        const std::string message =
            asBankFile ? unreadable.string() + ": File bank2.bin Not Found,Abort Procedure: Input/output error"
                       : unreadable.string() + ", line 1: " + kNotCreated + ": Input/output error";
        EXPECT_EQ(report.messages, std::vector<std::string>{message});
        const std::vector<int> results = asBankFile ? std::vector<int>{1, -1} : std::vector<int>{-1};
        EXPECT_EQ(Ran(outcome), results);
        EXPECT_FALSE(outcome.written);
    }
}

// The file size limit stands for a full disk: the write fails with the system's reason.
TEST(MergedFirmware, AWriteErrorIsPlacedWithTheSystemsReason)
{
    struct Case {
        const char* name;
        std::uint32_t records;  // outside the windows, before them
        rlim_t limit;
        bool lineKnown;  // the pass wrote more than the output's buffer and stopped at the failure
    };
    for (const Case& c : {Case{"on closing", 0, 40000, false}, Case{"while merging", 16000, 200000, true}}) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines = {kS0};
        for (std::uint32_t i = 0; i < c.records; ++i) lines.push_back(S2(0x100000 + 32 * i));
        lines.insert(lines.end(), {W1(0), W2(0), kS9});
        MergeFolder folder(Crlf(lines));
        RecordingReport report;
        MergeOutcome outcome;
        {
            test::FileSizeLimit limit(c.limit);
            outcome = ExeModFileSxClick(folder.job(), report);
        }

        EXPECT_FALSE(outcome.written);
        EXPECT_EQ(ReadText(folder.merged), MergeFolder::kOldMerged);
        ASSERT_EQ(report.messages.size(), 1u);
        const std::string& message = report.messages[0];
        const std::string reason =
            ": " + kNotCreated + ": Unable to write to " + folder.merged.string() + ": File too large";
        ASSERT_TRUE(message.ends_with(reason)) << message;
        const std::string place = message.substr(0, message.size() - reason.size());
        if (!c.lineKnown) {
            EXPECT_EQ(place, folder.base.string());
            continue;
        }
        const std::string prefix = folder.base.string() + ", line ";
        ASSERT_TRUE(place.starts_with(prefix)) << message;
        const unsigned long line = std::stoul(place.substr(prefix.size()));
        EXPECT_GT(line, 0u);
        EXPECT_LT(line, lines.size()) << "the pass stops at the failure";
    }
}
#endif

// srec_cat refuses a count record that does not count the data records before it.
bool SrecCatReads(const std::filesystem::path& file)
{
    const std::string command = "srec_cat '" + file.string() + "' -o /dev/null 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

TEST(MergedFirmware, CountRecordsReadBackWithSrecCat)
{
    if (std::system("srec_cat -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat is not installed";
    struct Case {
        char kind;                // of the merged firmware's count record
        std::uint32_t records;    // one-byte records outside the windows
        char baseKind;            // of the base firmware's count record
    };
    for (const Case& c : {Case{'5', 100, '6'}, Case{'6', 70000, '6'}, Case{'5', 100, '5'}}) {
        SCOPED_TRACE(std::string("S") + c.kind + " from S" + c.baseKind);
        std::vector<std::string> lines = {kS0, kS1};
        for (std::uint32_t i = 0; i < c.records; ++i) lines.push_back(S2(0x100000 + i, 1));
        lines.insert(lines.end(), {W1(0), W1(9), W2(4)});
        const std::uint32_t baseCount = 1 + c.records + 3;
        const std::uint32_t mergedCount = 1 + c.records + 2 * 512;
        lines.push_back(Record(c.baseKind, baseCount, 0));
        lines.push_back(kS9);
        MergeFolder folder(Crlf(lines));
        const std::filesystem::path wrong = folder.root / "wrong count.sx";
        lines[lines.size() - 2] = Record(c.baseKind, baseCount + 1, 0);
        WriteText(wrong, Crlf(lines));
        ASSERT_TRUE(SrecCatReads(folder.base)) << "the base firmware counts its records";
        ASSERT_FALSE(SrecCatReads(wrong)) << "srec_cat checks the count";
        RecordingReport report;

        ASSERT_TRUE(ExeModFileSxClick(folder.job(), report).complete());

        EXPECT_TRUE(SrecCatReads(folder.merged));
        const std::vector<std::string> merged = CrlfLines(ReadText(folder.merged));
        ASSERT_GE(merged.size(), 2u);
        EXPECT_EQ(merged[merged.size() - 2], Record(c.kind, mergedCount, 0));
    }
}

}  // namespace
}  // namespace trelvant
