// The simulated unit itself: every other test relies on it refusing what a real unit would
// refuse and on it answering no more than the protocol promises.
#include "loader_errors.h"
#include "simulated_unit.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes request(std::initializer_list<std::uint8_t> leading)
{
    Bytes bytes(leading);
    bytes.resize(60, 0);
    return bytes;
}

// One exchange; returns the reply, empty when either side failed.
Bytes transact(sim::SimulatedUnit& unit, const Bytes& bytes, double nowMs = 0)
{
    Bytes reply(60);
    if (!unit.write(bytes.data(), bytes.size(), nowMs) || !unit.read(reply.data(), reply.size(), nowMs))
        return {};
    return reply;
}

std::uint32_t errorCode(const Bytes& reply)
{
    if (reply.size() < 8 || reply[1] != 0xFF)
        return 0;
    return reply[4] | (reply[5] << 8) | (reply[6] << 16) | (static_cast<std::uint32_t>(reply[7]) << 24);
}

std::uint32_t errorCode16(const Bytes& reply)
{
    return reply[1] == 0xFF ? static_cast<std::uint32_t>(reply[4] | (reply[5] << 8)) : 0u;
}

const Bytes status = request({0x01, 0x08, 0x00});
const Bytes lock = request({0x01, 0x0B, 0x01, 0x01});
const Bytes lift = request({0x01, 0x20, 0x01, 0x00});
const Bytes erase = request({0x01, 0x1E, 0x04, 0x00, 0xE1, 0x96, 0x5A, 0x3C});
const Bytes address = request({0x01, 0x1F, 0x09, 0x01, 0, 0, 0, 0, 0xE1, 0x96, 0x5A, 0x3C});
const Bytes block = request({0x01, 0x1B, 0x30, 0x00, 1, 2, 3, 4});
const Bytes info = request({0x01, 0x1D, 0x08, 0x00, 0x20, 0, 0, 0, 0xE0, 0xFF, 0xFF, 0xFF});
const Bytes memory = request({0x01, 0x0A, 0x0C, 0x00, 0x00, 0xFC, 0x01, 0x08});

Bytes with(Bytes bytes, std::size_t at, std::uint8_t value)
{
    bytes[at] = value;
    return bytes;
}

// The unit did what was asked, judged as the host judges it: the lock by its status byte alone
// (its byte 1 may be 0xFF), every other step by its error code.
bool carriedOut(sim::SimulatedUnit& unit, const Bytes& step)
{
    Bytes reply = transact(unit, step);
    if (reply.empty())
        return false;
    return step[1] == 0x0B ? reply[3] == step[3] : errorCode(reply) == 0;
}

// A unit that is ready for blocks: locked, unprotected, erased, addressed.
void prepareForBlocks(sim::SimulatedUnit& unit)
{
    for (const Bytes& step : {lock, lift, erase, address})
        ASSERT_TRUE(carriedOut(unit, step));
}

}

TEST(SimulatedUnit, RefusesEveryRequestByteTheProtocolFixesWhenItDiffers)
{
    struct Case {
        const char* name;
        Bytes bad;
        std::uint32_t code;
        const char* note;
    };
    const Case cases[] = {
        {"report ID 0", with(status, 0, 0x00), sim::errorMalformedRequest, "bad-report-id"},
        {"status length byte", with(status, 2, 0x01), sim::errorMalformedRequest, "bad-length"},
        {"memory length byte", with(memory, 2, 0x08), sim::errorMalformedRequest, "bad-length"},
        {"memory address", with(memory, 4, 0x04), sim::errorMalformedRequest, "bad-address"},
        {"lock length byte", with(lock, 2, 0x00), sim::errorMalformedRequest, "bad-length"},
        {"lock parameter 2", with(lock, 3, 0x02), sim::errorMalformedRequest, "bad-parameter"},
        {"protection parameter 2", with(lift, 3, 0x02), sim::errorMalformedRequest, "bad-parameter"},
        {"info length byte", with(info, 2, 0x09), sim::errorMalformedRequest, "bad-length"},
        {"info length word", with(info, 4, 0x21), sim::errorMalformedRequest, "bad-payload"},
        {"info check word", with(info, 11, 0x7F), sim::errorMalformedRequest, "bad-payload"},
        {"erase length byte", with(erase, 2, 0x08), sim::errorMalformedRequest, "bad-length"},
        {"erase key", with(erase, 7, 0x3D), sim::errorBadKey, "bad-key"},
        {"address parameter 0", with(address, 3, 0x00), sim::errorMalformedRequest, "bad-parameter"},
        {"address not 0", with(address, 5, 0x01), sim::errorMalformedRequest, "bad-address"},
        {"address key", with(address, 8, 0xE0), sim::errorBadKey, "bad-key"},
        {"block of 13 bytes", with(block, 2, 13), sim::errorBadLength, "bad-length"},
        {"block of 60 bytes", with(block, 2, 60), sim::errorBadLength, "bad-length"},
        {"unknown command", with(status, 1, 0x99), sim::errorUnknownCommand, "unknown-command"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimulatedUnit unit;
        for (const Bytes& step : {lock, lift, erase})
            transact(unit, step);
        std::size_t before = unit.transcript().size();
        bool wasErased = unit.erased();
        EXPECT_EQ(c.code, c.bad[1] == 0x1D ? errorCode16(transact(unit, c.bad)) : errorCode(transact(unit, c.bad)));
        EXPECT_EQ(c.note, unit.transcript().back().note);
        EXPECT_NE(std::string::npos, unit.transcriptText().find(std::string(" ") + c.note + "\n"));
        EXPECT_EQ(wasErased, unit.erased());
        EXPECT_FALSE(unit.addressSet()) << "a refused request is not carried out";
        EXPECT_EQ(before + 1, unit.transcript().size());
    }
}

TEST(SimulatedUnit, RefusesABlockUntilLockedUnprotectedErasedAndAddressed)
{
    struct Case {
        const char* name;
        std::vector<Bytes> before;
        std::uint32_t refusal;
        bool leadMoved = false;             // then the lead goes to another controller
    };
    const Case cases[] = {
        {"nothing before", {}, sim::errorNotLocked},
        // The unit stays locked; the new controller's flash is protected and not erased.
        {"another controller after the address", {lock, lift, erase, address}, sim::errorWriteProtected, true},
        {"locked only", {lock}, sim::errorWriteProtected},
        {"not erased", {lock, lift}, sim::errorNotErased},
        {"no address", {lock, lift, erase}, sim::errorNoAddress},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimulatedUnit unit;
        for (const auto& step : c.before)
            EXPECT_TRUE(carriedOut(unit, step));
        if (c.leadMoved) {
            std::vector<std::uint8_t> takenOff = unit.changeController({});
            EXPECT_EQ(0xFF, takenOff[0]) << "the controller taken off keeps its erased flash";
            EXPECT_EQ(0x5A, unit.flash()[0]) << "the new one has its own";
        }
        EXPECT_EQ(c.refusal, errorCode(transact(unit, block)));
        EXPECT_EQ(0u, unit.blocksWritten());
    }
}

TEST(SimulatedUnit, StoresOnlyTheAnnouncedWordsOfABlock)
{
    sim::SimulatedUnit unit;
    prepareForBlocks(unit);
    auto shortBlock = request({0x01, 0x1B, 0x04, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});

    EXPECT_EQ(0u, errorCode(transact(unit, shortBlock)));
    EXPECT_EQ((Bytes{0x11, 0x22, 0x33, 0x44, 0xFF, 0xFF}), Bytes(unit.flash().begin(), unit.flash().begin() + 6));
    EXPECT_EQ(4u, unit.writePosition());
}

TEST(SimulatedUnit, RefusesAWriteThatIsNotOneWholeOutputReport)
{
    sim::SimulatedUnit unit;
    EXPECT_FALSE(unit.write(status.data(), 59, 0));
    EXPECT_FALSE(unit.write(status.data(), 4, 0));
    EXPECT_EQ("wrong-report-length", unit.transcript().back().note);
    EXPECT_FALSE(transact(unit, status).empty()) << "the whole report goes through";
}

TEST(SimulatedUnit, TranscriptRecordsTimesBytesAndFailedSides)
{
    sim::SimulatedUnit unit(sim::UnitIdentity{}, 100.0);
    unit.addFault({sim::FaultTrigger::Exchange, 2, {sim::FaultKind::WriteFails, 0, std::nullopt}});
    Bytes reply(60);

    ASSERT_TRUE(unit.write(status.data(), 60, 100.5));
    ASSERT_TRUE(unit.read(reply.data(), 60, 101.25));
    EXPECT_FALSE(unit.write(status.data(), 60, 102.0));

    std::string first = "1 0.500 1.250 010800" + std::string(114, '0') + " 02";
    EXPECT_EQ(first, unit.transcriptText().substr(0, first.size()));
    EXPECT_NE(std::string::npos, unit.transcriptText().find("\n2 2.000 - - - fault:write-fails\n"));
}

TEST(SimulatedUnit, UnpluggedAtABlockFailsThatBlockAndEverythingAfter)
{
    sim::SimulatedUnit unit;
    unit.addFault({sim::FaultTrigger::Block, 2, {sim::FaultKind::Unplug, 0, std::nullopt}});
    prepareForBlocks(unit);
    ASSERT_EQ(0u, errorCode(transact(unit, block)));

    EXPECT_TRUE(transact(unit, block).empty());
    EXPECT_FALSE(unit.plugged());
    EXPECT_TRUE(transact(unit, status).empty());
    EXPECT_EQ(1u, unit.blocksWritten());
}

// Over many exchanges, the bytes the host must not examine vary and never say what a careless
// host would want them to say.
TEST(SimulatedUnit, UnexaminedReplyBytesAreDeterministicNoise)
{
    sim::SimulatedUnit unit;
    sim::SimulatedUnit twin;
    sim::UnitIdentity quiet;
    quiet.noise = false;
    sim::SimulatedUnit plain(quiet);
    int statusFlagged = 0;
    std::set<std::uint8_t> blockByte3;
    prepareForBlocks(unit);
    prepareForBlocks(twin);
    for (int i = 0; i < 200; ++i) {
        Bytes reply = transact(unit, status);
        EXPECT_EQ(reply, transact(twin, status)) << "the same unit answers the same";
        EXPECT_EQ(0x02, reply[0]);
        EXPECT_NE(0x08, reply[1]) << "byte 1 is never the command code";
        statusFlagged += reply[1] == 0xFF ? 1 : 0;
        Bytes written = transact(unit, with(block, 2, 0));
        transact(twin, with(block, 2, 0));
        EXPECT_NE(0xFF, written[1]) << "a block whose byte 1 is examined is never flagged by noise";
        EXPECT_NE(0x1B, written[1]);
        blockByte3.insert(written[3]);
    }
    Bytes quietReply = transact(plain, status);
    EXPECT_EQ(0x00, quietReply[1]);
    EXPECT_EQ(Bytes(44, 0), Bytes(quietReply.begin() + 16, quietReply.end())) << "without noise, zeros";
    EXPECT_GT(statusFlagged, 20) << "GetStatus replies carry 0xFF in byte 1 now and then";
    EXPECT_LT(statusFlagged, 120);
    EXPECT_GT(blockByte3.size(), 50u) << "an unexamined status byte takes many values";
}

TEST(SimulatedUnit, ErrorRepliesCarryDataAfterTheirCode)
{
    sim::SimulatedUnit unit;
    unit.addFault({sim::FaultTrigger::Command, 0x1D, {sim::FaultKind::ErrorReply, 0, std::nullopt}});
    unit.addFault({sim::FaultTrigger::Command, 0x1E, {sim::FaultKind::ErrorReply, 5, std::nullopt}});
    Bytes refused = transact(unit, info);
    EXPECT_EQ(0u, errorCode16(refused));
    EXPECT_NE(Bytes(30, 0), Bytes(refused.begin() + 6, refused.begin() + 36)) << "no block, but noise after the code";
    Bytes erased = transact(unit, erase);
    EXPECT_EQ(5u, errorCode(erased));
    EXPECT_NE(Bytes(52, 0), Bytes(erased.begin() + 8, erased.end()));
}
