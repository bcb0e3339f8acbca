#include "documents/byte_map_document.h"
#include "platform/error.h"
#include "platform/file_names.h"
#include "tests/documents/document_test_support.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::Golden;
using test::ReadText;
using test::TempFolder;
using test::WriteText;

class RecordingReport : public ReadingReport {
public:
    void frame(const std::vector<std::string>& texts) override { frames.push_back(texts); }
    void error(const std::string& message) override { errors.push_back(message); }

    std::vector<std::vector<std::string>> frames;
    std::vector<std::string> errors;
};

// A receive frame list of n frames: frame i has PGN "P<i>" and ID_DEV "<i>".
std::string Frames(int n)
{
    std::string xml = "<COBID>";
    for (int i = 1; i <= n; ++i)
        xml += "<row PGN=\"P" + std::to_string(i) + "\" ID_DEV=\"" + std::to_string(i) + "\" Delete=\"N\" Mnemonic=\"\"/>";
    return xml + "</COBID>";
}

// "PGN:Index/PosComp,..." per frame entry, frames joined by "|".
std::string Summary(const ByteMap& byteMap)
{
    std::string text;
    for (const TClPdo& frame : byteMap) {
        if (!text.empty()) text += "|";
        text += frame.PGN + ":";
        for (std::size_t i = 0; i < frame.registers.size(); ++i)
            text += (i ? "," : "") + frame.registers[i].Index + "/" + frame.registers[i].PosComp;
    }
    return text;
}

// Frame numbers counted from 1, as the reading pass makes them.
ByteMap WithFrames(int count)
{
    ByteMap byteMap(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        byteMap[static_cast<std::size_t>(i)].PGN = "P" + std::to_string(i + 1);
        byteMap[static_cast<std::size_t>(i)].NrPdo = i + 1;
    }
    return byteMap;
}

class ByteMapProject : public testing::Test {
protected:
    ByteMap read(Direction direction = Direction::Receive)
    {
        report = {};
        return ReadByteMap(dir.path(), direction, report);
    }

    TempFolder dir;
    RecordingReport report;
};

TEST_F(ByteMapProject, TheWorkedExampleIsWrittenInIndexOrderAndReadBackPerFrame)
{
    ByteMap byteMap = WithFrames(2);
    byteMap[0].registers = {{"10", "33", ""}, {"3", "8", ""}};
    byteMap[1].registers = {{"7", "18", ""}};
    WriteByteMap(dir.path(), Direction::Receive, byteMap);
    EXPECT_EQ(ReadText(dir / "RInfoCob.xml"), Golden("RInfoCob_example.xml"));

    WriteText(dir / "RCobDef.xml", Frames(2));
    const ByteMap back = read();
    EXPECT_EQ(Summary(back), "P1:3/8,10/33|P2:7/18");
    EXPECT_EQ(back[1].NrPdo, 2);
    EXPECT_EQ(report.frames, (std::vector<std::vector<std::string>>{{"P1", "1"}, {"P2", "2"}}));
    EXPECT_TRUE(report.errors.empty());
}

TEST_F(ByteMapProject, TransmitRowsCarryWriteJ1939AndAMissingOneReadsZero)
{
    WriteText(dir / "TCobDef.xml",
              "<COBID><row Priority=\"6\" DP=\"0\" PGN=\"0xFEF1\" ID_DEV=\"0\" Mnemonic=\"\"/>"
              "<row Priority=\"3\" DP=\"1\" PGN=\"$F004\" ID_DEV=\"239\" Mnemonic=\"\"/></COBID>");
    WriteText(dir / "TInfoCob.xml",
              "<TInfoCob><row Index=\"10\" NrPdo=\"1\" PosComp=\"33\" Write_J1939=\"\"/>"
              "<row Index=\"3\" NrPdo=\"1\" PosComp=\"8\"/><row Index=\"7\" NrPdo=\"2\" PosComp=\"18\" Write_J1939=\"1\"/>"
              "</TInfoCob>");
    const ByteMap byteMap = read(Direction::Transmit);
    EXPECT_EQ(report.frames, (std::vector<std::vector<std::string>>{{"6", "0", "0xFEF1", "0"}, {"3", "1", "$F004", "239"}}));
    ASSERT_EQ(byteMap.size(), 2u);
    EXPECT_EQ(byteMap[0].registers, (std::vector<TClIndMB>{{"10", "33", ""}, {"3", "8", "0"}}));
    EXPECT_EQ(byteMap[1].registers, (std::vector<TClIndMB>{{"7", "18", "1"}}));

    WriteByteMap(dir.path(), Direction::Transmit, byteMap);
    EXPECT_EQ(ReadText(dir / "TInfoCob.xml"), Golden("TInfoCob_example.xml"));
}

struct OrderCase {
    const char* name;
    std::vector<std::vector<std::string>> indexes;  // Index texts per frame, in sequence
    std::vector<std::string> written;               // "Index@NrPdo" in document order

    friend void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }
};

class ByteMapOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(ByteMapOrder, AscendingValueLaterEntryFirstAmongEquals)
{
    const OrderCase& c = GetParam();
    ByteMap byteMap = WithFrames(static_cast<int>(c.indexes.size()));
    for (std::size_t f = 0; f < c.indexes.size(); ++f)
        for (const std::string& index : c.indexes[f]) byteMap[f].registers.push_back({index, "0", ""});

    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_string(ByteMapXml(Direction::Receive, byteMap).c_str()));
    std::vector<std::string> written;
    for (const pugi::xml_node row : xml.document_element().children())
        written.push_back(std::string(row.attribute("Index").value()) + "@" + row.attribute("NrPdo").value());
    EXPECT_EQ(written, c.written);
}

INSTANTIATE_TEST_SUITE_P(Cases, ByteMapOrder, testing::Values(
    OrderCase{"EqualValuesAcrossFrames", {{"5"}, {"5"}}, {"5@2", "5@1"}},
    OrderCase{"LeadingZeroIsDecimal", {{"010", "10", "9"}}, {"9@1", "10@1", "010@1"}},
    OrderCase{"EqualValuesOfThree", {{"1", "01"}, {"001"}}, {"001@2", "01@1", "1@1"}},
    OrderCase{"HexForms", {{"$1F"}, {"0x1F", "30"}}, {"30@2", "0x1F@2", "$1F@1"}},
    OrderCase{"NegativeValues", {{"0xFFFFFFFF", "0"}, {"-2"}}, {"-2@2", "0xFFFFFFFF@1", "0@1"}},
    OrderCase{"TheBoundIsAnOrdinaryValue", {{"10066329", "5"}, {"10066328"}}, {"5@1", "10066328@2", "10066329@1"}},
    OrderCase{"AboveTheBoundAfterAllOthers",
              {{"$FFFFFF", "10066330", "0x999999"}, {"10066330", "7", "-3"}},
              {"-3@2", "7@2", "0x999999@1", "10066330@2", "10066330@1", "$FFFFFF@1"}}),
    [](const testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.name); });

// The order of a byte map still being edited: an Index that is not an integer, which OK refuses,
// goes after every other so that the rows before it keep the numbers of the written document.
TEST(ByteMapOrder, OfAnyPutsTextsThatAreNotIntegersLast)
{
    ByteMap byteMap = WithFrames(2);
    byteMap[0].registers = {{"x", "0", ""}, {"20", "0", ""}};
    byteMap[1].registers = {{"", "0", ""}, {"5", "0", ""}};
    EXPECT_EQ(ByteMapRowOrderOfAny(byteMap),
              (std::vector<ByteMapPosition>{{1, 1}, {0, 1}, {0, 0}, {1, 0}}));
    EXPECT_THROW(ByteMapRowOrder(byteMap), Error);
    byteMap[0].registers.erase(byteMap[0].registers.begin());
    byteMap[1].registers.erase(byteMap[1].registers.begin());
    EXPECT_EQ(ByteMapRowOrder(byteMap), ByteMapRowOrderOfAny(byteMap));
}

struct PassCase {
    const char* name;
    std::optional<std::string> frameList;
    std::optional<std::string> byteMap;
    std::string summary;
    std::vector<std::string> errors;

    friend void PrintTo(const PassCase& c, std::ostream* os) { *os << c.name; }
};

const std::string kPdo(kFrameListReadError);
const std::string kSdoPdo(kByteMapReadError);

std::string Rows(const std::string& rows) { return "<RInfoCob>" + rows + "</RInfoCob>"; }

class ByteMapReadingPass : public testing::TestWithParam<PassCase> {};

TEST_P(ByteMapReadingPass, StopsEachStageAtItsFirstFailureAndKeepsWhatWasRead)
{
    const PassCase& c = GetParam();
    TempFolder dir;
    if (c.frameList) WriteText(dir / "RCobDef.xml", *c.frameList);
    if (c.byteMap) WriteText(dir / "RInfoCob.xml", *c.byteMap);

    RecordingReport report;
    const ByteMap byteMap = ReadByteMap(dir.path(), Direction::Receive, report);
    EXPECT_EQ(Summary(byteMap), c.summary);
    EXPECT_EQ(report.errors, c.errors);
    EXPECT_EQ(report.frames.size(), byteMap.size());
}

const std::string kRow1 = "<row Index=\"3\" NrPdo=\"1\" PosComp=\"8\"/>";
const std::string kRow2 = "<row Index=\"7\" NrPdo=\"2\" PosComp=\"18\"/>";

INSTANTIATE_TEST_SUITE_P(Cases, ByteMapReadingPass, testing::Values(
    PassCase{"NoFrameList", std::nullopt, Rows(kRow1), "", {}},
    PassCase{"NoByteMap", Frames(2), std::nullopt, "P1:|P2:", {}},
    PassCase{"AnyRootNamesAndLayout",
             "<?xml version=\"1.0\"?>\n<List>\n <f PGN=\"A\" ID_DEV=\"1\"/>\n</List>\n",
             "<?xml version=\"1.0\"?>\r\n<Map>\r\n  <r NrPdo=\"1\" PosComp=\"8\" Index=\"3\"/>\r\n</Map>", "A:3/8", {}},
    PassCase{"RowBeyondTheFramesIsDropped", Frames(2),
             Rows(kRow1 + "<row NrPdo=\"3\" PosComp=\"1\"/>" + kRow2), "P1:3/8|P2:7/18", {}},
    PassCase{"NrPdoZeroStops", Frames(2), Rows(kRow1 + "<row Index=\"9\" NrPdo=\"0\" PosComp=\"1\"/>" + kRow2),
             "P1:3/8|P2:", {kSdoPdo}},
    PassCase{"NrPdoNegativeStops", Frames(2), Rows(kRow1 + "<row Index=\"9\" NrPdo=\"-1\" PosComp=\"1\"/>" + kRow2),
             "P1:3/8|P2:", {kSdoPdo}},
    PassCase{"NrPdoNotAnIntegerStops", Frames(2), Rows(kRow1 + "<row Index=\"9\" NrPdo=\"1x\" PosComp=\"1\"/>" + kRow2),
             "P1:3/8|P2:", {kSdoPdo}},
    PassCase{"RowWithoutNrPdoStops", Frames(2), Rows(kRow1 + "<row Index=\"9\" PosComp=\"1\"/>" + kRow2),
             "P1:3/8|P2:", {kSdoPdo}},
    PassCase{"RowWithoutPosCompStops", Frames(2), Rows(kRow1 + "<row Index=\"9\" NrPdo=\"2\"/>" + kRow2),
             "P1:3/8|P2:", {kSdoPdo}},
    PassCase{"ByteMapNotWellFormed", Frames(2), "<RInfoCob>" + kRow1, "P1:|P2:", {kSdoPdo}},
    PassCase{"FrameWithoutIdDevStops",
             "<COBID><row PGN=\"P1\" ID_DEV=\"1\"/><row PGN=\"P2\"/><row PGN=\"P3\" ID_DEV=\"3\"/></COBID>",
             Rows(kRow1 + kRow2), "P1:3/8", {kPdo}},
    PassCase{"BothNotWellFormed", "<COBID>", "RInfoCob", "", {kPdo, kSdoPdo}}),
    [](const testing::TestParamInfo<PassCase>& info) { return std::string(info.param.name); });

TEST_F(ByteMapProject, AnIndexThatIsNotAnIntegerLeavesTheFileUntouched)
{
    WriteText(dir / "RInfoCob.xml", "old");
    ByteMap byteMap = WithFrames(2);
    byteMap[0].registers = {{"7", "1", ""}, {"abc", "1", ""}};
    byteMap[1].registers = {{"xyz", "1", ""}};
    try {
        WriteByteMap(dir.path(), Direction::Receive, byteMap);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
    EXPECT_EQ(ReadText(dir / "RInfoCob.xml"), "old");
    EXPECT_EQ(test::EntriesIn(dir.path()), 1u);
}

TEST_F(ByteMapProject, AByteMapWithoutEntriesIsTheRootAlone)
{
    WriteByteMap(dir.path(), Direction::Receive, {});
    WriteByteMap(dir.path(), Direction::Transmit, WithFrames(3));
    EXPECT_EQ(ReadText(dir / "RInfoCob.xml"), "<RInfoCob/>");
    EXPECT_EQ(ReadText(dir / "TInfoCob.xml"), "<TInfoCob/>");
}

TEST_F(ByteMapProject, DocumentsAreFoundAndReplacedWhateverTheCaseOfTheirNames)
{
    WriteText(dir / "rcobdef.xml", Frames(1));
    WriteText(dir / "RINFOCOB.XML", Rows(kRow1));
    ByteMap byteMap = read();
    EXPECT_EQ(Summary(byteMap), "P1:3/8");

    byteMap[0].registers.push_back({"1", "2", ""});
    WriteByteMap(dir.path(), Direction::Receive, byteMap);
    EXPECT_EQ(test::EntriesIn(dir.path()), 2u);
    EXPECT_EQ(ReadText(dir / "RINFOCOB.XML"),
              "<RInfoCob><row Index=\"1\" NrPdo=\"1\" PosComp=\"2\"/>" + kRow1 + "</RInfoCob>");
}

// A document larger than any reader takes would shut the user out of it: it is not written.
TEST_F(ByteMapProject, ADocumentNoReaderWouldTakeIsNotWritten)
{
    const std::string old = Golden("RInfoCob_example.xml");
    WriteText(dir / "RInfoCob.xml", old);
    ByteMap byteMap = WithFrames(1);
    for (int i = 0; i < 2000; ++i) byteMap[0].registers.push_back({std::to_string(i), std::string(5000, '7'), ""});

    try {
        WriteByteMap(dir.path(), Direction::Receive, byteMap);
        ADD_FAILURE() << "the document was written";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), ("Unable to write to " + DisplayPath(dir / "RInfoCob.xml") +
                                ": the document would be larger than 8 MiB, which no reader takes")
                                   .c_str());
    }
    EXPECT_EQ(ReadText(dir / "RInfoCob.xml"), old);
    EXPECT_EQ(test::EntriesIn(dir.path()), 1u);
}

#ifdef __linux__
TEST_F(ByteMapProject, ASaveThatFailsHalfWayKeepsTheOldDocument)
{
    const std::string old = Golden("RInfoCob_example.xml");
    WriteText(dir / "RInfoCob.xml", old);
    ByteMap byteMap = WithFrames(1);
    for (int i = 0; i < 100; ++i) byteMap[0].registers.push_back({std::to_string(i), "17", ""});

    bool threw = false;
    {
        test::FileSizeLimit limit(256);
        try {
            WriteByteMap(dir.path(), Direction::Receive, byteMap);
        } catch (const Error& e) {
            threw = true;
            EXPECT_STREQ(e.what(),
                         ("Unable to write to " + (dir / "RInfoCob.xml").string() + ": " + SystemReason(EFBIG)).c_str());
        }
    }
    EXPECT_TRUE(threw);
    EXPECT_EQ(ReadText(dir / "RInfoCob.xml"), old);
    EXPECT_EQ(test::EntriesIn(dir.path()), 1u);
}
#endif

}  // namespace
}  // namespace trelvant
