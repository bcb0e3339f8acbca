#include "documents/pargen_document.h"
#include "platform/error.h"
#include "tests/documents/document_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

namespace trelvant {
namespace {

using test::Golden;
using test::ReadText;
using test::TempFolder;
using test::WriteText;

// Values of an earlier showing, different from every default, so that a reader that forgets to
// set a value is seen.
PargenValues Previous()
{
    PargenValues v;
    v.BaudRateCAN = 7;
    v.CANType29Bit = false;
    v.Baud_Ser = 6;
    v.Par_Ser = 2;
    v.IDDev_Ser = "9";
    v.TimeOut_Ser = "500";
    v.TimeOut_Data = "30";
    v.TO_ModReg = "40";
    v.Peer_to_Peer = true;
    v.SerialRS485 = false;
    v.Write_J1939 = true;
    v.En_Rem_Req = true;
    v.Pri_Des = "41";
    v.PGN1 = "42";
    v.PGN2 = "43";
    v.SA = "44";
    return v;
}

PargenValues Example()
{
    PargenValues v;  // 250 kbit/s, 29-bit, 9600 bit/s, no parity, RS485, nothing ticked
    v.BaudRateCAN = 5;
    return v;
}

std::string Root(const std::string& children)
{
    return "<GeneralParameter>" + children + "</GeneralParameter>";
}

struct ReadCase {
    const char* name;
    std::string document;
    std::function<void(PargenValues&)> expect;  // applied to the defaults
    bool canTypeRead = false;

    friend void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }
};

class PargenReading : public testing::TestWithParam<ReadCase> {};

TEST_P(PargenReading, SetsEveryValueFromItsElementOrItsDefault)
{
    const ReadCase& c = GetParam();
    TempFolder dir;
    WriteText(dir / "pargen.xml", c.document);

    PargenValues values = Previous();
    const PargenReadResult result = ReadPargenInto(dir / "Pargen.xml", values);

    PargenValues expected;
    c.expect(expected);
    EXPECT_EQ(result.load, PargenLoad::Read);
    EXPECT_EQ(result.canTypeRead, c.canTypeRead);
    EXPECT_EQ(values, expected);
}

const auto nothing = [](PargenValues&) {};

INSTANTIATE_TEST_SUITE_P(Tolerance, PargenReading, testing::Values(
    ReadCase{"RootWithoutElements", "<GeneralParameter/>", nothing},
    ReadCase{"OtherRoot", "<Parameters><BaudRateCAN>5</BaudRateCAN><CANType>1</CANType></Parameters>", nothing},
    ReadCase{"AnyOrderAnyLayoutOtherElementsIgnored",
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<GeneralParameter>\r\n\t<SA>14</SA>\n  <PGN2>13</PGN2>"
             "<!-- kept by hand --><PGN1>12</PGN1><Pri_Des>11</Pri_Des><En_Rem_Req>1</En_Rem_Req>"
             "<Write_J1939>1</Write_J1939><Serial>0</Serial><Peer_to_Peer>1</Peer_to_Peer><TO_ModReg>8</TO_ModReg>"
             "<Unknown>x</Unknown><TimeOut_Data>7</TimeOut_Data><TimeOut_Ser>600</TimeOut_Ser><IDDev_Ser>5</IDDev_Ser>"
             "<Par_Ser>2</Par_Ser><Baud_Ser>7</Baud_Ser><CANType>0</CANType><BaudRateCAN>8</BaudRateCAN>\n"
             "</GeneralParameter>\n",
             [](PargenValues& v) {
                 v = {8, false, 7, 2, "5", "600", "7", "8", true, false, true, true, "11", "12", "13", "14"};
             },
             true},
    ReadCase{"SerialZeroIsRs232", Root("<Serial>0</Serial>"), [](PargenValues& v) { v.SerialRS485 = false; }},
    ReadCase{"SerialTrueIsRs232", Root("<Serial>true</Serial>"), [](PargenValues& v) { v.SerialRS485 = false; }},
    ReadCase{"SerialEmptyIsRs232", Root("<Serial></Serial>"), [](PargenValues& v) { v.SerialRS485 = false; }},
    ReadCase{"OnlyOneTicks", Root("<Peer_to_Peer>1</Peer_to_Peer>"), [](PargenValues& v) { v.Peer_to_Peer = true; }},
    ReadCase{"TrueDoesNotTick", Root("<Peer_to_Peer>true</Peer_to_Peer>"), nothing},
    ReadCase{"BlankOneDoesNotTick", Root("<Write_J1939> 1</Write_J1939><En_Rem_Req>01</En_Rem_Req>"), nothing},
    ReadCase{"DollarHexPosition", Root("<BaudRateCAN>$5</BaudRateCAN>"), [](PargenValues& v) { v.BaudRateCAN = 5; }},
    ReadCase{"ZeroXHexPosition", Root("<BaudRateCAN>0x5</BaudRateCAN>"), [](PargenValues& v) { v.BaudRateCAN = 5; }},
    ReadCase{"TrailingLetterGivesDefault", Root("<BaudRateCAN>5x</BaudRateCAN><Par_Ser></Par_Ser>"), nothing},
    ReadCase{"PositionBeyondListSelectsNothing", Root("<Baud_Ser>12</Baud_Ser><BaudRateCAN>9</BaudRateCAN>"),
             [](PargenValues& v) { v.Baud_Ser = -1; v.BaudRateCAN = -1; }},
    ReadCase{"NegativePositionSelectsNothing", Root("<Par_Ser>-1</Par_Ser>"), [](PargenValues& v) { v.Par_Ser = -1; }},
    ReadCase{"CanTypeZeroIs11Bit", Root("<CANType>0</CANType>"), [](PargenValues& v) { v.CANType29Bit = false; }, true},
    ReadCase{"CanTypeHexNonZeroIs29Bit", Root("<CANType>$10</CANType>"), nothing, true},
    ReadCase{"CanTypeNotAnInteger", Root("<CANType>abc</CANType>"), nothing, false},
    ReadCase{"TextAndCommentIsMalformed", Root("<IDDev_Ser>7<!-- c --></IDDev_Ser>"), nothing},
    ReadCase{"ChildElementIsMalformed", Root("<IDDev_Ser><v>7</v></IDDev_Ser><Serial><v/></Serial>"), nothing},
    ReadCase{"EmptyElementIsEmptyText", Root("<IDDev_Ser/><TimeOut_Data></TimeOut_Data>"),
             [](PargenValues& v) { v.IDDev_Ser = ""; v.TimeOut_Data = ""; }},
    ReadCase{"TextsKeptAsStored", Root("<TimeOut_Ser> 7 </TimeOut_Ser><SA>  </SA><PGN1><![CDATA[0x1F]]></PGN1>"),
             [](PargenValues& v) { v.TimeOut_Ser = " 7 "; v.SA = "  "; v.PGN1 = "0x1F"; }},
    ReadCase{"FirstOfTwoElementsCounts", Root("<SA>3</SA><SA>4</SA>"), [](PargenValues& v) { v.SA = "3"; }},
    ReadCase{"ExternalEntityNotResolved",
             "<!DOCTYPE GeneralParameter [<!ENTITY e SYSTEM \"/etc/hostname\">]>" + Root("<IDDev_Ser>&e;</IDDev_Ser>"),
             [](PargenValues& v) { v.IDDev_Ser = "&e;"; }}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(PargenReadingFailures, LeaveEveryValueAsItWasAndReportNothing)
{
    TempFolder dir;
    PargenValues values = Previous();
    EXPECT_EQ(ReadPargenInto(dir / "pargen.xml", values).load, PargenLoad::NoDocument);
    EXPECT_EQ(values, Previous());

    for (const char* bad : {"this is not XML", "<GeneralParameter><SA>1</SA>", ""}) {
        WriteText(dir / "pargen.xml", bad);
        EXPECT_EQ(ReadPargenInto(dir / "pargen.xml", values).load, PargenLoad::Unreadable) << bad;
        EXPECT_EQ(values, Previous()) << bad;
    }
    std::filesystem::remove(dir / "pargen.xml");
    std::filesystem::create_directory(dir / "pargen.xml");
    EXPECT_EQ(ReadPargenInto(dir / "pargen.xml", values).load, PargenLoad::Unreadable);
    EXPECT_EQ(values, Previous());
}

TEST(PargenWriting, WritesTheExampleAsSixteenElementsAndNothingElse)
{
    TempFolder dir;
    WriteText(dir / "pargen.xml", Root("<SA>5</SA><Extra/>"));
    WritePargen(dir / "pargen.xml", Example());
    EXPECT_EQ(ReadText(dir / "pargen.xml"), Golden("pargen_example.xml"));
}

TEST(PargenWriting, NoSelectionEmptyAndOddTextsSurviveAReadBack)
{
    PargenValues odd = Previous();
    odd.Baud_Ser = -1;
    odd.IDDev_Ser = "";
    odd.TimeOut_Ser = " 7 ";
    odd.Pri_Des = "a<b&c>\"d\"";
    odd.SA = "$FF";
    odd.PGN1 = "\r";  // read from "&#13;"; a raw CR would come back as a line feed
    odd.PGN2 = "1\r\n2";

    TempFolder dir;
    WritePargen(dir / "pargen.xml", odd);
    const std::string bytes = ReadText(dir / "pargen.xml");
    EXPECT_NE(bytes.find("<BaudRateCAN>7</BaudRateCAN><CANType>0</CANType><Baud_Ser>-1</Baud_Ser>"
                         "<Par_Ser>2</Par_Ser><IDDev_Ser/><TimeOut_Ser> 7 </TimeOut_Ser>"),
              std::string::npos)
        << bytes;
    EXPECT_NE(bytes.find("<Pri_Des>a&lt;b&amp;c&gt;\"d\"</Pri_Des>"), std::string::npos) << bytes;

    PargenValues back;
    const PargenReadResult result = ReadPargenInto(dir / "pargen.xml", back);
    EXPECT_TRUE(result.canTypeRead);
    EXPECT_EQ(back, odd);
}

TEST(PargenFiles, OneFileWhateverTheCaseOfItsName)
{
    TempFolder dir;
    WriteText(dir / "PARGEN.XML", Root("<SA>3</SA>"));
    PargenValues values;
    ASSERT_EQ(ReadPargenInto(dir / "Pargen.xml", values).load, PargenLoad::Read);
    EXPECT_EQ(values.SA, "3");

    WritePargen(dir / "pargen.xml", Example());
    EXPECT_EQ(test::EntriesIn(dir.path()), 1u);
    EXPECT_EQ(ReadText(dir / "PARGEN.XML"), Golden("pargen_example.xml"));
}

TEST(PargenTexts, TheBuilderSeesMissingMalformedAndUnparsableDocuments)
{
    TempFolder dir;
    EXPECT_FALSE(ReadPargenTexts(dir / "Pargen.xml").has_value());

    WriteText(dir / "pargen.xml", Root("<IDDev_Ser>1<x/></IDDev_Ser><TimeOut_Ser>1000</TimeOut_Ser>"));
    const std::optional<PargenTexts> texts = ReadPargenTexts(dir / "Pargen.xml");
    ASSERT_TRUE(texts.has_value());
    EXPECT_TRUE(texts->hasRoot);
    EXPECT_FALSE((*texts)["IDDev_Ser"].has_value());
    EXPECT_EQ((*texts)["TimeOut_Ser"], "1000");
    EXPECT_FALSE((*texts)["BaudRateCAN"].has_value());

    WriteText(dir / "pargen.xml", "<GeneralParameter>");
    try {
        ReadPargenTexts(dir / "Pargen.xml");
        FAIL() << "no error";
    } catch (const Error& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.rfind((dir / "Pargen.xml").string() + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(" at offset "), std::string::npos) << message;
    }
}

struct WriteOnRequestCase {
    const char* document;  // nullptr: no document
    bool enabled;

    friend void PrintTo(const WriteOnRequestCase& c, std::ostream* os) { *os << (c.document ? c.document : "no document"); }
};

class WriteOnRequest : public testing::TestWithParam<WriteOnRequestCase> {};

TEST_P(WriteOnRequest, FollowsTheLowByteOfWrite_J1939)
{
    TempFolder dir;
    if (GetParam().document) WriteText(dir / "pargen.xml", GetParam().document);
    EXPECT_EQ(WriteOnRequestEnabled(dir / "Pargen.xml"), GetParam().enabled);
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteOnRequest, testing::Values(
    WriteOnRequestCase{nullptr, false},
    WriteOnRequestCase{"<GeneralParameter><Write_J1939>1</Write_J1939></GeneralParameter>", true},
    WriteOnRequestCase{"<GeneralParameter><Write_J1939>2</Write_J1939></GeneralParameter>", true},
    WriteOnRequestCase{"<GeneralParameter><Write_J1939>0</Write_J1939></GeneralParameter>", false},
    WriteOnRequestCase{"<GeneralParameter><Write_J1939>$100</Write_J1939></GeneralParameter>", false},
    WriteOnRequestCase{"<GeneralParameter><Write_J1939>yes</Write_J1939></GeneralParameter>", false},
    WriteOnRequestCase{"<GeneralParameter><Serial>1</Serial></GeneralParameter>", false},
    WriteOnRequestCase{"<GeneralParameter><Write_J1939>1</Write_J1939>", false}));

}  // namespace
}  // namespace trelvant
