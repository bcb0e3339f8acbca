#include "documents/integer_conversion.h"
#include "documents/pargen_document.h"
#include "documents/row_document.h"
#include "image/bank_files.h"
#include "image/bank_reader.h"
#include "image/image_builder.h"
#include "image/image_dump.h"
#include "image/project_check.h"
#include "tests/cli/run_tool.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant {
namespace {

using test::RunTool;
using test::TempFolder;
using test::WriteText;

// The dialog's list items, by the position pargen.xml stores.
const std::vector<std::string> kCanBitRates = {"10", "20", "50", "100", "125", "250", "500", "800", "1000"};
const std::vector<std::string> kSerialBitRates = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
const std::vector<std::string> kParities = {"NONE", "ODD", "EVEN"};

std::int32_t number(const std::optional<std::string>& text)
{
    return StrToInt(text.value_or(""));
}

std::int32_t number(const XmlRow& row, std::string_view attribute)
{
    const std::string* text = row.attribute(attribute);
    return StrToInt(text ? *text : "");
}

// The byte maps of the dump against their documents, with the frame counts of either layout.
void expectMapAgreement(const ImageDump& d, const std::filesystem::path& project, std::size_t receiveFrames,
                        std::size_t transmitFrames)
{
    for (const bool isTransmit : {false, true}) {
        const RowDocument map = *ReadRowDocument(project / (isTransmit ? "TInfoCob.xml" : "RInfoCob.xml"));
        const DumpTable<DumpMapRow>& rows = isTransmit ? d.transmitMap : d.receiveMap;
        const std::size_t frames = isTransmit ? transmitFrames : receiveFrames;
        ASSERT_EQ(rows.count, map.rows.size());
        ASSERT_EQ(rows.rows.size(), map.rows.size());
        for (std::size_t i = 0; i < map.rows.size(); ++i) {
            SCOPED_TRACE(std::string(isTransmit ? "transmit" : "receive") + " map row " + std::to_string(i + 1));
            const DumpMapRow& r = rows.rows[i];
            const std::int32_t positions = number(map.rows[i], "PosComp");
            EXPECT_EQ(r.index, number(map.rows[i], "Index"));
            EXPECT_EQ(r.nrPdo, number(map.rows[i], "NrPdo"));
            EXPECT_EQ(r.frameExists, r.nrPdo >= 1 && r.nrPdo <= frames);
            EXPECT_EQ(r.posComp, positions);
            EXPECT_EQ(ByteChoiceName(r.high()), ByteChoiceName(positions / 16));
            EXPECT_EQ(ByteChoiceName(r.low()), ByteChoiceName(positions % 16));
            if (isTransmit) {
                EXPECT_EQ(r.writeJ1939, number(map.rows[i], "Write_J1939"));
            } else {
                EXPECT_EQ(r.writeJ1939, std::nullopt);
            }
        }
    }
}

// A project without pargen.xml: the CAN 2.0A layout, its frames found through the identifier
// index (no two of one identifier here) and bank 2.
void expectCan20AAgreement(const ImageDump& d, const std::filesystem::path& project)
{
    EXPECT_EQ(d.layout, DumpLayout::Can20A);
    ASSERT_EQ(d.parameters.size(), 1u);
    EXPECT_EQ(d.parameters[0].name, "CANType");
    EXPECT_EQ(d.parameters[0].stored, 0u);
    EXPECT_FALSE(d.parameters[0].marked);

    const RowDocument receive = *ReadRowDocument(project / "RCobDef.xml");
    ASSERT_EQ(d.standardReceiveFrames.count, receive.rows.size());
    ASSERT_EQ(d.standardReceiveFrames.rows.size(), receive.rows.size());
    ASSERT_EQ(d.identifierIndex.size(), receive.rows.size());
    for (std::size_t i = 0; i < receive.rows.size(); ++i) {
        SCOPED_TRACE("receive frame " + std::to_string(i + 1));
        const DumpStandardFrame& f = d.standardReceiveFrames.rows[i];
        EXPECT_EQ(f.identifier, number(receive.rows[i], "PGN"));
        EXPECT_EQ(f.device, number(receive.rows[i], "ID_DEV"));
        EXPECT_EQ(f.entry, i);
        EXPECT_FALSE(f.marked);
    }
    for (const DumpIdentifierEntry& e : d.identifierIndex) EXPECT_FALSE(e.marked()) << e.identifier;

    const RowDocument transmit = *ReadRowDocument(project / "TCobDef.xml");
    ASSERT_EQ(d.standardTransmitFrames.rows.size(), transmit.rows.size());
    for (std::size_t i = 0; i < transmit.rows.size(); ++i) {
        SCOPED_TRACE("transmit frame " + std::to_string(i + 1));
        const DumpStandardFrame& f = d.standardTransmitFrames.rows[i];
        EXPECT_EQ(f.identifier, number(transmit.rows[i], "PGN"));
        EXPECT_EQ(f.device, number(transmit.rows[i], "ID_DEV"));
        EXPECT_EQ(f.entry, std::nullopt);
        EXPECT_FALSE(f.marked);
    }
    expectMapAgreement(d, project, receive.rows.size(), transmit.rows.size());
}

// Every field of the dump against the document it was built from.
void expectAgreement(const ImageDump& d, const std::filesystem::path& project)
{
    if (!std::filesystem::exists(project / "pargen.xml")) return expectCan20AAgreement(d, project);
    EXPECT_EQ(d.layout, DumpLayout::J1939);
    const PargenTexts pargen = *ReadPargenTexts(project / "pargen.xml");
    const auto parameter = [&](std::string_view name) {
        const DumpParameter* p = d.parameter(name);
        EXPECT_NE(p, nullptr) << name;
        return p ? *p : DumpParameter{};
    };
    for (std::string_view name : kPargenElements) {
        SCOPED_TRACE(name);
        const std::int32_t value = number(pargen[name]);
        const DumpParameter p = parameter(name);
        EXPECT_FALSE(p.marked) << p.meaning;
        if (name == "BaudRateCAN") {
            EXPECT_EQ(p.stored, static_cast<std::uint32_t>(value + 1));
            EXPECT_EQ(p.meaning, kCanBitRates.at(static_cast<std::size_t>(value)) + " kbit/s");
        } else if (name == "CANType") {
            EXPECT_EQ(p.stored, 1u);
        } else {
            EXPECT_EQ(p.stored, static_cast<std::uint32_t>(value));
        }
        if (name == "Baud_Ser") {
            EXPECT_EQ(p.meaning, kSerialBitRates.at(static_cast<std::size_t>(value)) + " bit/s");
        } else if (name == "Par_Ser") {
            EXPECT_EQ(p.meaning, kParities.at(static_cast<std::size_t>(value)));
        } else if (name == "Serial") {
            EXPECT_EQ(p.meaning, value == 1 ? "RS485" : "RS232");
        }
    }

    const RowDocument receive = *ReadRowDocument(project / "RCobDef.xml");
    ASSERT_EQ(d.receiveFrames.count, receive.rows.size());
    ASSERT_EQ(d.receiveFrames.rows.size(), receive.rows.size());
    for (std::size_t i = 0; i < receive.rows.size(); ++i) {
        SCOPED_TRACE("receive frame " + std::to_string(i + 1));
        const DumpReceiveFrame& f = d.receiveFrames.rows[i];
        const std::string* marked = receive.rows[i].attribute("Delete");
        EXPECT_EQ(f.pgn, static_cast<std::uint32_t>(number(receive.rows[i], "PGN")));
        EXPECT_EQ(f.device, number(receive.rows[i], "ID_DEV"));
        EXPECT_EQ(f.position, i);
        EXPECT_EQ(f.deleted, marked && (*marked == "Y" || *marked == "y"));
        EXPECT_EQ(f.sameAs, std::nullopt);
    }

    const RowDocument transmit = *ReadRowDocument(project / "TCobDef.xml");
    ASSERT_EQ(d.transmitFrames.count, transmit.rows.size());
    ASSERT_EQ(d.transmitFrames.rows.size(), transmit.rows.size());
    for (std::size_t i = 0; i < transmit.rows.size(); ++i) {
        SCOPED_TRACE("transmit frame " + std::to_string(i + 1));
        const DumpTransmitFrame& f = d.transmitFrames.rows[i];
        EXPECT_EQ(f.priority, static_cast<unsigned>(number(transmit.rows[i], "Priority")));
        EXPECT_EQ(f.dataPage, static_cast<unsigned>(number(transmit.rows[i], "DP")));
        EXPECT_EQ(f.pgn, static_cast<unsigned>(number(transmit.rows[i], "DP") << 16 | number(transmit.rows[i], "PGN")));
        EXPECT_EQ(f.device, static_cast<unsigned>(number(transmit.rows[i], "ID_DEV")));
        EXPECT_FALSE(f.marked);
    }

    expectMapAgreement(d, project, receive.rows.size(), transmit.rows.size());
}

// A project whose values reach the edges: hexadecimal texts, a deleted frame, data page 1,
// priority 7, B8 with B8, a byte map row for a frame beyond the list, writing on request.
void writeEdgeProject(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    PargenValues values;
    values.BaudRateCAN = 8;
    values.Baud_Ser = 7;
    values.Par_Ser = 1;
    values.IDDev_Ser = "$F7";
    values.TimeOut_Ser = "0xFFFF";
    values.TimeOut_Data = "255";
    values.TO_ModReg = "65535";
    values.Peer_to_Peer = true;
    values.SerialRS485 = false;
    values.Write_J1939 = true;
    values.En_Rem_Req = true;
    values.Pri_Des = "40001";
    values.PGN1 = "40002";
    values.PGN2 = "40003";
    values.SA = "40004";
    WritePargen(folder / "pargen.xml", values);
    WriteText(folder / "RCobDef.xml", "<COBID><row PGN=\"0x1FECA\" ID_DEV=\"239\" Delete=\"y\" Mnemonic=\"\"/>"
                                      "<row PGN=\"0\" ID_DEV=\"0\" Delete=\"\" Mnemonic=\"\"/>"
                                      "<row PGN=\"$FEEF\" ID_DEV=\"0x10\" Mnemonic=\"\"/></COBID>");
    WriteText(folder / "TCobDef.xml", "<COBID><row Priority=\"7\" DP=\"1\" PGN=\"0xFFFF\" ID_DEV=\"239\" Mnemonic=\"\"/>"
                                      "<row Priority=\"0\" DP=\"0\" PGN=\"0\" ID_DEV=\"0\" Mnemonic=\"\"/></COBID>");
    WriteText(folder / "RInfoCob.xml", "<RInfoCob><row Index=\"0\" NrPdo=\"3\" PosComp=\"136\"/>"
                                       "<row Index=\"0xFFFF\" NrPdo=\"4\" PosComp=\"0\"/></RInfoCob>");
    WriteText(folder / "TInfoCob.xml", "<TInfoCob><row Index=\"7\" NrPdo=\"2\" PosComp=\"18\" Write_J1939=\"1\"/>"
                                       "<row Index=\"9\" NrPdo=\"1\" PosComp=\"8\" Write_J1939=\"0\"/></TInfoCob>");
}

// A project without pargen.xml, built in the CAN 2.0A layout: identifiers at both ends of 11
// bits, identifier 0 from device 0 last, a byte map row for a frame beyond the list.
void writeCan20AProject(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    WriteText(folder / "RCobDef.xml", "<COBID><row PGN=\"0x123\" ID_DEV=\"7\" Delete=\"Y\" Mnemonic=\"\"/>"
                                      "<row PGN=\"2047\" ID_DEV=\"0x21\" Mnemonic=\"\"/>"
                                      "<row PGN=\"0\" ID_DEV=\"0\" Mnemonic=\"\"/></COBID>");
    WriteText(folder / "TCobDef.xml", "<COBID><row Priority=\"6\" DP=\"0\" PGN=\"0x7FF\" ID_DEV=\"3\" Mnemonic=\"\"/>"
                                      "<row Priority=\"6\" DP=\"0\" PGN=\"$10\" ID_DEV=\"255\" Mnemonic=\"\"/></COBID>");
    WriteText(folder / "RInfoCob.xml", "<RInfoCob><row Index=\"0\" NrPdo=\"3\" PosComp=\"136\"/>"
                                       "<row Index=\"0xFFFF\" NrPdo=\"1\" PosComp=\"0x18\"/></RInfoCob>");
    WriteText(folder / "TInfoCob.xml", "<TInfoCob><row Index=\"7\" NrPdo=\"2\" PosComp=\"18\" Write_J1939=\"1\"/>"
                                       "<row Index=\"9\" NrPdo=\"1\" PosComp=\"8\" Write_J1939=\"0\"/></TInfoCob>");
}

// The dump of the bank files a build wrote says what the project's documents say; the tool
// writes that dump, as text and as JSON, on standard output and nothing else.
TEST(CliDump, AgreesWithTheDocumentsTheBankFilesWereBuiltFrom)
{
    TempFolder folder;
    const std::filesystem::path example = folder / "Boiler2";
    std::filesystem::copy(TRELVANT_EXAMPLE_PROJECT, example, std::filesystem::copy_options::recursive);
    const std::filesystem::path edge = folder / "Edge";
    writeEdgeProject(edge);
    const std::filesystem::path standard = folder / "Standard";
    writeCan20AProject(standard);

    for (const std::filesystem::path& project : {example, edge, standard}) {
        SCOPED_TRACE(project.filename().string());
        auto built = std::make_unique<ConfigurationImage>();
        BuildConfigurationImage(*built, project, FixedClock({2026, 12, 10, 12, 34, 56}));
        std::filesystem::create_directories(project / "bin");
        WriteBankOutputs(*built, project);

        auto read = std::make_unique<ConfigurationImage>();
        ReadBankFile(BankFilePath(project, 1), 1, *read);
        ReadBankFile(BankFilePath(project, 2), 2, *read);
        const ImageDump d = DumpConfigurationImage(*read);
        expectAgreement(d, project);
        EXPECT_EQ(d.date, (DumpDate{10 * 2048 + 12 * 128 + 26, 10, 12, 26, false}));
        EXPECT_EQ(d.time, (DumpTime{28 * 2048 + 34 * 32 + 12, 12, 34, 56, false}));

        const std::string bank1 = BankFilePath(project, 1).string();
        const std::string bank2 = BankFilePath(project, 2).string();
        const test::ToolRun text = RunTool({"dump", bank1, bank2});
        EXPECT_EQ(text.exitCode, 0) << text.err;
        EXPECT_EQ(text.err, "");
        EXPECT_EQ(text.out, DumpText(d));
        const test::ToolRun json = RunTool({"dump", "--json", bank1, bank2});
        EXPECT_EQ(json.exitCode, 0) << json.err;
        EXPECT_EQ(json.out, DumpJson(d));
    }
    // The edge project's row for frame 4 of 3 is there as stored, and marked.
    ConfigurationImage image;
    ReadBankFile(BankFilePath(edge, 1), 1, image);
    ReadBankFile(BankFilePath(edge, 2), 2, image);
    EXPECT_FALSE(DumpConfigurationImage(image).receiveMap.rows[1].frameExists);
}

// Built, then merged into the demonstration firmware: the banks read out of the merged
// firmware dump as the bank files do.
TEST(CliDump, ReadsTheBanksOutOfMergedFirmware)
{
    TempFolder folder;
    const std::filesystem::path project = folder / "Boiler 2";
    std::filesystem::copy(TRELVANT_EXAMPLE_PROJECT, project, std::filesystem::copy_options::recursive);
    const std::filesystem::path base = folder / "MASTER" / "Pelmora.sx";
    std::filesystem::create_directories(base.parent_path());
    std::filesystem::copy_file(TRELVANT_DEMO_FIRMWARE, base);
    const test::ToolRun update =
        RunTool({"update", project.string(), base.string(), "--build-time", "2026-12-10T12:00:00"});
    ASSERT_EQ(update.exitCode, 0) << update.err;

    const test::ToolRun banks =
        RunTool({"dump", BankFilePath(project, 1).string(), BankFilePath(project, 2).string(), "--json"});
    const test::ToolRun firmware = RunTool({"dump", "--json", "--firmware", (project / "New_Pelmora.sx").string()});
    EXPECT_EQ(firmware.exitCode, 0) << firmware.err;
    EXPECT_EQ(firmware.err, "");
    EXPECT_EQ(firmware.out, banks.out);
    EXPECT_NE(firmware.out.find("\"BaudRateCAN\": {\"offset\": 16000, \"width\": 1, \"stored\": 6, \"meaning\": \"250 kbit/s\""),
              std::string::npos)
        << firmware.out;

    // The base firmware holds both windows too, with the demonstration's bytes: no build wrote them.
    const test::ToolRun unmerged = RunTool({"dump", "--firmware", base.string()});
    EXPECT_EQ(unmerged.exitCode, 0) << unmerged.err;
    EXPECT_NE(unmerged.out, RunTool({"dump", "--firmware", (project / "New_Pelmora.sx").string()}).out);
}

// The project check and the dump of what the project builds into see the same faults: a value
// the check finds outside its field is one the dump marks, and a clean project dumps unmarked,
// in the J1939 layout (the example project) and in the CAN 2.0A layout (a project without
// pargen.xml).
TEST(CliDump, MarksWhatTheProjectCheckFinds)
{
    struct Case {
        const char* name;
        bool can20A;           // the CAN 2.0A project, else the example project
        const char* document;  // its text replaced
        const char* from;
        const char* to;
        const char* attribute;  // of the check's finding, in that document
        std::function<bool(const ImageDump&)> marked;
    };
    const auto parameterMarked = [](const char* name) {
        return [name](const ImageDump& d) { return d.parameter(name)->marked; };
    };
    const std::vector<Case> cases = {
        {"CanBitRate", false, "pargen.xml", "<BaudRateCAN>5", "<BaudRateCAN>9", "BaudRateCAN", parameterMarked("BaudRateCAN")},
        {"SerialBitRate", false, "pargen.xml", "<Baud_Ser>3", "<Baud_Ser>12", "Baud_Ser", parameterMarked("Baud_Ser")},
        {"Parity", false, "pargen.xml", "<Par_Ser>0", "<Par_Ser>3", "Par_Ser", parameterMarked("Par_Ser")},
        {"Switch", false, "pargen.xml", "<Peer_to_Peer>0", "<Peer_to_Peer>2", "Peer_to_Peer", parameterMarked("Peer_to_Peer")},
        {"Priority", false, "TCobDef.xml", "Priority=\"6\"", "Priority=\"8\"", "Priority",
         [](const ImageDump& d) { return d.transmitFrames.rows[0].marked; }},
        {"ByteChoice", false, "RInfoCob.xml", "PosComp=\"84\"", "PosComp=\"154\"", "PosComp",
         [](const ImageDump& d) { return !ByteChoiceName(d.receiveMap.rows[0].high()); }},
        {"FrameNumber", false, "TInfoCob.xml", "NrPdo=\"1\" PosComp=\"52\"", "NrPdo=\"2\" PosComp=\"52\"", "NrPdo",
         [](const ImageDump& d) { return !d.transmitMap.rows[1].frameExists; }},
        {"WriteFlag", false, "TInfoCob.xml", "PosComp=\"52\" Write_J1939=\"0\"", "PosComp=\"52\" Write_J1939=\"2\"",
         "Write_J1939", [](const ImageDump& d) { return d.transmitMap.rows[1].writeJ1939 == 2; }},
        {"ReceiveFrameTwice", false, "RCobDef.xml", "PGN=\"0xFEEE\"", "PGN=\"61444\"", "PGN",
         [](const ImageDump& d) { return d.receiveFrames.rows[1].sameAs == 0u; }},
        {"Can20AIdentifierTwice", true, "RCobDef.xml", "PGN=\"2047\"", "PGN=\"0x123\"", "PGN",
         [](const ImageDump& d) { return d.standardReceiveFrames.rows[0].marked; }},
        {"Can20ATransmitIdentifier", true, "TCobDef.xml", "PGN=\"$10\"", "PGN=\"2048\"", "PGN",
         [](const ImageDump& d) { return d.standardTransmitFrames.rows[1].marked; }},
        {"Can20AByteChoice", true, "RInfoCob.xml", "PosComp=\"136\"", "PosComp=\"154\"", "PosComp",
         [](const ImageDump& d) { return !ByteChoiceName(d.receiveMap.rows[0].high()); }},
        {"Can20AFrameNumber", true, "TInfoCob.xml", "NrPdo=\"2\"", "NrPdo=\"0\"", "NrPdo",
         [](const ImageDump& d) { return !d.transmitMap.rows[0].frameExists; }},
    };
    const auto dumpOf = [](const std::filesystem::path& project) {
        auto image = std::make_unique<ConfigurationImage>();
        BuildConfigurationImage(*image, project, FixedClock({2026, 12, 10, 12, 0, 0}));
        std::filesystem::create_directories(project / "bin");
        WriteBankOutputs(*image, project);
        auto read = std::make_unique<ConfigurationImage>();
        ReadBankFile(BankFilePath(project, 1), 1, *read);
        ReadBankFile(BankFilePath(project, 2), 2, *read);
        return DumpConfigurationImage(*read);
    };
    const auto copyOf = [](bool can20A, const std::filesystem::path& project) {
        if (can20A) writeCan20AProject(project);
        else std::filesystem::copy(TRELVANT_EXAMPLE_PROJECT, project, std::filesystem::copy_options::recursive);
    };

    TempFolder folder;
    for (const bool can20A : {false, true}) {
        SCOPED_TRACE(can20A ? "CAN 2.0A" : "J1939");
        const std::filesystem::path clean = folder / (can20A ? "Standard" : "Boiler2");
        copyOf(can20A, clean);
        EXPECT_EQ(CheckProject(clean), std::vector<Finding>{});
        const ImageDump d = dumpOf(clean);
        EXPECT_EQ(d.layout, can20A ? DumpLayout::Can20A : DumpLayout::J1939);
        EXPECT_EQ(DumpText(d).find('!'), std::string::npos) << DumpText(d);
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path project = folder / c.name;
        copyOf(c.can20A, project);
        std::string text = test::ReadText(project / c.document);
        ASSERT_NE(text.find(c.from), std::string::npos);
        WriteText(project / c.document, text.replace(text.find(c.from), std::string(c.from).size(), c.to));

        const std::vector<Finding> findings = CheckProject(project);
        EXPECT_TRUE(std::ranges::any_of(findings, [&](const Finding& f) {
            return f.document == c.document && f.attribute == c.attribute;
        })) << testing::PrintToString(findings.size()) << " findings";
        const ImageDump d = dumpOf(project);
        EXPECT_TRUE(c.marked(d));
        EXPECT_NE(DumpText(d).find('!'), std::string::npos);
    }
}

TEST(CliDump, TellsWhyAFileCannotBeDumped)
{
    struct Case {
        const char* name;
        std::optional<std::string_view> file;  // written into the folder as "f"; none: no file
        bool firmware;
        const char* message;   // after "<folder>/f"
    };
    const std::vector<Case> cases = {
        {"MissingBankFile", std::nullopt, false, "Unable to read %f: No such file or directory"},
        {"ShortBankFile", "0123456789", false, "Unable to read %f: 10 bytes, not the 16384 of a bank file"},
        {"MissingFirmware", std::nullopt, true, "Unable to read %f: No such file or directory"},
        {"FirmwareWithoutWindows", "S00600004844521B\r\nS9030000FC\r\n", true,
         "%f: no S2 record holds bank 1's window 0x388000 to 0x38BFFF"},
        {"FirmwareWithABadChecksum", "S00600004844521B\r\nS9030000FD\r\n", true,
         "%f, line 2: checksum FD, the record's bytes give FC"},
        // What the reader would tell as a digit it did not expect, or as an odd count of digits.
        {"FirmwareLineEndingWithABlank", "S00600004844521B\r\nS9030000FC \r\n", true, "%f, line 2: the line ends with a blank"},
        {"FirmwareLineEndingWithBlanks", "S00600004844521B  \n", true, "%f, line 1: the line ends with a blank"},
        {"FirmwareLineEndingWithATab", "S00600004844521B\t\n", true, "%f, line 1: the line ends with a tab"},
        {"FirmwareLineWithABlank", "S00600004844521B\nS903 0000FC\n", true, "%f, line 2: a blank at column 5"},
        {"FirmwareLineWithANul", std::string_view("S00600004844521B\nS9030000FC\0\n", 29), true,
         "%f, line 2: a NUL byte at column 11"},
        {"FirmwarePaddedWithNuls", std::string_view("S00600004844521B\n\0\0\0", 20), true, "%f, line 2: a NUL byte at column 1"},
        {"FirmwareWithCrOnlyLineEnds", "S00600004844521B\rS9030000FC\r", true,
         "%f, line 1: line ends are CR only; S-record lines end in LF or CR LF"},
        {"FirmwareWithOneCrOnlyLineEnd", "S00600004844521B\r\nS00600004844521B\rS9030000FC\r\n", true,
         "%f, line 2: the line ends in CR alone at column 17; S-record lines end in LF or CR LF"},
        {"FirmwareWithACarriageReturnInALine", "S0060000\r4844521B\n", true, "%f, line 1: a carriage return at column 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::filesystem::path file = folder / "f";
        if (c.file) WriteText(file, *c.file);
        std::vector<std::string> arguments = {"dump", "--firmware", file.string()};
        if (!c.firmware) {
            WriteText(folder / "bank1.bin", std::string(16384, '\0'));
            arguments = {"dump", (folder / "bank1.bin").string(), file.string()};
        }
        const test::ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        std::string message = c.message;
        message.replace(message.find("%f"), 2, file.string());
        EXPECT_EQ(run.err, message + "\n");
    }
}

}  // namespace
}  // namespace trelvant
