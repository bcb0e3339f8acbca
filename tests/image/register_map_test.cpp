// The register map against the image the builder makes of the same project: projects made from
// a fixed list of seeds are built, their bank files written and read back, and every row of the
// map must say what the device reads there.
#include "image/bank_files.h"
#include "image/bank_reader.h"
#include "image/image_builder.h"
#include "image/image_dump.h"
#include "image/register_map.h"
#include "platform/error.h"
#include "tests/image/random_project.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace trelvant {
namespace {

std::uint32_t stored(const ImageDump& dump, std::string_view name)
{
    const DumpParameter* parameter = dump.parameter(name);
    return parameter ? parameter->stored : 0;
}

// The frames of one list against the image's frame table.
void expectFrames(const RegisterMap& map, const ImageDump& dump, Direction direction)
{
    const bool receive = direction == Direction::Receive;
    const std::vector<MapFrame>& frames = receive ? map.receiveFrames : map.transmitFrames;
    const bool j1939 = dump.layout == DumpLayout::J1939;
    const std::size_t count = j1939 ? (receive ? dump.receiveFrames.count : dump.transmitFrames.count)
                                    : (receive ? dump.standardReceiveFrames.rows.size()
                                               : dump.standardTransmitFrames.rows.size());
    // The CAN 2.0A layout stores no counts: the dump runs its tables to their last row that holds
    // a byte or that a map row names, and a frame of all zero bytes past them reads as zero.
    if (j1939) ASSERT_EQ(frames.size(), count);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE((receive ? "receive frame " : "transmit frame ") + std::to_string(i + 1));
        const MapFrame& frame = frames[i];
        EXPECT_EQ(frame.number, i + 1);
        EXPECT_EQ(frame.j1939, j1939);
        if (!j1939) {
            const DumpStandardFrame image =
                i < count ? (receive ? dump.standardReceiveFrames : dump.standardTransmitFrames).rows[i] : DumpStandardFrame{};
            EXPECT_EQ(frame.pgn, image.identifier);
            EXPECT_EQ(frame.device, image.device);
        } else if (receive) {
            EXPECT_EQ(frame.pgn, dump.receiveFrames.rows[i].pgn);
            EXPECT_EQ(frame.device, dump.receiveFrames.rows[i].device);
        } else {
            const DumpTransmitFrame& image = dump.transmitFrames.rows[i];
            EXPECT_EQ(frame.identifier, image.identifier);
            EXPECT_EQ(frame.priority, image.priority);
            EXPECT_EQ(frame.dataPage, image.dataPage);
            EXPECT_EQ(frame.pgn, (image.identifier >> 8) & 0x3FFFF);
            EXPECT_EQ(frame.device, image.device);
            EXPECT_EQ(frame.pgn, image.pgn) << "the dump and the map show one PGN";
            EXPECT_EQ(frame.pdu1(), (image.pgn >> 8 & 0xFF) < 240);
            if (frame.pdu1()) EXPECT_EQ(frame.destination(), image.pgn & 0xFF);
        }
    }
}

// The registers of one byte map against the image's map table, and the frame bytes they use.
void expectRegisters(const RegisterMap& map, const ImageDump& dump, Direction direction)
{
    const bool receive = direction == Direction::Receive;
    const RegisterRole role = receive ? RegisterRole::Received : RegisterRole::Sent;
    const DumpTable<DumpMapRow>& table = receive ? dump.receiveMap : dump.transmitMap;
    const std::vector<MapFrame>& frames = receive ? map.receiveFrames : map.transmitFrames;
    const bool writing = dump.layout == DumpLayout::J1939 && (stored(dump, "Write_J1939") & 0xFF) != 0;

    std::vector<const MapRegister*> registers;
    for (const MapRegister& reg : map.registers)
        if (reg.role == role) registers.push_back(&reg);
    ASSERT_EQ(registers.size(), table.rows.size());
    // The frame bytes as the image ties them: per frame and byte, the register halves in register order.
    std::vector<std::array<std::vector<std::tuple<std::uint16_t, std::size_t, bool>>, 8>> uses(frames.size());
    for (const MapRegister* reg : registers) {
        ASSERT_GE(reg->documentRow, 1u);
        ASSERT_LE(reg->documentRow, table.rows.size());
        SCOPED_TRACE("map row " + std::to_string(reg->documentRow));
        const DumpMapRow& image = table.rows[reg->documentRow - 1];
        EXPECT_EQ(reg->reg, image.index);
        EXPECT_EQ(reg->frameNumber, image.nrPdo);
        EXPECT_EQ(reg->posComp, image.posComp);
        EXPECT_EQ(reg->high(), image.high());
        EXPECT_EQ(reg->low(), image.low());
        EXPECT_EQ(reg->frame.has_value(), image.nrPdo >= 1 && image.nrPdo <= frames.size());
        if (reg->frame) EXPECT_EQ(map.frameOf(*reg)->number, image.nrPdo);
        if (!receive) {
            EXPECT_EQ(reg->writeFlag, image.writeJ1939.value_or(0));
            EXPECT_EQ(reg->writeInEffect, image.writeJ1939.value_or(0) != 0 && writing);
        }
        if (image.nrPdo < 1 || image.nrPdo > frames.size()) continue;
        for (const auto& [choice, high] : {std::pair{image.high(), true}, std::pair{image.low(), false}})
            if (choice >= 1 && choice <= 8)
                uses[image.nrPdo - 1][static_cast<std::size_t>(choice - 1)].emplace_back(image.index, reg->documentRow, high);
    }
    for (std::size_t f = 0; f < frames.size(); ++f)
        for (std::size_t b = 0; b < 8; ++b) {
            SCOPED_TRACE("frame " + std::to_string(f + 1) + ", B" + std::to_string(b + 1));
            std::vector<std::tuple<std::uint16_t, std::size_t, bool>> expected = uses[f][b];
            std::stable_sort(expected.begin(), expected.end(), [](const auto& x, const auto& y) {
                return std::tie(std::get<0>(x), std::get<1>(x)) < std::tie(std::get<0>(y), std::get<1>(y));
            });
            std::vector<ByteUse> shown;
            for (const auto& [reg, row, high] : expected) shown.push_back({reg, high});
            EXPECT_EQ(frames[f].bytes[b], shown);
        }
}

TEST(RegisterMapAgainstImage, EveryRowIsWhatTheImageHolds)
{
    int built = 0;
    for (std::uint32_t seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        test::TempFolder folder;
        test::MakeRandomProject(folder.path(), seed);
        const RegisterMap map = ReadRegisterMap(folder.path());
        // Every format is made for every project, built or not.
        for (const RegisterMapFormat format :
             {RegisterMapFormat::Text, RegisterMapFormat::Csv, RegisterMapFormat::Html, RegisterMapFormat::Markdown})
            EXPECT_FALSE(FormatRegisterMap(map, format).empty());

        auto image = std::make_unique<ConfigurationImage>();
        try {
            BuildConfigurationImage(*image, folder.path(), FixedClock({2026, 12, 10, 12, 0, 0}));
        } catch (const Error&) {
            EXPECT_GT(map.count(Severity::Error), 0u) << "a project that does not build has errors";
            continue;
        }
        ++built;
        std::filesystem::create_directory(folder / "bin");
        WriteBankFiles(*image, folder.path());
        auto readBack = std::make_unique<ConfigurationImage>();
        ReadBankFile(BankFilePath(folder.path(), 1), 1, *readBack);
        ReadBankFile(BankFilePath(folder.path(), 2), 2, *readBack);
        const ImageDump dump = DumpConfigurationImage(*readBack);

        ASSERT_EQ(map.layout == RegisterMapLayout::J1939, dump.layout == DumpLayout::J1939);
        expectFrames(map, dump, Direction::Receive);
        expectFrames(map, dump, Direction::Transmit);
        expectRegisters(map, dump, Direction::Receive);
        expectRegisters(map, dump, Direction::Transmit);

        // pargen.xml's registers: the data time-out register always, the remote request
        // registers while remote requests are enabled.
        std::vector<std::pair<std::string, std::uint16_t>> parameters;
        for (const MapRegister& reg : map.registers)
            if (reg.role == RegisterRole::Parameter) parameters.emplace_back(reg.parameter, *reg.reg);
        std::vector<std::pair<std::string, std::uint16_t>> expected;
        if (dump.layout == DumpLayout::J1939) {
            expected.emplace_back("TO_ModReg", stored(dump, "TO_ModReg"));
            if (stored(dump, "En_Rem_Req") != 0)
                for (const char* name : {"Pri_Des", "PGN1", "PGN2", "SA"}) expected.emplace_back(name, stored(dump, name));
            EXPECT_EQ(map.slaveId, stored(dump, "IDDev_Ser"));
        }
        std::sort(parameters.begin(), parameters.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(parameters, expected);

        // Ordered by register.
        EXPECT_TRUE(std::is_sorted(map.registers.begin(), map.registers.end(),
                                   [](const MapRegister& a, const MapRegister& b) { return a.reg < b.reg; }));
    }
    // Most seeds build.
    EXPECT_GT(built, 120);
}

// Mnemonics are the user's own text: markup, control characters, bytes of an 8-bit code page and
// characters beyond ASCII are shown as text in every format and never break its layout.
TEST(RegisterMapFormats, MnemonicsStayText)
{
    test::TempFolder folder;
    test::WriteText(folder / "RCobDef.xml",
                    "<COBID><row PGN=\"61444\" ID_DEV=\"0\" Mnemonic=\"&lt;script&gt;alert(1)&lt;/script&gt; | *x*\"/>"
                    "<row PGN=\"65262\" ID_DEV=\"0\" Mnemonic=\"\xC3\x96ltemperatur\x1B[31m&#10;next\"/>"
                    "<row PGN=\"65263\" ID_DEV=\"0\" Mnemonic=\"K\xFChler\"/>"
                    "<row PGN=\"65264\" ID_DEV=\"0\" Mnemonic=\"Oil\xE2\x80\xAE\xC2\x9B" "2J\"/></COBID>");
    test::WriteText(folder / "RInfoCob.xml", "<RInfoCob><row Index=\"1\" NrPdo=\"1\" PosComp=\"1\"/>"
                                             "<row Index=\"2\" NrPdo=\"2\" PosComp=\"2\"/>"
                                             "<row Index=\"3\" NrPdo=\"3\" PosComp=\"3\"/>"
                                             "<row Index=\"4\" NrPdo=\"4\" PosComp=\"4\"/></RInfoCob>");
    const RegisterMap map = ReadRegisterMap(folder.path());
    ASSERT_EQ(map.receiveFrames.size(), 4u);

    // The text lines up its rows by characters, and no control character reaches the terminal.
    const std::string text = RegisterMapText(map);
    EXPECT_EQ(text.find('\x1B'), std::string::npos);
    EXPECT_EQ(text.find("\xE2\x80\xAE"), std::string::npos) << "a right-to-left override";
    EXPECT_EQ(text.find("\xC2\x9B"), std::string::npos) << "CSI as a C1 control";
    EXPECT_NE(text.find("Oil??2J"), std::string::npos) << text;
    std::istringstream lines(text);
    std::vector<std::size_t> directionColumns;
    for (std::string line; std::getline(lines, line);)
        if (const std::size_t at = line.find("CAN to Modbus"); at != std::string::npos && line.find("none") != std::string::npos) {
            const std::string before = line.substr(0, at);
            directionColumns.push_back(static_cast<std::size_t>(std::count_if(
                before.begin(), before.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; })));
        }
    ASSERT_EQ(directionColumns.size(), 4u) << text;
    for (const std::size_t column : directionColumns) EXPECT_EQ(column, directionColumns[0]);

    // The page is well-formed, has no script, and shows the mnemonics as written.
    const std::string page = RegisterMapHtml(map);
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(page.c_str())) << page;
    EXPECT_TRUE(document.select_nodes("//script").empty());
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt; | *x*"), std::string::npos);
    EXPECT_NE(page.find("K\xEF\xBF\xBDhler"), std::string::npos) << "a byte that is no UTF-8 is U+FFFD";
    EXPECT_NE(page.find("\xC3\x96ltemperatur"), std::string::npos);

    // Markdown shows the markup and the table's bar as text; a line break does not end the row.
    const std::string markdown = RegisterMapMarkdown(map);
    EXPECT_NE(markdown.find("&lt;script&gt;alert(1)&lt;/script&gt; \\| \\*x\\*"), std::string::npos) << markdown;
    const std::size_t row = markdown.find("\n| 2 | CAN to Modbus | 2 ");
    ASSERT_NE(row, std::string::npos) << markdown;
    const std::string rowLine = markdown.substr(row + 1, markdown.find('\n', row + 1) - row - 1);
    EXPECT_NE(rowLine.find("next"), std::string::npos) << rowLine;
    EXPECT_EQ(rowLine.back(), '|');

    // CSV keeps the text and quotes the line break.
    EXPECT_NE(RegisterMapCsv(map).find("\"\xC3\x96ltemperatur\x1B[31m\nnext\""), std::string::npos);
}

}  // namespace
}  // namespace trelvant
