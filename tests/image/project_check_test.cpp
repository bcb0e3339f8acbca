#include "image/image_builder.h"
#include "image/project_check.h"
#include "documents/project_documents.h"
#include "platform/error.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace trelvant {
namespace {

using test::TempFolder;
using test::WriteText;

// The sixteen elements as the communication dialog writes them for its initial values, with
// changes: a text in place of the element's, or none to leave the element out.
std::string pargen(const std::map<std::string, std::optional<std::string>>& changes = {},
                   const std::string& root = "GeneralParameter")
{
    const std::vector<std::pair<std::string, std::string>> elements = {
        {"BaudRateCAN", "5"},   {"CANType", "1"},        {"Baud_Ser", "3"},    {"Par_Ser", "0"},
        {"IDDev_Ser", "1"},     {"TimeOut_Ser", "1000"}, {"TimeOut_Data", "0"}, {"TO_ModReg", "1"},
        {"Peer_to_Peer", "0"},  {"Serial", "1"},         {"Write_J1939", "0"}, {"En_Rem_Req", "0"},
        {"Pri_Des", "0"},       {"PGN1", "0"},           {"PGN2", "0"},        {"SA", "0"}};
    std::string xml = "<" + root + ">";
    for (const auto& [name, text] : elements) {
        const auto change = changes.find(name);
        if (change != changes.end() && !change->second) continue;
        xml += "<" + name + ">" + (change != changes.end() ? *change->second : text) + "</" + name + ">";
    }
    return xml + "</" + root + ">";
}

std::string document(const std::string& root, const std::vector<std::string>& rows)
{
    std::string xml = "<" + root + ">";
    for (const std::string& row : rows) xml += "<row " + row + "/>";
    return xml + "</" + root + ">";
}

// A small project without problems: two receive frames, one transmit frame, registers 3 and 10
// received, register 7 sent, the time-out register 1.
struct ProjectFixture {
    TempFolder folder;

    ProjectFixture()
    {
        with("pargen.xml", pargen());
        with("RCobDef.xml", document("COBID", {R"(PGN="0xFECA" ID_DEV="0x21" Delete="N")", R"(PGN="61444" ID_DEV="0" Delete="N")"}));
        with("TCobDef.xml", document("COBID", {R"(Priority="6" DP="0" PGN="0xFEF1" ID_DEV="0")"}));
        with("RInfoCob.xml", document("RInfoCob", {R"(Index="3" NrPdo="1" PosComp="33")", R"(Index="10" NrPdo="2" PosComp="8")"}));
        with("TInfoCob.xml", document("TInfoCob", {R"(Index="7" NrPdo="1" PosComp="18" Write_J1939="0")"}));
    }

    void with(const std::string& name, const std::optional<std::string>& text)
    {
        if (text) WriteText(folder / name, *text);
        else std::filesystem::remove(folder / name);
    }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> lines;
        for (const Finding& finding : CheckProject(folder.path())) lines.push_back(FindingLine(finding));
        return lines;
    }

    bool buildFails() const
    {
        ConfigurationImage image;
        try {
            BuildConfigurationImage(image, folder.path(), FixedClock({2009, 12, 31, 23, 59, 58}));
        } catch (const Error&) {
            return true;
        }
        return false;
    }
};

TEST(ProjectCheck, TheFixtureIsClean)
{
    ProjectFixture project;
    EXPECT_EQ(project.lines(), std::vector<std::string>{});
    EXPECT_FALSE(project.buildFails());
}

struct CheckCase {
    const char* name;
    // Replaced, or removed when none, in this order: "pargen.xml" goes before "PARGEN.XML" comes,
    // where the file system ignores case.
    std::vector<std::pair<std::string, std::optional<std::string>>> documents;
    std::vector<std::string> lines;                                // every finding, in order
    bool buildFails;                                               // what the builder does with the project
};

class ProjectCheckFinds : public testing::TestWithParam<CheckCase> {};

TEST_P(ProjectCheckFinds, EachProblemOnceWithItsPlace)
{
    ProjectFixture project;
    for (const auto& [name, text] : GetParam().documents) project.with(name, text);
    EXPECT_EQ(project.lines(), GetParam().lines);
    // Every finding that says the build stops is one that stops it, and no other does.
    EXPECT_EQ(project.buildFails(), GetParam().buildFails);
}

// Frames of PGNs 61444 on, from device 0.
std::vector<std::string> manyFrames(std::size_t count)
{
    std::vector<std::string> frames;
    for (std::size_t i = 0; i < count; ++i)
        frames.push_back("PGN=\"" + std::to_string(61444 + i) + "\" ID_DEV=\"0\" Delete=\"N\"");
    return frames;
}

INSTANTIATE_TEST_SUITE_P(Cases, ProjectCheckFinds, testing::Values(
    // What stops the build.
    CheckCase{"DocumentThatDoesNotParse", {{"RCobDef.xml", "<COBID><row PGN=\"1\"></COBID>"}},
              {"RCobDef.xml: error: Start-end tags mismatch at offset 22"}, true},
    CheckCase{"TextThatIsNotAnInteger", {{"RCobDef.xml", document("COBID", {R"(PGN="12abc" ID_DEV="1")", R"(PGN="1" ID_DEV="1")"})}},
              {"RCobDef.xml, row 1: error: attribute \"PGN\": '12abc' is not a valid integer value"}, true},
    CheckCase{"MissingAttribute", {{"TCobDef.xml", document("COBID", {R"(Priority="6" PGN="0xFEF1" ID_DEV="0")"})}},
              {"TCobDef.xml, row 1: error: attribute \"DP\" is missing",
               // The editor's reading pass stops at that frame, so it has none for the row.
               "TInfoCob.xml, row 1: warning: frame number 1 is past the 0 frames the editor reads from TCobDef.xml: it "
               "drops the row, the builder stores it"}, true},
    CheckCase{"MissingRequiredElement", {{"pargen.xml", pargen({{"IDDev_Ser", std::nullopt}})}},
              {"pargen.xml: error: element \"IDDev_Ser\" is missing or holds no text"}, true},
    CheckCase{"FrameListOverItsRoom", {{"RCobDef.xml", document("COBID", manyFrames(251))}},
              {"RCobDef.xml, row 251: error: a frame list holds at most 250 rows; this one holds 251"}, true},
    CheckCase{"StandardIdentifierOutOfRange",
              {{"pargen.xml", std::nullopt},
               {"RCobDef.xml", document("COBID", {R"(PGN="0x123" ID_DEV="1")", R"(PGN="2048" ID_DEV="1")"})},
               {"TCobDef.xml", document("COBID", {R"(Priority="6" DP="0" PGN="4000" ID_DEV="0")"})}},
              {"RCobDef.xml, row 2: error: identifier 2048 is outside 0 to 2047, as without pargen.xml the frames have 11-bit identifiers",
               "TCobDef.xml, row 1: error: identifier 4000 is outside 0 to 2047, as without pargen.xml the frames have 11-bit identifiers"}, true},
    // Values the device would get other than typed.
    CheckCase{"ParameterThatFallsBackToItsDefault", {{"pargen.xml", pargen({{"TO_ModReg", "abc"}})}},
              {"pargen.xml: error: element \"TO_ModReg\": 'abc' is not a valid integer value; the device gets 1"}, false},
    // A slave address is 1 to 247; 256 is cut first, which says more.
    CheckCase{"BroadcastAddressAsDevId", {{"pargen.xml", pargen({{"IDDev_Ser", "0"}})}},
              {"pargen.xml: error: element \"IDDev_Ser\": Dev ID 0 is outside 1 to 247: 0 is the broadcast address, "
               "which no slave has"}, false},
    CheckCase{"ReservedAddressAsDevId", {{"pargen.xml", pargen({{"IDDev_Ser", "248"}})}},
              {"pargen.xml: error: element \"IDDev_Ser\": Dev ID 248 is outside 1 to 247: Modbus reserves the "
               "addresses above 247"}, false},
    CheckCase{"HighestSlaveAddress", {{"pargen.xml", pargen({{"IDDev_Ser", "$F7"}})}}, {}, false},
    CheckCase{"ParameterCutToItsField", {{"pargen.xml", pargen({{"TimeOut_Ser", "70000"}, {"IDDev_Ser", "256"}})}},
              {"pargen.xml: error: element \"IDDev_Ser\": 256 is cut to 0 (field of 8 bits)",
               "pargen.xml: error: element \"TimeOut_Ser\": 70000 is cut to 4464 (field of 16 bits)"}, false},
    CheckCase{"ListPositionOutsideItsList", {{"pargen.xml", pargen({{"BaudRateCAN", "-1"}, {"Par_Ser", "3"}})}},
              {"pargen.xml: error: element \"BaudRateCAN\": -1 selects no item of its list (0 to 8)",
               "pargen.xml: error: element \"Par_Ser\": 3 selects no item of its list (0 to 2)"}, false},
    CheckCase{"ModbusIndexAbove65535", {{"RInfoCob.xml", document("RInfoCob", {R"(Index="3" NrPdo="1" PosComp="33")", R"(Index="70000" NrPdo="2" PosComp="8")"})}},
              {"RInfoCob.xml, row 2: error: Modbus index 70000 is cut to 4464 (field of 16 bits)"}, false},
    CheckCase{"DeviceAddressAbove255", {{"RCobDef.xml", document("COBID", {R"(PGN="0xFECA" ID_DEV="300")", R"(PGN="61444" ID_DEV="0")"})}},
              {"RCobDef.xml, row 1: error: device address 300 is cut to 44 (field of 8 bits)"}, false},
    CheckCase{"TransmitIdentifierParts",
              {{"TCobDef.xml", document("COBID", {R"(Priority="8" DP="2" PGN="0x1FEF1" ID_DEV="256")"})}},
              {"TCobDef.xml, row 1: error: priority 8 is outside 0 to 7 (field of 3 bits)",
               "TCobDef.xml, row 1: error: data page 2 is outside 0 to 1 (field of 1 bit)",
               "TCobDef.xml, row 1: error: PGN 130801 is outside 0 to 65535 (field of 16 bits)",
               "TCobDef.xml, row 1: error: device address 256 is outside 0 to 255 (field of 8 bits)"}, false},
    CheckCase{"ByteChoiceAboveB8", {{"TInfoCob.xml", document("TInfoCob", {R"(Index="7" NrPdo="1" PosComp="0x9A" Write_J1939="0")"})}},
              {"TInfoCob.xml, row 1: error: PosComp 154 chooses byte 9 for the high byte; a frame has B1 to B8",
               "TInfoCob.xml, row 1: error: PosComp 154 chooses byte 10 for the low byte; a frame has B1 to B8"}, false},
    CheckCase{"WriteFlagThatIsNotAnInteger", {{"TInfoCob.xml", document("TInfoCob", {R"(Index="7" NrPdo="1" PosComp="18" Write_J1939="yes")"})}},
              {"TInfoCob.xml, row 1: error: attribute \"Write_J1939\": 'yes' is not a valid integer value; the device gets 0"}, false},
    // Two things on one register or one sent byte.
    CheckCase{"DuplicateIndexWithinAByteMap", {{"RInfoCob.xml", document("RInfoCob", {R"(Index="10" NrPdo="1" PosComp="33")", R"(Index="0xA" NrPdo="2" PosComp="8")"})}},
              {"RInfoCob.xml, row 2: error: Modbus index 10 is also in row 1"}, false},
    CheckCase{"IndexCutOntoAnother", {{"TInfoCob.xml", document("TInfoCob", {R"(Index="7" NrPdo="1" PosComp="18")", R"(Index="65543" NrPdo="1" PosComp="52")"})}},
              {"TInfoCob.xml, row 2: error: Modbus index 65543 is cut to 7 (field of 16 bits)",
               "TInfoCob.xml, row 2: error: Modbus index 7 is also in row 1"}, false},
    CheckCase{"IndexOfTheTimeOutRegister", {{"TInfoCob.xml", document("TInfoCob", {R"(Index="1" NrPdo="1" PosComp="18")"})}},
              {"TInfoCob.xml, row 1: error: Modbus index 1 is also the register \"TO_ModReg\" of pargen.xml"}, false},
    CheckCase{"IndexOfARemoteRequestRegister",
              {{"pargen.xml", pargen({{"En_Rem_Req", "1"}, {"Pri_Des", "20"}, {"PGN1", "21"}, {"PGN2", "22"}, {"SA", "10"}})}},
              {"RInfoCob.xml, row 2: error: Modbus index 10 is also the register \"SA\" of pargen.xml"}, false},
    // Stored whether or not remote requests use them; their registers are free while unused.
    CheckCase{"RemoteRequestRegistersCutOrDefaultedWhileDisabled",
              {{"pargen.xml", pargen({{"Pri_Des", "70000"}, {"PGN1", ""}, {"PGN2", "1"}, {"SA", "abc"}})}},
              {"pargen.xml: error: element \"Pri_Des\": 70000 is cut to 4464 (field of 16 bits)",
               "pargen.xml: error: element \"PGN1\": '' is not a valid integer value; the device gets 0",
               "pargen.xml: error: element \"SA\": 'abc' is not a valid integer value; the device gets 0"}, false},
    CheckCase{"CanTypeOtherThanOne", {{"pargen.xml", pargen({{"CANType", "0"}})}},
              {"pargen.xml: error: element \"CANType\": 0 is stored as 1 (29-bit identifiers): a build with pargen.xml "
               "always stores 1; 11-bit identifiers are built from a project without pargen.xml"}, false},
    CheckCase{"SwitchesOtherThanZeroOrOne",
              {{"pargen.xml", pargen({{"Peer_to_Peer", "2"}, {"Serial", "3"}, {"Write_J1939", "0xFF"}, {"En_Rem_Req", "256"}})}},
              {"pargen.xml: error: element \"Peer_to_Peer\": 2 is neither 0 nor 1",
               "pargen.xml: error: element \"Serial\": 3 is neither 0 nor 1",
               "pargen.xml: error: element \"Write_J1939\": 255 is neither 0 nor 1",
               "pargen.xml: error: element \"En_Rem_Req\": 256 is cut to 0 (field of 8 bits)"}, false},
    CheckCase{"WriteFlagNeitherZeroNorOne", {{"TInfoCob.xml", document("TInfoCob", {R"(Index="7" NrPdo="1" PosComp="18" Write_J1939="2")"})}},
              {"TInfoCob.xml, row 1: error: Write J1939 flag 2 is neither 0 nor 1",
               "TInfoCob.xml, row 1: warning: Write J1939 flag 2 while pargen.xml disables writing J1939 frames"}, false},
    // A text is the number it spells: a hexadecimal text's 32-bit pattern is stored as typed.
    CheckCase{"NumbersAsTyped",
              {{"RCobDef.xml", document("COBID", {R"(PGN="0xFFFFFFFF" ID_DEV="0x21")", R"(PGN="-1" ID_DEV="0")"})},
               {"RInfoCob.xml", document("RInfoCob", {R"(Index="$FFFFFFFF" NrPdo="1" PosComp="33")", R"(Index="10" NrPdo="2" PosComp="8")"})}},
              {"RCobDef.xml, row 1: warning: PGN 4294967295 is above 262143: no J1939 frame carries it",
               "RCobDef.xml, row 2: error: PGN -1 is cut to 4294967295 (field of 32 bits)",
               "RInfoCob.xml, row 1: error: Modbus index 4294967295 is cut to 65535 (field of 16 bits)"}, false},
    // The parts of a transmit identifier are added: one outside its field changes those above it.
    CheckCase{"TransmitIdentifierPartChangedByThePartBelow",
              {{"TCobDef.xml", document("COBID", {R"(Priority="6" DP="0" PGN="0xFEF1" ID_DEV="256")", R"(Priority="6" DP="4" PGN="1" ID_DEV="0")"})}},
              {"TCobDef.xml, row 1: error: PGN 65265 is stored as 65266: the device address 256 below it reaches into its field",
               "TCobDef.xml, row 1: error: device address 256 is outside 0 to 255 (field of 8 bits)",
               "TCobDef.xml, row 2: error: priority 6 is stored as 7: the data page 4 below it reaches into its field",
               "TCobDef.xml, row 2: error: data page 4 is outside 0 to 1 (field of 1 bit)"}, false},
    CheckCase{"PargenRegistersOnOneRegister", {{"pargen.xml", pargen({{"En_Rem_Req", "1"}, {"Pri_Des", "20"}, {"PGN1", "20"}, {"PGN2", "1"}, {"SA", "23"}})}},
              {"pargen.xml: error: element \"PGN1\": register 20 is also \"Pri_Des\"",
               "pargen.xml: error: element \"PGN2\": register 1 is also \"TO_ModReg\""}, false},
    CheckCase{"IndexInBothByteMaps", {{"TInfoCob.xml", document("TInfoCob", {R"(Index="3" NrPdo="1" PosComp="18")"})}},
              {"TInfoCob.xml, row 1: error: Modbus index 3 is also in RInfoCob.xml, row 1"}, false},
    CheckCase{"SentByteOfTwoRegisters", {{"TInfoCob.xml", document("TInfoCob", {R"(Index="7" NrPdo="1" PosComp="18")", R"(Index="8" NrPdo="1" PosComp="0x23")", R"(Index="9" NrPdo="1" PosComp="0x88")"})}},
              {"TInfoCob.xml, row 2: error: byte B2 of frame 1 is also mapped by row 1",
               "TInfoCob.xml, row 3: warning: PosComp 136 sends both the high and the low byte of the register in B8: the "
               "frame carries only one of them"}, false},
    // The device takes the frames of one PGN and device into one row; without pargen.xml a
    // later row of an identifier takes the earlier one's entry in the identifier index.
    CheckCase{"ReceiveFramesOfOnePgnAndDevice",
              {{"RCobDef.xml", document("COBID", {R"(PGN="0xFECA" ID_DEV="0x21")", R"(PGN="61444" ID_DEV="0")",
                                                  R"(PGN="0xFECA" ID_DEV="0x22")", R"(PGN="65226" ID_DEV="33")"})}},
              {"RCobDef.xml, row 4: error: PGN 65226 from device 33 is also in row 1: the device takes the frames of one "
               "PGN and device into one row only"}, false},
    CheckCase{"Can20AReceiveFramesOfOneIdentifier",
              {{"pargen.xml", std::nullopt},
               {"RCobDef.xml", document("COBID", {R"(PGN="0x123" ID_DEV="1")", R"(PGN="291" ID_DEV="2")"})},
               {"TCobDef.xml", document("COBID", {R"(Priority="6" DP="0" PGN="0x7FF" ID_DEV="0")"})}},
              {"RCobDef.xml, row 2: error: identifier 291 is also in row 1: this row takes its entry in the identifier "
               "index, so row 1 is never received"}, false},
    // The image holds what was typed, which is likely not what was meant.
    CheckCase{"ReceivedByteCopiedIntoTwoRegisters", {{"RInfoCob.xml", document("RInfoCob", {R"(Index="3" NrPdo="1" PosComp="33")", R"(Index="4" NrPdo="1" PosComp="1")"})}},
              {"RInfoCob.xml, row 2: warning: byte B1 of frame 1 is also mapped by row 1"}, false},
    CheckCase{"RowPastItsFrameList", {{"RInfoCob.xml", document("RInfoCob", {R"(Index="3" NrPdo="1" PosComp="33")", R"(Index="10" NrPdo="3" PosComp="8")"})}},
              {"RInfoCob.xml, row 2: warning: frame number 3 is past the 2 frames the editor reads from RCobDef.xml: it drops the row, the builder stores it"}, false},
    CheckCase{"RowsWithoutTheirFrameList", {{"TCobDef.xml", std::nullopt}},
              {"TInfoCob.xml, row 1: warning: frame number 1 is past the 0 frames the editor reads from TCobDef.xml: it drops the row, the builder stores it"}, false},
    CheckCase{"FrameNumberZero", {{"RInfoCob.xml", document("RInfoCob", {R"(Index="3" NrPdo="0" PosComp="33")"})}},
              {"RInfoCob.xml, row 1: warning: frame number 0 names no frame: the editor stops reading the rows here"}, false},
    CheckCase{"WriteFlagWhileWritingIsDisabled", {{"TInfoCob.xml", document("TInfoCob", {R"(Index="7" NrPdo="1" PosComp="18" Write_J1939="1")"})}},
              {"TInfoCob.xml, row 1: warning: Write J1939 flag 1 while pargen.xml disables writing J1939 frames"}, false},
    CheckCase{"WriteFlagWhileWritingIsEnabled",
              {{"pargen.xml", pargen({{"Write_J1939", "1"}})},
               {"TInfoCob.xml", document("TInfoCob", {R"(Index="7" NrPdo="1" PosComp="18" Write_J1939="1")"})}}, {}, false},
    CheckCase{"ReceivedPgnWiderThanJ1939", {{"RCobDef.xml", document("COBID", {R"(PGN="0x40000" ID_DEV="0")", R"(PGN="61444" ID_DEV="0")"})}},
              {"RCobDef.xml, row 1: warning: PGN 262144 is above 262143: no J1939 frame carries it"}, false},
    // Read as the builder reads: Pargen.xml in any case, any root, rows whatever their names.
    CheckCase{"ReadAsTheBuilderReads",
              {{"pargen.xml", std::nullopt},
               {"PARGEN.XML", pargen({{"Baud_Ser", "8"}}, "Settings")},
               {"RInfoCob.xml", "<Map><entry Index=\"3\" NrPdo=\"1\" PosComp=\"33\"/><!-- --><x Index=\"3\" NrPdo=\"2\" PosComp=\"8\"/></Map>"}},
              {"PARGEN.XML: error: element \"Baud_Ser\": 8 selects no item of its list (0 to 7)",
               "RInfoCob.xml, row 2: error: Modbus index 3 is also in row 1"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProjectCheck, ErrorsAndWarningsAreCountedApart)
{
    ProjectFixture project;
    project.with("RInfoCob.xml", document("RInfoCob", {R"(Index="1" NrPdo="1" PosComp="33")", R"(Index="70000" NrPdo="3" PosComp="8")"}));
    const std::vector<Finding> findings = CheckProject(project.folder.path());
    ASSERT_EQ(findings.size(), 3u);
    EXPECT_EQ(findings[0], (Finding{"RInfoCob.xml", 1, "Index", Severity::Error, "register-collision",
                                    "Modbus index 1 is also the register \"TO_ModReg\" of pargen.xml",
                                    FindingPlace{"pargen.xml", std::nullopt, "TO_ModReg"}}));
    EXPECT_EQ(findings[2], (Finding{"RInfoCob.xml", 2, "NrPdo", Severity::Warning, "frame-outside",
                                    "frame number 3 is past the 2 frames the editor reads from RCobDef.xml: it drops "
                                    "the row, the builder stores it"}));
    EXPECT_EQ(CountFindings(findings, Severity::Error), 2u);
    EXPECT_EQ(CountFindings(findings, Severity::Warning), 1u);
    EXPECT_EQ(FindingsSummary(findings), "2 errors, 1 warning");
    EXPECT_EQ(FindingsSummary({findings[2]}), "1 warning");
    EXPECT_EQ(FindingsSummary({findings[0]}), "1 error");
    EXPECT_EQ(FindingsSummary({}), "No problems found");
}

// Each kind of finding has a code of its own in the JSON of trelvant-cli check.
TEST(ProjectCheck, KindsHaveTheirCodesAndSeverities)
{
    ProjectFixture project;
    project.with("pargen.xml", pargen({{"CANType", "0"}, {"Serial", "2"}}));
    project.with("RCobDef.xml", document("COBID", {R"(PGN="61444" ID_DEV="0")", R"(PGN="61444" ID_DEV="0")"}));
    project.with("TInfoCob.xml", document("TInfoCob", {R"(Index="7" NrPdo="1" PosComp="0x33" Write_J1939="3")"}));
    std::vector<std::tuple<std::string, std::string, Severity, std::string>> kinds;
    for (const Finding& f : CheckProject(project.folder.path())) kinds.emplace_back(f.document, f.attribute, f.severity, f.code);
    EXPECT_EQ(kinds, (std::vector<std::tuple<std::string, std::string, Severity, std::string>>{
                         {"pargen.xml", "CANType", Severity::Error, "fixed-value"},
                         {"pargen.xml", "Serial", Severity::Error, "flag-value"},
                         {"RCobDef.xml", "PGN", Severity::Error, "duplicate-frame"},
                         {"TInfoCob.xml", "PosComp", Severity::Warning, "byte-twice"},
                         {"TInfoCob.xml", "Write_J1939", Severity::Error, "flag-value"},
                         {"TInfoCob.xml", "Write_J1939", Severity::Warning, "write-disabled"}}));
}

TEST(ProjectCheck, TheUpdateQuestionListsTheFirstTenErrorsAndCountsTheRest)
{
    std::vector<Finding> findings;
    findings.push_back({"TInfoCob.xml", 1, "Write_J1939", Severity::Warning, "write-disabled", "not asked about"});
    for (std::size_t row = 1; row <= 12; ++row)
        findings.push_back({"RInfoCob.xml", row, "Index", Severity::Error, "field-width", "problem " + std::to_string(row)});
    std::string expected =
        "The check of the project found 12 errors that would stop the build or give the device other values than "
        "those typed:\n";
    for (int row = 1; row <= 10; ++row)
        expected += "\nRInfoCob.xml, row " + std::to_string(row) + ": error: problem " + std::to_string(row);
    EXPECT_EQ(UpdateDeviceQuestion(findings), expected + "\n\u2026 and 2 more errors\n\nUpdate the device anyway?");

    findings.resize(12);  // the warning and 11 errors
    const std::string eleven = *UpdateDeviceQuestion(findings);
    EXPECT_TRUE(eleven.ends_with("\nRInfoCob.xml, row 10: error: problem 10\n\u2026 and 1 more error\n\nUpdate the device anyway?"))
        << eleven;
    findings.resize(11);  // ten errors, all shown
    const std::string ten = *UpdateDeviceQuestion(findings);
    EXPECT_TRUE(ten.ends_with("row 10: error: problem 10\n\nUpdate the device anyway?")) << ten;
    EXPECT_EQ(UpdateDeviceQuestion({findings[0]}), std::nullopt);  // warnings alone ask nothing
}

// An editor checks the project as it would stand after its OK: its own document in memory,
// the others as stored.
TEST(ProjectCheck, DocumentsInMemoryStandForTheStoredOnes)
{
    ProjectFixture project;
    ProjectDocuments documents(project.folder.path());
    documents.replace("rcobdef.xml", document("COBID", {R"(PGN="x" ID_DEV="1")", R"(PGN="61444" ID_DEV="0")"}));
    documents.replace("TInfoCob.xml", document("TInfoCob", {R"(Index="7" NrPdo="1" PosComp="18" Write_J1939="0")",
                                                            R"(Index="8" NrPdo="1" PosComp="1" Write_J1939="0")"}));
    std::vector<std::string> lines;
    for (const Finding& finding : CheckProject(documents)) lines.push_back(FindingLine(finding));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "RCobDef.xml, row 1: error: attribute \"PGN\": 'x' is not a valid integer value",
                         "TInfoCob.xml, row 2: error: byte B1 of frame 1 is also mapped by row 1"}));
    // The byte both registers choose, for the editor's byte group that chooses it.
    EXPECT_EQ(CheckProject(documents).back().byteChoice, 1);
    // The stored documents are untouched, and clean.
    EXPECT_EQ(project.lines(), std::vector<std::string>{});
    // A document in memory that does not parse is a finding like a stored one.
    documents.replace("Pargen.xml", "<GeneralParameter>");
    EXPECT_EQ(FindingLine(CheckProject(documents).front()),
              "pargen.xml: error: Start-end tags mismatch at offset 17");
}

// Both sides of a clash show it: the editor of the first row, or of pargen.xml, finds it too.
TEST(ProjectCheck, ClashesNameTheirOtherSideForTheEditors)
{
    ProjectFixture project;
    project.with("RInfoCob.xml", document("RInfoCob", {R"(Index="3" NrPdo="1" PosComp="33")", R"(Index="3" NrPdo="2" PosComp="8")"}));
    project.with("TInfoCob.xml", document("TInfoCob", {R"(Index="1" NrPdo="1" PosComp="18" Write_J1939="0")"}));
    const std::vector<Finding> findings = CheckProject(project.folder.path());
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].alsoAt, (FindingPlace{"RInfoCob.xml", 1, "Index"}));
    EXPECT_EQ(findings[1].alsoAt, (FindingPlace{"pargen.xml", std::nullopt, "TO_ModReg"}));
    EXPECT_EQ(FindingsOf(findings, "PARGEN.xml"), std::vector<Finding>{findings[1]});
    EXPECT_EQ(FindingsOf(findings, "RInfoCob.xml"), std::vector<Finding>{findings[0]});
    EXPECT_EQ(FindingTip(findings[0], "RInfoCob.xml", 2), "Error: Modbus index 3 is also in row 1");
    EXPECT_EQ(FindingTip(findings[0], "RInfoCob.xml", 1), "Error (RInfoCob.xml, row 2): Modbus index 3 is also in row 1");
    EXPECT_EQ(FindingTip(findings[1], "pargen.xml", std::nullopt),
              "Error (TInfoCob.xml, row 1): Modbus index 1 is also the register \"TO_ModReg\" of pargen.xml");
}

TEST(ProjectCheck, SaveQuestionListsTheErrorsOfTheEditor)
{
    const std::vector<Finding> findings = {
        {"RCobDef.xml", 3, "PGN", Severity::Error, "not-integer", "attribute \"PGN\": 'x' is not a valid integer value"},
        {"RCobDef.xml", 4, "PGN", Severity::Warning, "pgn-range", "PGN 262144 is above 262143: no J1939 frame carries it"},
        {"RInfoCob.xml", 2, "NrPdo", Severity::Error, "field-width", "frame number 300 is cut to 44 (field of 8 bits)"},
    };
    EXPECT_EQ(SaveQuestion("The receive list", "RCobDef.xml", findings),
              "The receive list has 2 errors:\n\nrow 3: attribute \"PGN\": 'x' is not a valid integer value\n"
              "RInfoCob.xml, row 2: error: frame number 300 is cut to 44 (field of 8 bits)\n\nSave anyway?");
    EXPECT_EQ(SaveQuestion("The receive list", "RCobDef.xml", {findings[1]}), std::nullopt);
    EXPECT_EQ(SaveQuestion("The receive list", "RCobDef.xml", {findings[0], findings[0], findings[0]}, 1),
              "The receive list has 3 errors:\n\nrow 3: attribute \"PGN\": 'x' is not a valid integer value\n"
              "\u2026 and 2 more errors\n\nSave anyway?");
}

}  // namespace
}  // namespace trelvant
