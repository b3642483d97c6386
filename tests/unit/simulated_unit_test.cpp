// The simulated unit itself: the tests above rely on it refusing what a real unit would refuse.
#include "loader_errors.h"
#include "simulated_unit.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::uint8_t> request(std::initializer_list<std::uint8_t> leading)
{
    std::vector<std::uint8_t> bytes(leading);
    bytes.resize(60, 0);
    return bytes;
}

// One exchange; returns the reply, empty when either side failed.
std::vector<std::uint8_t> transact(sim::SimulatedUnit& unit, const std::vector<std::uint8_t>& bytes, double nowMs = 0)
{
    std::vector<std::uint8_t> reply(60);
    if (!unit.write(bytes.data(), bytes.size(), nowMs) || !unit.read(reply.data(), reply.size(), nowMs))
        return {};
    return reply;
}

std::uint32_t errorCode(const std::vector<std::uint8_t>& reply)
{
    if (reply.size() < 8 || reply[1] != 0xFF)
        return 0;
    return reply[4] | (reply[5] << 8) | (reply[6] << 16) | (static_cast<std::uint32_t>(reply[7]) << 24);
}

const auto lock = request({0x01, 0x0B, 0x01, 0x01});
const auto lift = request({0x01, 0x20, 0x01, 0x00});
const auto erase = request({0x01, 0x1E, 0x04, 0x00, 0xE1, 0x96, 0x5A, 0x3C});
const auto address = request({0x01, 0x1F, 0x09, 0x01, 0, 0, 0, 0, 0xE1, 0x96, 0x5A, 0x3C});
const auto block = request({0x01, 0x1B, 0x30, 0x00, 1, 2, 3, 4});

}

TEST(SimulatedUnit, RefusesABlockUntilLockedUnprotectedErasedAndAddressed)
{
    struct Case {
        const char* name;
        std::vector<std::vector<std::uint8_t>> before;
        std::uint32_t refusal;
    };
    const Case cases[] = {
        {"nothing before", {}, sim::errorNotLocked},
        {"locked only", {lock}, sim::errorWriteProtected},
        {"not erased", {lock, lift}, sim::errorNotErased},
        {"no address", {lock, lift, erase}, sim::errorNoAddress},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimulatedUnit unit;
        for (const auto& step : c.before)
            EXPECT_EQ(0u, errorCode(transact(unit, step)));
        EXPECT_EQ(c.refusal, errorCode(transact(unit, block)));
        EXPECT_EQ(0u, unit.blocksWritten());
    }
}

TEST(SimulatedUnit, StoresOnlyTheAnnouncedWordsOfABlock)
{
    sim::SimulatedUnit unit;
    for (const auto& step : {lock, lift, erase, address})
        ASSERT_EQ(0u, errorCode(transact(unit, step)));
    auto shortBlock = request({0x01, 0x1B, 0x04, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});

    EXPECT_EQ(0u, errorCode(transact(unit, shortBlock)));
    EXPECT_EQ((std::vector<std::uint8_t>{0x11, 0x22, 0x33, 0x44, 0xFF, 0xFF}),
              std::vector<std::uint8_t>(unit.flash().begin(), unit.flash().begin() + 6));
    EXPECT_EQ(4u, unit.writePosition());
}

TEST(SimulatedUnit, EraseAndAddressNeedTheConfirmationKey)
{
    sim::SimulatedUnit unit;
    transact(unit, lock);
    transact(unit, lift);
    EXPECT_EQ(sim::errorBadKey, errorCode(transact(unit, request({0x01, 0x1E, 0x04, 0x00, 0xE1, 0x96, 0x5A, 0x3D}))));
    EXPECT_FALSE(unit.erased());
    EXPECT_EQ(0x5A, unit.flash()[0]);
}

TEST(SimulatedUnit, TranscriptRecordsTimesBytesAndFailedSides)
{
    sim::SimulatedUnit unit(sim::UnitIdentity{}, 100.0);
    unit.addFault({sim::FaultTrigger::Exchange, 2, {sim::FaultKind::WriteFails, 0, std::nullopt}});
    auto status = request({0x01, 0x08, 0x00});
    std::vector<std::uint8_t> reply(60);

    ASSERT_TRUE(unit.write(status.data(), 4, 100.5));
    ASSERT_TRUE(unit.read(reply.data(), 4, 101.25));
    EXPECT_FALSE(unit.write(status.data(), 4, 102.0));

    EXPECT_EQ("1 0.500 1.250 01080000 ",
              unit.transcriptText().substr(0, std::string("1 0.500 1.250 01080000 ").size()));
    EXPECT_NE(std::string::npos, unit.transcriptText().find("\n2 2.000 - - -\n"));
}

TEST(SimulatedUnit, UnpluggedAtABlockFailsThatBlockAndEverythingAfter)
{
    sim::SimulatedUnit unit;
    unit.addFault({sim::FaultTrigger::Block, 2, {sim::FaultKind::Unplug, 0, std::nullopt}});
    for (const auto& step : {lock, lift, erase, address, block})
        ASSERT_EQ(0u, errorCode(transact(unit, step)));

    EXPECT_TRUE(transact(unit, block).empty());
    EXPECT_FALSE(unit.plugged());
    EXPECT_TRUE(transact(unit, request({0x01, 0x08, 0x00})).empty());
    EXPECT_EQ(1u, unit.blocksWritten());
}
