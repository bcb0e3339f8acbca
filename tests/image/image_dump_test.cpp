#include "image/image_builder.h"
#include "image/image_dump.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trelvant {
namespace {

// An image of chosen values at the offsets the device reads: two receive frames, two transmit
// frames, two rows in each byte map, every parameter set.
std::unique_ptr<ConfigurationImage> smallImage()
{
    auto image = std::make_unique<ConfigurationImage>();
    ConfigurationImage& i = *image;
    const std::vector<std::pair<std::size_t, std::uint32_t>> bytes = {
        {16000, 6}, {16001, 1}, {16002, 7}, {16003, 2}, {16004, 17}, {16007, 5}, {16010, 1}, {16030, 1}, {16031, 0},
        {16099, 0}};
    for (const auto& [offset, value] : bytes) i.put8(1, offset, value);
    const std::vector<std::pair<std::size_t, std::uint32_t>> words = {
        {1605, 0x1234}, {16008, 300}, {16032, 6}, {16034, 65226}, {16036, 0xFEF1}, {16038, 33},
        {16012, 2},     {16014, 2},   {16016, 2}, {16018, 2},     {16020, 65033},  {16022, 61303}};
    for (const auto& [offset, value] : words) i.put16(1, offset, value);
    // Receive frames: PGN 0xFECA from device 0x21, marked deleted; PGN 61444 from device 0.
    i.put32(1, 0, 0xFECA);
    i.put8(1, 4, 0x21);
    i.put8(1, 5, 0);
    i.put32(1, 6, 61444);
    i.put8(1, 10, 0);
    i.put8(1, 11, 1);
    i.put8(1, 16100, 0x01);
    // Transmit identifiers: priority 6, PGN 0xFEF1, device 0; priority 3, data page 1, PGN 0xFF10, device 33.
    i.put32(2, 0, 419361024);
    i.put32(2, 4, 3u * 67108864 + 16777216 + 0xFF10 * 256 + 33);
    // Receive map: register 100 from frame 1, high B5 low B4; register 101 from frame 2, low B1.
    i.put16(1, 4352, 100);
    i.put8(1, 4354, 1);
    i.put8(1, 4355, 84);
    i.put16(1, 4356, 101);
    i.put8(1, 4358, 2);
    i.put8(1, 4359, 1);
    // Transmit map: register 200 of frame 2, B8 with B8, written on request; register 201 of frame 1, B1 with none.
    i.put16(2, 1500, 200);
    i.put8(2, 1502, 2);
    i.put8(2, 1503, 136);
    i.put8(2, 1504, 1);
    i.put16(2, 1505, 201);
    i.put8(2, 1507, 1);
    i.put8(2, 1508, 16);
    i.put8(2, 1509, 0);
    return image;
}

TEST(ImageDump, DecodesEveryFieldAtItsOffset)
{
    const ImageDump d = DumpConfigurationImage(*smallImage());

    const std::vector<DumpParameter> parameters = {
        {"BaudRateCAN", 16000, 1, 6, "250 kbit/s", false},
        {"CANType", 16001, 1, 1, "29-bit identifiers", false},
        {"Baud_Ser", 16002, 1, 7, "115200 bit/s", false},
        {"Par_Ser", 16003, 1, 2, "EVEN", false},
        {"IDDev_Ser", 16004, 1, 17, "", false},
        {"TimeOut_Ser", 1605, 2, 0x1234, "4660 ms", false},
        {"TimeOut_Data", 16007, 1, 5, "5 s", false},
        {"TO_ModReg", 16008, 2, 300, "", false},
        {"Peer_to_Peer", 16010, 1, 1, "on", false},
        {"Serial", 16099, 1, 0, "RS232", false},
        {"Write_J1939", 16030, 1, 1, "on", false},
        {"En_Rem_Req", 16031, 1, 0, "off", false},
        {"Pri_Des", 16032, 2, 6, "", false},
        {"PGN1", 16034, 2, 65226, "", false},
        {"PGN2", 16036, 2, 0xFEF1, "", false},
        {"SA", 16038, 2, 33, "", false},
    };
    EXPECT_EQ(d.parameters, parameters);
    EXPECT_EQ(d.date, (DumpDate{65033, 31, 12, 9, false}));
    EXPECT_EQ(d.time, (DumpTime{61303, 23, 59, 58, false}));

    EXPECT_EQ(d.layout, DumpLayout::J1939);
    EXPECT_EQ(d.receiveFrames, (DumpTable<DumpReceiveFrame>{2, 250, {{0xFECA, 0x21, 0, true, {}}, {61444, 0, 1, false, {}}}}));
    EXPECT_EQ(d.transmitFrames, (DumpTable<DumpTransmitFrame>{
                                    2, 250, {{419361024, 6, 0, 0xFEF1, 0, false}, {0x0DFF1021, 3, 1, 0x1FF10, 33, false}}}));
    EXPECT_EQ(d.receiveMap, (DumpTable<DumpMapRow>{2, 2912, {{100, 1, true, 84, {}}, {101, 2, true, 1, {}}}}));
    EXPECT_EQ(d.transmitMap, (DumpTable<DumpMapRow>{2, 2976, {{200, 2, true, 136, 1}, {201, 1, true, 16, 0}}}));
}

// Values that no build from valid documents writes are shown as they are, and marked.
TEST(ImageDump, MarksWhatLiesOutsideAField)
{
    struct Case {
        const char* name;
        std::size_t offset;  // in bank 1
        std::uint32_t stored;
        const char* meaning;
    };
    const std::vector<Case> cases = {
        {"BaudRateCAN", 16000, 0, "no bit rate chosen"},
        {"BaudRateCAN", 16000, 10, "not in the list of 9"},
        {"CANType", 16001, 2, "neither 1, which every build with pargen.xml writes, nor 0 (CAN 2.0A)"},
        {"Baud_Ser", 16002, 8, "not in the list of 8"},
        {"Baud_Ser", 16002, 255, "not in the list of 8"},  // the -1 of no choice, cut to a byte
        {"Par_Ser", 16003, 3, "not in the list of 3"},
        {"Peer_to_Peer", 16010, 2, "neither 0 nor 1"},
        {"Serial", 16099, 5, "neither 0 nor 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.stored));
        auto image = smallImage();
        image->put8(1, c.offset, c.stored);
        const ImageDump dump = DumpConfigurationImage(*image);
        const DumpParameter* p = dump.parameter(c.name);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->stored, c.stored);
        EXPECT_EQ(p->meaning, c.meaning);
        EXPECT_TRUE(p->marked);
    }

    auto image = smallImage();
    image->put16(1, 16020, 0 * 2048 + 13 * 128 + 26);  // day 0, month 13
    image->put16(1, 16022, 30 * 2048 + 60 * 32 + 24);  // 24:60:60
    image->put32(2, 4, 0x02000000 | 419361024);        // bit 25 set
    image->put8(2, 1502, 3);                          // frame 3 of 2
    image->put8(2, 1503, 0x9A);                       // high 9, low 10
    image->put8(2, 1504, 2);
    image->put16(1, 16014, 300);  // more transmit frames than the table holds
    const ImageDump d = DumpConfigurationImage(*image);
    EXPECT_EQ(d.date, (DumpDate{13 * 128 + 26, 0, 13, 26, true}));
    EXPECT_EQ(d.time, (DumpTime{30 * 2048 + 60 * 32 + 24, 24, 60, 60, true}));
    ASSERT_EQ(d.transmitFrames.rows.size(), 250u);
    EXPECT_TRUE(d.transmitFrames.overflows());
    EXPECT_EQ(d.transmitFrames.rows[1], (DumpTransmitFrame{0x02000000 | 419361024, 6, 0, 0x2FEF1, 0, true}));
    const DumpMapRow& row = d.transmitMap.rows[0];
    EXPECT_EQ(row.nrPdo, 3);
    EXPECT_TRUE(row.frameExists) << "the count of 300 frames holds frame 3";
    EXPECT_EQ(row.high(), 9);
    EXPECT_EQ(row.low(), 10);
    EXPECT_EQ(ByteChoiceName(row.high()), std::nullopt);
    EXPECT_EQ(d.receiveMap.rows[1].nrPdo, 2);

    image->put16(1, 16014, 2);
    EXPECT_FALSE(DumpConfigurationImage(*image).transmitMap.rows[0].frameExists) << "frame 3 of 2";
    image->put8(1, 4354, 0);
    EXPECT_FALSE(DumpConfigurationImage(*image).receiveMap.rows[0].frameExists) << "frame 0";
}

TEST(ImageDump, ByteChoicesAreNoneOrB1ToB8)
{
    EXPECT_EQ(ByteChoiceName(0), "none");
    EXPECT_EQ(ByteChoiceName(1), "B1");
    EXPECT_EQ(ByteChoiceName(8), "B8");
    EXPECT_EQ(ByteChoiceName(9), std::nullopt);
    EXPECT_EQ(ByteChoiceName(15), std::nullopt);
}

// The receive frame table holds the 250 frames of a frame list; the serial time-out follows at
// offset 1605. A count beyond them is marked, and the time-out is never read as a frame.
TEST(ImageDump, AReceiveFrameCountBeyondTheTableIsMarkedAndCutAt250)
{
    auto image = smallImage();
    image->put16(1, 16012, 700);
    image->put32(1, 6 * 249, 0x1FEFF);  // the last frame of the table
    image->put8(1, 16100 + 31, 0x02);   // its delete flag
    const ImageDump d = DumpConfigurationImage(*image);
    EXPECT_EQ(d.receiveFrames.count, 700);
    EXPECT_EQ(d.receiveFrames.room, 250u);
    ASSERT_EQ(d.receiveFrames.rows.size(), 250u);
    EXPECT_TRUE(d.receiveFrames.overflows());
    EXPECT_EQ(d.receiveFrames.rows.back().pgn, 0x1FEFFu);
    EXPECT_TRUE(d.receiveFrames.rows.back().deleted);
    EXPECT_EQ(d.parameter("TimeOut_Ser")->stored, 0x1234u);
    const std::string text = DumpText(d);
    EXPECT_NE(text.find("Receive frames (bank 1 from offset 0, 6 bytes each): 700 rows\n"
                        "the table holds 250 rows: the 450 beyond them are not shown!\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("\n251 "), std::string::npos) << text;
}

// Two receive frames of one PGN and device: the device takes them into one row only.
TEST(ImageDump, MarksAReceiveFrameOfThePgnAndDeviceOfAnEarlierOne)
{
    auto image = smallImage();
    image->put16(1, 16012, 3);
    image->put32(1, 12, 0xFECA);
    image->put8(1, 16, 0x21);
    image->put8(1, 17, 2);
    const ImageDump d = DumpConfigurationImage(*image);
    ASSERT_EQ(d.receiveFrames.rows.size(), 3u);
    EXPECT_EQ(d.receiveFrames.rows[1].sameAs, std::nullopt) << "another PGN";
    EXPECT_EQ(d.receiveFrames.rows[2].sameAs, 0u);
    const std::string text = DumpText(d);
    EXPECT_NE(text.find("3      65226 (0xFECA)!  33      2         N\n"
                        "frame 3 has the PGN and device of frame 1: the device takes them into one row only!\n"),
              std::string::npos)
        << text;
    EXPECT_NE(DumpJson(d).find("\"position\": 2, \"delete\": false, \"sameAs\": 1}"), std::string::npos);
}

// A project without pargen.xml built into a fresh image: CANType 0, the identifier index and
// its bitmap in bank 1, the frames in bank 2, the byte maps where the J1939 layout has them.
struct Can20AProject {
    test::TempFolder folder;
    ConfigurationImage image;

    explicit Can20AProject(const std::string& receiveRows)
    {
        test::WriteText(folder / "RCobDef.xml", "<COBID>" + receiveRows + "</COBID>");
        test::WriteText(folder / "TCobDef.xml", R"(<COBID><row PGN="0x7FF" ID_DEV="3"/><row PGN="0" ID_DEV="0"/></COBID>)");
        test::WriteText(folder / "RInfoCob.xml", R"(<RInfoCob><row Index="100" NrPdo="2" PosComp="84"/>)"
                                                 R"(<row Index="101" NrPdo="1" PosComp="1"/></RInfoCob>)");
        test::WriteText(folder / "TInfoCob.xml", R"(<TInfoCob><row Index="200" NrPdo="2" PosComp="18" Write_J1939="1"/></TInfoCob>)");
        BuildConfigurationImage(image, folder.path(), FixedClock({2026, 12, 10, 12, 0, 0}));
    }
};

TEST(ImageDump, DecodesTheCan20ALayoutAsTheBuilderWritesIt)
{
    const Can20AProject project(R"(<row PGN="0x123" ID_DEV="7" Delete="Y"/><row PGN="2047" ID_DEV="0x21"/>)"
                                R"(<row PGN="5" ID_DEV="1"/>)");
    const ImageDump d = DumpConfigurationImage(project.image);
    EXPECT_EQ(d.layout, DumpLayout::Can20A);
    EXPECT_EQ(d.parameters, (std::vector<DumpParameter>{
                                {"CANType", 16001, 1, 0,
                                 "11-bit identifiers: the CAN 2.0A layout of a build without pargen.xml, which stores "
                                 "no other parameter and no counts",
                                 false}}));
    EXPECT_EQ(d.identifierIndex, (std::vector<DumpIdentifierEntry>{{5, true, 2, true}, {0x123, true, 0, true}, {2047, true, 1, true}}));
    EXPECT_EQ(d.standardReceiveFrames,
              (DumpTable<DumpStandardFrame>{3, 250, {{0x123, 7, 0, false}, {2047, 0x21, 1, false}, {5, 1, 2, false}}}));
    // The second frame, identifier 0 from device 0, is all zero: the map row that names it keeps it.
    EXPECT_EQ(d.standardTransmitFrames, (DumpTable<DumpStandardFrame>{2, 250, {{0x7FF, 3, {}, false}, {0, 0, {}, false}}}));
    EXPECT_EQ(d.receiveMap, (DumpTable<DumpMapRow>{2, 2912, {{100, 2, true, 84, {}}, {101, 1, true, 1, {}}}}));
    EXPECT_EQ(d.transmitMap, (DumpTable<DumpMapRow>{1, 2976, {{200, 2, true, 18, 1}}}));
    EXPECT_TRUE(d.receiveFrames.rows.empty());
    EXPECT_TRUE(d.transmitFrames.rows.empty());

    const std::string text = DumpText(d);
    EXPECT_EQ(text.find('!'), std::string::npos) << text;
    EXPECT_NE(text.find("Identifier index (bank 1 from offset 0, 2 bytes an identifier; bitmap from offset 4096): 3 identifiers\n"
                        "Identifier    Bitmap  Frame\n"
                        "5 (0x005)     set     3\n"
                        "291 (0x123)   set     1\n"
                        "2047 (0x7FF)  set     2\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Frame  Identifier    Device  Index entry\n"
                        "1      291 (0x123)   7       1\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("1    100    2      2047 (0x7FF)      84       B5    B4\n"), std::string::npos) << text;
    const std::string json = DumpJson(d);
    EXPECT_TRUE(json.starts_with("{\n  \"layout\": \"CAN 2.0A\",\n")) << json;
    EXPECT_NE(json.find("{\"frame\": 2, \"identifier\": 2047, \"device\": 33, \"entryFrame\": 2, \"marked\": false}"),
              std::string::npos)
        << json;
}

// What a build from valid documents never leaves in the CAN 2.0A layout is shown and marked.
TEST(ImageDump, MarksWhatTheCan20AIndexDoesNotLeadTo)
{
    const char* const clean = R"(<row PGN="0x123" ID_DEV="7"/><row PGN="2047" ID_DEV="0x21"/><row PGN="5" ID_DEV="1"/>)";
    const auto entry = [](const ImageDump& d, std::uint16_t identifier) {
        for (const DumpIdentifierEntry& e : d.identifierIndex)
            if (e.identifier == identifier) return e;
        ADD_FAILURE() << "no entry of identifier " << identifier;
        return DumpIdentifierEntry{};
    };
    struct Case {
        const char* name;
        const char* receiveRows;
        std::function<void(ConfigurationImage&)> change;
        std::function<bool(const ImageDump&)> marked;
    };
    const std::vector<Case> cases = {
        // A later frame of the same identifier took the entry: the first is never received.
        {"EntryTakenByALaterFrame", R"(<row PGN="0x123" ID_DEV="7"/><row PGN="2047" ID_DEV="0x21"/><row PGN="0x123" ID_DEV="8"/>)",
         [](ConfigurationImage&) {},
         [](const ImageDump& d) { return d.standardReceiveFrames.rows.at(0).entry == 2 && d.standardReceiveFrames.rows[0].marked; }},
        {"EntryOfNoFrame", clean, [](ConfigurationImage& i) { i.put8(1, 4096, i.get8(1, 4096) | 0x80); },
         [&](const ImageDump& d) { return entry(d, 7).entry == 0xFFFF && entry(d, 7).marked(); }},
        {"EntryOutsideTheBitmap", clean, [](ConfigurationImage& i) { i.put16(1, 2 * 9, 1); },
         [&](const ImageDump& d) { return !entry(d, 9).listed && entry(d, 9).marked(); }},
        {"FrameWithoutItsBit", clean, [](ConfigurationImage& i) { i.put8(1, 4096 + 0x123 / 8, 0); },
         [&](const ImageDump& d) { return d.standardReceiveFrames.rows.at(0).entry == std::nullopt && entry(d, 0x123).marked(); }},
        {"TransmitIdentifierAbove2047", clean, [](ConfigurationImage& i) { i.put16(2, 750, 0x800); },
         [](const ImageDump& d) { return d.standardTransmitFrames.rows.at(0).marked; }},
        {"MoreFramesThanTheTableHolds", clean,
         [](ConfigurationImage& i) { i.put16(1, 2 * 300, 400); i.put8(1, 4096 + 300 / 8, i.get8(1, 4096 + 300 / 8) | 1 << (300 % 8)); },
         [](const ImageDump& d) { return d.standardReceiveFrames.count == 401 && d.standardReceiveFrames.rows.size() == 250; }},
        {"ByteChoiceAboveB8", clean, [](ConfigurationImage& i) { i.put8(1, 4355, 0x9A); },
         [](const ImageDump& d) { return d.receiveMap.rows.at(0).high() == 9; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Can20AProject project(c.receiveRows);
        EXPECT_EQ(DumpText(DumpConfigurationImage(project.image)).find('!') == std::string::npos, c.receiveRows == clean);
        c.change(project.image);
        const ImageDump d = DumpConfigurationImage(project.image);
        EXPECT_TRUE(c.marked(d));
        EXPECT_TRUE(DumpText(d).ends_with("\n! marks what no build from valid documents writes\n")) << DumpText(d);
    }
}

// The text and the JSON of the small image, byte for byte.
TEST(ImageDump, TextAndJsonMatchTheirGoldenFiles)
{
    const ImageDump d = DumpConfigurationImage(*smallImage());
    EXPECT_EQ(DumpText(d), test::ReadText(TRELVANT_IMAGE_TEST_DATA "/small_dump.txt"));
    EXPECT_EQ(DumpJson(d), test::ReadText(TRELVANT_IMAGE_TEST_DATA "/small_dump.json"));

    auto odd = smallImage();
    odd->put8(2, 1503, 0x9A);
    odd->put8(1, 16003, 7);
    const std::string text = DumpText(DumpConfigurationImage(*odd));
    EXPECT_NE(text.find("16003   Par_Ser       7       not in the list of 3!\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  9!    10!   1\n"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("\n! marks what no build from valid documents writes\n")) << text;
}

}  // namespace
}  // namespace trelvant
