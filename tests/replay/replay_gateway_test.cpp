// The gateway run from its image: what a Modbus write sends, what may be written, and which
// received frames match under either PGN match.
#include "image/image_builder.h"
#include "image/image_dump.h"
#include "platform/error.h"
#include "replay/replay_gateway.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace trelvant {
namespace {

ImageDump built(const std::filesystem::path& project)
{
    auto image = std::make_unique<ConfigurationImage>();
    BuildConfigurationImage(*image, project, FixedClock({2026, 12, 10, 12, 0, 0}));
    return DumpConfigurationImage(*image);
}

CanFrame extended(std::uint32_t id, std::vector<std::uint8_t> bytes)
{
    CanFrame frame;
    frame.id = id;
    frame.extended = true;
    frame.length = static_cast<std::uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), frame.data.begin());
    return frame;
}

// Transmit frame 1 (identifier 0x0CEF0527) carries register 20 (flag set) in B2 B1 and register
// 21 (flag clear) in B4 B3; frame 2 (0x19FF0027) register 22 (flag set) in B8; writing is enabled.
const std::filesystem::path kPdu1 = std::filesystem::path(TRELVANT_REPORT_DATA) / "Pdu1";

TEST(ReplayGateway, AWriteSendsTheFramesOfItsFlaggedRegistersOnce)
{
    ReplayGateway gateway(built(kPdu1));
    EXPECT_EQ(gateway.unitId(), 7);
    const std::array<std::uint16_t, 2> both = {0x1234, 0xABCD};
    const std::vector<CanFrame> sent = gateway.write(20, both, 42);
    ASSERT_EQ(sent.size(), 1u);
    CanFrame expected = extended(0x0CEF0527, {0x34, 0x12, 0xCD, 0xAB, 0xFF, 0xFF, 0xFF, 0xFF});
    expected.time = 42;
    EXPECT_EQ(sent[0], expected) << "once, with both registers";
    // A register without its flag sends nothing; the frame made later carries its new value.
    const std::array<std::uint16_t, 1> alone = {0x5566};
    EXPECT_TRUE(gateway.write(21, alone, 43).empty());
    EXPECT_EQ(gateway.transmitFrame(0).data, (std::array<std::uint8_t, 8>{0x34, 0x12, 0x66, 0x55, 0xFF, 0xFF, 0xFF, 0xFF}));
    const std::vector<CanFrame> page1 = gateway.write(22, std::array<std::uint16_t, 1>{0x0102}, 44);
    ASSERT_EQ(page1.size(), 1u);
    EXPECT_EQ(page1[0].id, 0x19FF0027u);
    EXPECT_EQ(page1[0].data[7], 0x02);
    EXPECT_EQ(gateway.counts().framesSent, 2u);
}

TEST(ReplayGateway, OnlySentRegistersAreWritable)
{
    ReplayGateway gateway(built(kPdu1));
    struct Case {
        std::uint16_t first;
        std::size_t count;
        bool writable;
    };
    for (const Case c : {Case{20, 3, true}, Case{20, 1, true}, Case{19, 2, false}, Case{22, 2, false},
                         Case{1, 1, false} /* received */, Case{9, 1, false} /* TO_ModReg */,
                         Case{500, 1, false} /* remote request */, Case{65535, 2, false}, Case{20, 0, false}})
        EXPECT_EQ(gateway.writable(c.first, c.count), c.writable) << c.first << " + " << c.count;
    EXPECT_EQ(gateway.use(9), RegisterUse::Parameter);
    EXPECT_EQ(gateway.use(503), RegisterUse::Parameter);
    EXPECT_EQ(gateway.use(3), RegisterUse::None);
}

// Receive frame 1 is PGN 0xEF21 (destination 0x21) from 128.
TEST(ReplayGateway, ADestinationSpecificPgnMatchesByTheChosenRule)
{
    const ImageDump image = built(kPdu1);
    const CanFrame toOther = extended(0x0CEF0580, {0x78, 0x56});
    ReplayGateway literal(image, {PgnMatch::Literal});
    EXPECT_FALSE(literal.receive(toOther).frame.has_value());
    EXPECT_EQ(literal.counts().otherDestinations.at(0), 1u);
    ReplayGateway j1939(image, {PgnMatch::J1939});
    const ReceiveResult taken = j1939.receive(toOther);
    EXPECT_EQ(taken.frame, 0u);
    EXPECT_EQ(taken.changes, (std::vector<RegisterChange>{{1, 0x5678}}));
    // A half whose byte the frame does not carry keeps its value.
    EXPECT_TRUE(j1939.receive(extended(0x0CEF2180, {0x11})).changes == (std::vector<RegisterChange>{{1, 0x5611}}));
    EXPECT_EQ(j1939.counts().shortFrames, 1u);
}

// Announcements of a multi-packet message carry the PGN without the destination, which is the
// announcement's own: receive frame 1 (PGN 0xEF21 from 128) is announced only to 0x21.
TEST(ReplayGateway, TransportAnnouncementsOfADestinationSpecificPgnAreTold)
{
    const ImageDump image = built(kPdu1);
    struct Case {
        const char* what;
        std::uint32_t id;
        std::uint8_t control;
        PgnMatch match;
        bool told;
    };
    const std::vector<Case> cases = {
        {"request to send to its destination", 0x1CEC2180, 16, PgnMatch::Literal, true},
        {"broadcast to its destination", 0x1CEC2180, 32, PgnMatch::Literal, true},
        {"request to send to another destination", 0x1CEC0580, 16, PgnMatch::Literal, false},
        {"any destination under the J1939 rule", 0x1CEC0580, 16, PgnMatch::J1939, true},
        {"clear to send is no announcement", 0x1CEC2180, 17, PgnMatch::Literal, false},
    };
    for (const Case& c : cases) {
        ReplayGateway gateway(image, {c.match});
        gateway.receive(extended(c.id, {c.control, 20, 0, 3, 0xFF, 0x00, 0xEF, 0x00}));
        EXPECT_EQ(gateway.counts().transportAnnouncements.size(), c.told ? 1u : 0u) << c.what;
        if (c.told && c.match == PgnMatch::Literal) {
            EXPECT_EQ(gateway.counts().transportAnnouncements.begin()->first.first, 0xEF21u) << c.what;
        }
    }
}

// The example's transmit frame 1 (0x18FF1021) carries registers 200 (B1 B2) and 201 (B3 B4), both
// flags clear, and pargen.xml switches writing off.
TEST(ReplayGateway, WhatAWriteSendsFollowsTheChosenRule)
{
    ReplayGateway flagged(built(TRELVANT_EXAMPLE_PROJECT));
    EXPECT_TRUE(flagged.writable(200, 2));
    EXPECT_TRUE(flagged.write(200, std::array<std::uint16_t, 2>{1, 2}, 0).empty());
    ASSERT_FALSE(flagged.notes().empty());
    EXPECT_NE(flagged.notes().back().find("can never be sent"), std::string::npos);

    ReplayGateway any(built(TRELVANT_EXAMPLE_PROJECT), {PgnMatch::Literal, SendOn::AnyWrite, 0x00});
    const std::vector<CanFrame> sent = any.write(201, std::array<std::uint16_t, 1>{0x0A0B}, 0);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], extended(0x18FF1021, {0x00, 0x00, 0x0A, 0x0B, 0x00, 0x00, 0x00, 0x00}));
    for (const std::string& note : any.notes()) EXPECT_EQ(note.find("can never be sent"), std::string::npos) << note;
}

}  // namespace
}  // namespace trelvant
