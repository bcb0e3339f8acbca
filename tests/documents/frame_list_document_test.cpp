#include "documents/frame_list_document.h"
#include "documents/row_document.h"
#include "tests/documents/document_test_support.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::Golden;
using test::ReadText;
using test::TempFolder;
using test::WriteText;

const std::vector<FrameRow> kReceiveRows = {
    {"61444", "0", "Y", "Engine \"A\" <1> & more"},
    {"0xFEF1", " $21", "", ""},  // Delete never touched
};
const std::vector<FrameRow> kTransmitRows = {
    {"6", "0", "0xFEF1", "0", "Request"},
    {"3", "1", "$F004", "239", ""},
};

TEST(FrameListWriting, WritesEveryAttributeInOrderAndTextsAsTyped)
{
    TempFolder dir;
    WriteFrameList(FrameListPath(dir.path(), Direction::Receive), Direction::Receive, kReceiveRows);
    WriteFrameList(FrameListPath(dir.path(), Direction::Transmit), Direction::Transmit, kTransmitRows);
    EXPECT_EQ(ReadText(dir / "RCobDef.xml"), Golden("RCobDef_two_frames.xml"));
    EXPECT_EQ(ReadText(dir / "TCobDef.xml"), Golden("TCobDef_two_frames.xml"));
}

TEST(FrameListWriting, TheListEndsBeforeTheFirstRowWithoutItsFirstText)
{
    const std::vector<FrameRow> receive = {{"1", "0"}, {"2", "0"}, {"3", "0"}, {"", "9", "Y"}, {"5", "0"}};
    EXPECT_EQ(FrameListXml(Direction::Receive, receive),
              "<COBID><row PGN=\"1\" ID_DEV=\"0\" Delete=\"\" Mnemonic=\"\"/>"
              "<row PGN=\"2\" ID_DEV=\"0\" Delete=\"\" Mnemonic=\"\"/>"
              "<row PGN=\"3\" ID_DEV=\"0\" Delete=\"\" Mnemonic=\"\"/></COBID>");

    const std::vector<FrameRow> transmit = {{"1", "0", "1", "0"}, {"", "0", "0xFEF1", "5"}, {"2", "0", "3", "4"}};
    EXPECT_EQ(FrameListXml(Direction::Transmit, transmit),
              "<COBID><row Priority=\"1\" DP=\"0\" PGN=\"1\" ID_DEV=\"0\" Mnemonic=\"\"/></COBID>");
    EXPECT_EQ(FrameListXml(Direction::Receive, {}), "<COBID/>");
}

TEST(FrameListEditorReading, ReadsWhatTheWriterWrote)
{
    TempFolder dir;
    const auto path = FrameListPath(dir.path(), Direction::Receive);
    std::vector<FrameRow> rows = kReceiveRows;
    rows[1][3] = "tab\there, line\nbreak";
    WriteFrameList(path, Direction::Receive, rows);

    const FrameListLoad load = ReadFrameListForEditor(path, Direction::Receive);
    EXPECT_FALSE(load.error.has_value()) << *load.error;
    EXPECT_EQ(load.rows, rows);
}

struct LoadCase {
    const char* name;
    Direction direction;
    std::string document;  // empty: no file
    std::vector<FrameRow> rows;
    std::string errorPart;  // empty: no error

    friend void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }
};

class FrameListEditorLoad : public testing::TestWithParam<LoadCase> {};

TEST_P(FrameListEditorLoad, KeepsTheRowsBeforeAFailure)
{
    const LoadCase& c = GetParam();
    TempFolder dir;
    if (!c.document.empty()) WriteText(dir / "rcobdef.XML", c.document);

    const FrameListLoad load = ReadFrameListForEditor(dir / "RCobDef.xml", c.direction);
    EXPECT_EQ(load.rows, c.rows);
    if (c.errorPart.empty()) {
        EXPECT_FALSE(load.error.has_value()) << *load.error;
    } else {
        ASSERT_TRUE(load.error.has_value());
        EXPECT_NE(load.error->find(c.errorPart), std::string::npos) << *load.error;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameListEditorLoad, testing::Values(
    LoadCase{"NoFile", Direction::Receive, "", {}, ""},
    LoadCase{"MissingDeleteReadsN", Direction::Receive,
             "<?xml version=\"1.0\"?>\n<COBID>\n  <row PGN=\"1\" ID_DEV=\"2\" Mnemonic=\"m\"/>\n"
             "  <!-- a comment is not a row -->\n  <frame Mnemonic=\"\" ID_DEV=\"4\" PGN=\"3\"/>\n</COBID>\n",
             {{"1", "2", "N", "m"}, {"3", "4", "N", ""}}, ""},
    LoadCase{"MissingAttributeStops", Direction::Transmit,
             "<COBID><row Priority=\"1\" DP=\"0\" PGN=\"2\" ID_DEV=\"3\" Mnemonic=\"\"/>"
             "<row Priority=\"1\" PGN=\"2\" ID_DEV=\"3\" Mnemonic=\"\"/><row Priority=\"1\" DP=\"0\" PGN=\"2\" "
             "ID_DEV=\"3\" Mnemonic=\"\"/></COBID>",
             {{"1", "0", "2", "3", ""}}, "row 2: no attribute DP"},
    LoadCase{"OtherRoot", Direction::Receive, "<RInfoCob><row PGN=\"1\" ID_DEV=\"2\" Mnemonic=\"\"/></RInfoCob>", {},
             "no COBID element"},
    LoadCase{"NotWellFormed", Direction::Receive, "<COBID><row PGN=\"1\" ID_DEV=\"2\" Mnemonic=\"\"></COBID>", {},
             "RCobDef.xml: "}),
    [](const testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST(RowDocumentReading, TheRowsAreTheRootsChildElementsWhateverTheirNames)
{
    TempFolder dir;
    EXPECT_FALSE(ReadRowDocument(dir / "TCobDef.xml").has_value());

    WriteText(dir / "tcobdef.xml",
              "<List>\n  <row PGN=\"1\"/>text<?pi x?><other/>\n  <![CDATA[<row/>]]><row a=\"1\" a2=\"2\"/></List>");
    const std::optional<RowDocument> document = ReadRowDocument(dir / "TCobDef.xml");
    ASSERT_TRUE(document.has_value());
    EXPECT_EQ(document->rootName, "List");
    ASSERT_EQ(document->rows.size(), 3u);
    EXPECT_EQ(*document->rows[0].attribute("PGN"), "1");
    EXPECT_EQ(document->rows[1].attribute("PGN"), nullptr);
    EXPECT_EQ(*document->rows[2].attribute("a2"), "2");
}

}  // namespace
}  // namespace trelvant
