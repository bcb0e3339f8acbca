#include "documents/byte_map_document.h"
#include "documents/frame_list_document.h"
#include "documents/pargen_document.h"
#include "documents/xml_file.h"
#include "image/image_builder.h"
#include "platform/error.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/stat.h>
#endif

namespace trelvant {
namespace {

using test::TempFolder;
using test::WriteText;

const FixedClock kNewYearsEve({2009, 12, 31, 23, 59, 58});

class NoReport final : public ReadingReport {
public:
    void error(const std::string& message) override { ADD_FAILURE() << message; }
};

std::string pargen(const std::string& without = "")
{
    const std::vector<std::pair<std::string, std::string>> elements = {
        {"BaudRateCAN", "3"}, {"CANType", "1"},     {"Baud_Ser", "3"},   {"Par_Ser", "2"},
        {"IDDev_Ser", "$11"}, {"TimeOut_Ser", "0x1234"}, {"TimeOut_Data", "5"}, {"TO_ModReg", "300"},
        {"Peer_to_Peer", "1"}, {"Serial", "0"},     {"Write_J1939", "1"}, {"En_Rem_Req", "1"},
        {"Pri_Des", "6"},     {"PGN1", "65226"},    {"PGN2", "0xFEF1"},  {"SA", "33"}};
    std::string xml = "<GeneralParameter>";
    for (const auto& [name, text] : elements)
        if (name != without) xml += "<" + name + ">" + text + "</" + name + ">";
    return xml + "</GeneralParameter>";
}

std::string rows(const std::vector<std::string>& attributes)
{
    std::string xml = "<COBID>\n";
    for (const std::string& a : attributes) xml += "  <row " + a + "/>\n";
    return xml + "</COBID>\n";
}

// A project folder with the given documents, built into a fresh image.
struct Project {
    TempFolder folder;
    ConfigurationImage image;

    Project& with(const char* name, const std::string& text)
    {
        WriteText(folder / name, text);
        return *this;
    }
    Project& build()
    {
        BuildConfigurationImage(image, folder.path(), kNewYearsEve);
        return *this;
    }
    std::vector<unsigned> bytes(int bank, std::size_t offset, std::size_t count) const
    {
        std::vector<unsigned> out;
        for (std::size_t i = 0; i < count; ++i) out.push_back(image.get8(bank, offset + i));
        return out;
    }
};

std::string receiveRows(std::size_t count)
{
    std::vector<std::string> r;
    for (std::size_t i = 0; i < count; ++i) r.push_back("PGN=\"" + std::to_string(65000 + i) + "\" ID_DEV=\"1\" Delete=\"N\"");
    return rows(r);
}

TEST(ImageBuilder, J1939LayoutWithAllFiveDocuments)
{
    Project p;
    p.with("pargen.xml", pargen())
        .with("RCobDef.xml", rows({"PGN=\"1\" ID_DEV=\"2\" Delete=\"N\" Mnemonic=\"a\"",
                                   "PGN=\"2\" ID_DEV=\"2\" Delete=\"y\" Mnemonic=\"\"",
                                   "PGN=\"3\" ID_DEV=\"2\" Delete=\"Yes\"",
                                   "PGN=\"0xFECA\" ID_DEV=\"0x21\"",
                                   "PGN=\"5\" ID_DEV=\"2\" Delete=\"Y\""}))
        .with("TCobDef.xml", rows({"Priority=\"6\" DP=\"0\" PGN=\"0xFEF1\" ID_DEV=\"0\" Mnemonic=\"\"",
                                   "Priority=\"7\" DP=\"1\" PGN=\"$1FFFF\" ID_DEV=\"300\""}))
        .with("RInfoCob.xml", rows({"Index=\"10\" NrPdo=\"4\" PosComp=\"0x12\"", "Index=\"0x1234\" NrPdo=\"1\" PosComp=\"52\""}))
        .with("TInfoCob.xml", rows({"Index=\"7\" NrPdo=\"2\" PosComp=\"$34\" Write_J1939=\"1\"",
                                    "Index=\"8\" NrPdo=\"1\" PosComp=\"1\" Write_J1939=\"x\"",
                                    "Index=\"9\" NrPdo=\"1\" PosComp=\"1\""}))
        .build();

    EXPECT_EQ(p.bytes(1, 18, 6), (std::vector<unsigned>{0xCA, 0xFE, 0x00, 0x00, 0x21, 0x03}));
    EXPECT_EQ(p.bytes(1, 24, 6), (std::vector<unsigned>{5, 0, 0, 0, 2, 4}));
    for (std::size_t i = 30; i < 4096; ++i)
        if (i != 1605 && i != 1606) {
            ASSERT_EQ(p.image.get8(1, i), 0xFF) << i;
        }
    EXPECT_EQ(p.image.get16(1, 1605), 0x1234);
    for (std::size_t i = 4096; i < 4352; ++i) ASSERT_EQ(p.image.get8(1, i), 0) << i;

    EXPECT_EQ(p.bytes(2, 0, 4), (std::vector<unsigned>{0x00, 0xF1, 0xFE, 0x18}));  // 419361024
    // Parts are added, not masked: 300 + 0x1FFFF * 256 + 1 * 2^24 + 7 * 2^26.
    EXPECT_EQ(p.image.get32(2, 4), 300u + 0x1FFFFu * 256u + 16777216u + 7u * 67108864u);

    EXPECT_EQ(p.bytes(1, 4352, 8), (std::vector<unsigned>{10, 0, 4, 0x12, 0x34, 0x12, 1, 52}));
    EXPECT_EQ(p.bytes(2, 1500, 15), (std::vector<unsigned>{7, 0, 2, 0x34, 1, 8, 0, 1, 1, 0, 9, 0, 1, 1, 0}));

    EXPECT_EQ(p.bytes(1, 16000, 5), (std::vector<unsigned>{4, 1, 3, 2, 0x11}));
    EXPECT_EQ(p.bytes(1, 16005, 2), (std::vector<unsigned>{0, 0}));  // never written
    EXPECT_EQ(p.image.get8(1, 16007), 5);
    EXPECT_EQ(p.image.get16(1, 16008), 300);
    EXPECT_EQ(p.image.get8(1, 16010), 1);
    EXPECT_EQ(p.bytes(1, 16012, 8), (std::vector<unsigned>{5, 0, 2, 0, 2, 0, 3, 0}));
    EXPECT_EQ(p.image.get16(1, 16020), 65033);
    EXPECT_EQ(p.image.get16(1, 16022), 61303);
    EXPECT_EQ(p.bytes(1, 16030, 10), (std::vector<unsigned>{1, 1, 6, 0, 0xCA, 0xFE, 0xF1, 0xFE, 33, 0}));
    EXPECT_EQ(p.image.get8(1, 16099), 0);
    // Rows 1 ("y") and 4 ("Y") are marked; "N", "Yes" and a missing attribute are not.
    EXPECT_EQ(p.bytes(1, 16100, 3), (std::vector<unsigned>{0x12, 0, 0}));
    for (int bank = 3; bank <= 5; ++bank)
        for (std::size_t i = 0; i < ConfigurationImage::kBankSize; ++i) ASSERT_EQ(p.image.get8(bank, i), 0);
}

struct DefaultCase {
    const char* missing;
    std::size_t offset;
    std::vector<unsigned> expected;
};

class MissingOptionalParameter : public testing::TestWithParam<DefaultCase> {};

TEST_P(MissingOptionalParameter, TakesItsDefault)
{
    Project p;
    p.with("pargen.xml", pargen(GetParam().missing)).build();
    EXPECT_EQ(p.bytes(1, GetParam().offset, GetParam().expected.size()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Defaults, MissingOptionalParameter, testing::Values(
    DefaultCase{"TO_ModReg", 16008, {1, 0}},
    DefaultCase{"Serial", 16099, {1}},
    DefaultCase{"TimeOut_Data", 16007, {0}},
    DefaultCase{"Peer_to_Peer", 16010, {0}},
    DefaultCase{"Pri_Des", 16032, {0, 0}},
    DefaultCase{"SA", 16038, {0, 0}}));

TEST(ImageBuilder, UnreadableOptionalParametersTakeTheirDefaults)
{
    Project p;
    std::string xml = pargen("TO_ModReg");
    xml.replace(xml.find("<Serial>0"), 9, "<Serial>two");
    p.with("pargen.xml", xml.replace(xml.find("</GeneralParameter>"), 0, "<TO_ModReg>12abc</TO_ModReg>")).build();
    EXPECT_EQ(p.image.get16(1, 16008), 1);
    EXPECT_EQ(p.image.get8(1, 16099), 1);
}

struct FailureCase {
    const char* name;
    const char* file;
    std::string text;
    std::string message;
};

class BuildStops : public testing::TestWithParam<FailureCase> {};

TEST_P(BuildStops, WithTheMessage)
{
    Project p;
    p.with("pargen.xml", pargen());
    p.with(GetParam().file, GetParam().text);
    try {
        p.build();
        FAIL() << "the build went through";
    } catch (const Error& e) {
        // The message names the file that was read, then the place in it.
        EXPECT_EQ(std::string(e.what()), (p.folder / GetParam().file).string() + GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(Failures, BuildStops, testing::Values(
    FailureCase{"MissingIDDevSer", "pargen.xml", pargen("IDDev_Ser"),
                ": element \"IDDev_Ser\" is missing or holds no text"},
    FailureCase{"MissingCANType", "pargen.xml", pargen("CANType"),
                ": element \"CANType\" is missing or holds no text"},
    FailureCase{"BadBaudRate", "pargen.xml",
                [] { auto x = pargen(); return x.replace(x.find("<BaudRateCAN>3"), 14, "<BaudRateCAN>3 "); }(),
                ", element \"BaudRateCAN\": '3 ' is not a valid integer value"},
    FailureCase{"BadPgn", "RCobDef.xml", rows({"PGN=\"12abc\" ID_DEV=\"1\""}),
                ", row 1, attribute \"PGN\": '12abc' is not a valid integer value"},
    FailureCase{"MissingDevice", "RCobDef.xml", rows({"PGN=\"1\" ID_DEV=\"1\"", "PGN=\"1\""}),
                ", row 2: attribute \"ID_DEV\" is missing"},
    FailureCase{"MissingPriority", "TCobDef.xml", rows({"DP=\"0\" PGN=\"1\" ID_DEV=\"1\""}),
                ", row 1: attribute \"Priority\" is missing"},
    FailureCase{"MissingPosComp", "TInfoCob.xml", rows({"Index=\"1\" NrPdo=\"1\""}),
                ", row 1: attribute \"PosComp\" is missing"},
    FailureCase{"TooManyReceiveFrames", "RCobDef.xml", receiveRows(251),
                ", row 251: a frame list holds at most 250 rows"},
    FailureCase{"TooManyReceiveMapRows", "RInfoCob.xml",
                rows(std::vector<std::string>(2913, "Index=\"1\" NrPdo=\"1\" PosComp=\"1\"")),
                ", row 2913: the receive byte map holds at most 2912 rows"},
    FailureCase{"TooManyTransmitMapRows", "TInfoCob.xml",
                rows(std::vector<std::string>(2977, "Index=\"1\" NrPdo=\"1\" PosComp=\"1\"")),
                ", row 2977: the transmit byte map holds at most 2976 rows"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ImageBuilder, TablesAtTheirCapacityFit)
{
    Project p;
    p.with("pargen.xml", pargen())
        .with("RCobDef.xml", receiveRows(250))
        .with("RInfoCob.xml", rows(std::vector<std::string>(2912, "Index=\"513\" NrPdo=\"1\" PosComp=\"1\"")))
        .with("TInfoCob.xml", rows(std::vector<std::string>(2976, "Index=\"513\" NrPdo=\"1\" PosComp=\"1\" Write_J1939=\"1\"")))
        .build();
    EXPECT_EQ(p.bytes(1, 6 * 249, 6), (std::vector<unsigned>{0xE1, 0xFE, 0, 0, 1, 249}));
    EXPECT_EQ(p.bytes(1, 15996, 4), (std::vector<unsigned>{1, 2, 1, 1}));  // last receive map row
    EXPECT_EQ(p.image.get8(1, 16000), 4);                                    // the parameter block after it
    EXPECT_EQ(p.bytes(2, 16375, 5), (std::vector<unsigned>{1, 2, 1, 1, 1}));  // last transmit map row
    EXPECT_EQ(p.image.get16(1, 1605), 0x1234);
}

TEST(ImageBuilder, WithoutPargenTheCan20ALayoutIsUsed)
{
    Project p;
    p.image.put8(1, 16000, 0x5A);  // left by an earlier build
    p.with("RCobDef.xml", rows({"PGN=\"0x123\" ID_DEV=\"7\" Delete=\"Y\"", "PGN=\"2047\" ID_DEV=\"0x21\""}))
        .with("TCobDef.xml", rows({"PGN=\"0x7FF\" ID_DEV=\"3\""}))
        .build();
    EXPECT_EQ(p.bytes(1, 0x246, 2), (std::vector<unsigned>{0, 0}));
    EXPECT_EQ(p.bytes(1, 2 * 2047, 2), (std::vector<unsigned>{1, 0}));
    EXPECT_EQ(p.bytes(1, 0, 2), (std::vector<unsigned>{0xFF, 0xFF}));
    EXPECT_EQ(p.image.get8(1, 4096 + 36), 1u << 3);
    EXPECT_EQ(p.image.get8(1, 4096 + 255), 0x80);
    EXPECT_EQ(p.bytes(2, 0, 6), (std::vector<unsigned>{0x23, 0x01, 7, 0xFF, 0x07, 0x21}));
    EXPECT_EQ(p.bytes(2, 750, 3), (std::vector<unsigned>{0xFF, 0x07, 3}));
    EXPECT_EQ(p.image.get8(1, 16000), 0x5A);  // no parameter block
    EXPECT_EQ(p.bytes(1, 16012, 2), (std::vector<unsigned>{0, 0}));
    EXPECT_EQ(p.bytes(1, 16100, 1), (std::vector<unsigned>{0}));
    EXPECT_EQ(p.image.get16(1, 16020), 65033);
}

TEST(ImageBuilder, Can20AIdentifiersOutsideElevenBitsAreRefused)
{
    for (const char* identifier : {"2048", "-1", "0x10000"}) {
        Project p;
        p.with("RCobDef.xml", rows({"PGN=\"1\" ID_DEV=\"1\"", std::string("PGN=\"") + identifier + "\" ID_DEV=\"1\""}));
        try {
            p.build();
            ADD_FAILURE() << identifier << " accepted";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), (p.folder / "RCobDef.xml").string() + ", row 2: identifier " +
                                                 std::to_string(std::stoi(identifier, nullptr, 0)) +
                                                 " is outside 0 to 2047");
        }
    }
}

TEST(ImageBuilder, ASecondBuildKeepsWhatItDoesNotWrite)
{
    Project p;
    std::vector<std::string> ten;
    for (int i = 0; i < 10; ++i) ten.push_back("Priority=\"6\" DP=\"0\" PGN=\"" + std::to_string(i) + "\" ID_DEV=\"1\"");
    p.with("pargen.xml", pargen()).with("TCobDef.xml", rows(ten)).build();
    p.with("TCobDef.xml", rows({ten.begin(), ten.begin() + 4})).build();
    for (std::size_t frame = 4; frame < 10; ++frame)
        EXPECT_EQ(p.image.get32(2, 4 * frame), 1u + frame * 256u + 6u * 67108864u) << frame;
    EXPECT_EQ(p.image.get16(1, 16014), 4);
}

TEST(ImageBuilder, FileNamesMatchInAnyCase)
{
    Project p;
    p.with("PARGEN.XML", pargen()).with("rcobdef.xml", rows({"PGN=\"0xFECA\" ID_DEV=\"0x21\""})).build();
    EXPECT_EQ(p.bytes(1, 0, 6), (std::vector<unsigned>{0xCA, 0xFE, 0, 0, 0x21, 0}));
    EXPECT_EQ(p.image.get8(1, 16004), 0x11);
}

// Two files whose names differ only in case: what an editor writes and reads again is what the
// image is built from, for every document.
TEST(ImageBuilder, EditorsAndTheBuilderMeetInOneFileWhenNamesDifferOnlyInCase)
{
    struct Case {
        const char* document;
        const char* otherName;  // already in the folder, with other content
        std::function<void(const std::filesystem::path&)> edit;  // writes through the editor's writer
        std::function<bool(const std::filesystem::path&)> editorSeesIt;
        int bank;
        std::size_t offset;
        std::vector<unsigned> expected;
    };
    const auto receiveFrames = [](const std::filesystem::path& folder) {
        WriteFrameList(folder / "RCobDef.xml", Direction::Receive, {{"0x1234", "7", "N", ""}});
    };
    const auto byteMap = [](const char* index, const char* write) {
        return ByteMap{TClPdo{"0x1234", 1, {TClIndMB{index, "18", write}}}};
    };
    const std::vector<Case> cases = {
        {"pargen.xml", "Pargen.xml",
         [](const auto& folder) {
             PargenValues values;
             values.BaudRateCAN = 5;
             WritePargen(folder / "pargen.xml", values);
         },
         [](const auto& folder) {
             PargenValues values;
             ReadPargenInto(folder / "pargen.xml", values);
             return values.BaudRateCAN == 5;
         },
         1, 16000, {6}},
        {"RCobDef.xml", "RCOBDEF.XML", receiveFrames,
         [](const auto& folder) {
             return ReadFrameListForEditor(folder / "RCobDef.xml", Direction::Receive).rows.at(0).at(0) == "0x1234";
         },
         1, 0, {0x34, 0x12, 0, 0, 7, 0}},
        {"TCobDef.xml", "TCOBDEF.xml",
         [](const auto& folder) {
             WriteFrameList(folder / "TCobDef.xml", Direction::Transmit, {{"6", "0", "0xFEF1", "0", ""}});
         },
         [](const auto& folder) {
             return ReadFrameListForEditor(folder / "TCobDef.xml", Direction::Transmit).rows.at(0).at(2) == "0xFEF1";
         },
         2, 0, {0x00, 0xF1, 0xFE, 0x18}},
        {"RInfoCob.xml", "RINFOCOB.XML",
         [&](const auto& folder) {
             receiveFrames(folder);
             WriteByteMap(folder, Direction::Receive, byteMap("0x55", ""));
         },
         [](const auto& folder) {
             NoReport report;
             return ReadByteMap(folder, Direction::Receive, report).at(0).registers.at(0).Index == "0x55";
         },
         1, 4352, {0x55, 0, 1, 18}},
        {"TInfoCob.xml", "TINFOCOB.xml",
         [&](const auto& folder) {
             WriteFrameList(folder / "TCobDef.xml", Direction::Transmit, {{"6", "0", "0xFEF1", "0", ""}});
             WriteByteMap(folder, Direction::Transmit, byteMap("0x66", "1"));
         },
         [](const auto& folder) {
             NoReport report;
             return ReadByteMap(folder, Direction::Transmit, report).at(0).registers.at(0).Index == "0x66";
         },
         2, 1500, {0x66, 0, 1, 18, 1}},
    };
    const std::string rowsOfOtherContent = rows({"PGN=\"9\" ID_DEV=\"9\" Index=\"9\" NrPdo=\"1\" PosComp=\"9\" "
                                                 "Priority=\"1\" DP=\"1\" Delete=\"N\" Mnemonic=\"\" Write_J1939=\"0\""});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        Project p;
        p.with("Pargen.xml", pargen());
        // Both names are there before the edit, with content the edit does not have.
        const bool parameters = std::string(c.document) == "pargen.xml";
        p.with(c.document, parameters ? pargen() : rowsOfOtherContent);
        p.with(c.otherName, parameters ? pargen() : rowsOfOtherContent);
        c.edit(p.folder.path());
        EXPECT_TRUE(c.editorSeesIt(p.folder.path()));
        p.build();
        EXPECT_EQ(p.bytes(c.bank, c.offset, c.expected.size()), c.expected);
    }
}

// The builder takes the parameters under whatever root the document has.
TEST(ImageBuilder, PargenParametersAreReadUnderARootOfAnyName)
{
    Project p;
    std::string document = pargen();
    document.replace(document.find("<GeneralParameter>"), 18, "<Parameters>");
    document.replace(document.find("</GeneralParameter>"), 19, "</Parameters>");
    p.with("pargen.xml", document).build();
    EXPECT_EQ(p.image.get8(1, 16000), 4);
    EXPECT_EQ(p.image.get8(1, 16004), 0x11);
    EXPECT_EQ(p.image.get16(1, 1605), 0x1234);
}

// A document that is there but cannot be read stops the build; it is never taken as absent.
TEST(ImageBuilder, ADocumentThatCannotBeReadStopsTheBuildNamingIt)
{
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path&)> make;
        std::string reason;
    };
    std::vector<Case> cases = {
        {"Folder", [](const auto& file) { std::filesystem::create_directory(file); }, "a folder, not a regular file"},
        {"TooLarge",
         [](const auto& file) { WriteText(file, "<RInfoCob>" + std::string(kMaxDocumentBytes, ' ') + "</RInfoCob>"); },
         "larger than 8 MiB, the limit for this file"},
    };
#ifdef __linux__
    cases.push_back({"DanglingLink", [](const auto& file) { std::filesystem::create_symlink("gone.xml", file); },
                     "a symbolic link to nothing"});
    cases.push_back({"Pipe", [](const auto& file) { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }, "a FIFO, not a regular file"});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Project p;
        p.with("pargen.xml", pargen());
        c.make(p.folder / "RInfoCob.xml");
        try {
            p.build();
            ADD_FAILURE() << "the build went through";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to read " + (p.folder / "RInfoCob.xml").string() + ": " + c.reason);
        }
    }
}

TEST(BuildWords, PackDateAndTime)
{
    EXPECT_EQ(BuildDateWord({2009, 12, 31, 23, 59, 58}), 65033);
    EXPECT_EQ(BuildTimeWord({2009, 12, 31, 23, 59, 58}), 61303);
    EXPECT_EQ(BuildDateWord({2026, 1, 1, 0, 0, 0}), 1 * 2048 + 128 + 26);
    EXPECT_EQ(BuildTimeWord({2026, 1, 1, 0, 0, 1}), 0);
}

}  // namespace
}  // namespace trelvant
