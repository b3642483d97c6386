// The update commands: their request bytes, how each reply is decoded, and transport failures.
#include "commands.h"
#include "discovery.h"
#include "link_fixture.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

using win32double::HidInterface;

namespace {

class CommandTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        device = &win32double::attachUnit();
        ASSERT_EQ(0, openDevice());
    }

    sim::SimulatedUnit& unit() { return *device->unit; }
    const sim::TranscriptEntry& lastExchange() { return unit().transcript().back(); }

    HidInterface* device = nullptr;
};

std::array<BYTE, 48> countingBlock()
{
    std::array<BYTE, 48> block;
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<BYTE>(0xA0 + i);
    return block;
}

struct Command {
    const char* name;
    std::function<int()> send;
};

const std::array<BYTE, 48> anyBlock = countingBlock();

const Command everyUpdateCommand[] = {
    {"SetSystemLock engage", [] { return SetSystemLock(lockEngage); }},
    {"SetSystemLock release", [] { return SetSystemLock(lockRelease); }},
    {"SetWriteProtection lift", [] { return SetWriteProtection(protectionLift); }},
    {"SetWriteProtection restore", [] { return SetWriteProtection(protectionRestore); }},
    {"EraseFirmware", [] { return EraseFirmware(Sleep); }},
    {"SetWriteAddress", [] { return SetWriteAddress(); }},
    {"WriteBlock", [] { return WriteBlock(anyBlock.data(), 12); }},
};

}

TEST_F(CommandTest, RequestBytesAreExactlyTheProtocolsAndTheRestIsZero)
{
    std::vector<std::uint8_t> block = report({0x01, 0x1B, 0x30, 0x00});
    std::copy(anyBlock.begin(), anyBlock.end(), block.begin() + 4);
    const std::vector<std::uint8_t> expected[] = {
        report({0x01, 0x0B, 0x01, 0x01}),
        report({0x01, 0x0B, 0x01, 0x00}),
        report({0x01, 0x20, 0x01, 0x00}),
        report({0x01, 0x20, 0x01, 0x01}),
        report({0x01, 0x1E, 0x04, 0x00, 0xE1, 0x96, 0x5A, 0x3C}),
        report({0x01, 0x1F, 0x09, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE1, 0x96, 0x5A, 0x3C}),
        block,
    };
    for (std::size_t i = 0; i < std::size(everyUpdateCommand); ++i) {
        SCOPED_TRACE(everyUpdateCommand[i].name);
        everyUpdateCommand[i].send();
        EXPECT_EQ(expected[i], lastExchange().request);
    }
}

TEST_F(CommandTest, WriteBlockAnnouncesItsWordsButAlwaysSendsAllFortyEightBytes)
{
    for (DWORD words : {0u, 4u, 12u, 14u}) {
        SCOPED_TRACE(words);
        EXPECT_NE(-1, WriteBlock(anyBlock.data(), words));
        const auto& request = lastExchange().request;
        EXPECT_EQ(4 * words, request[2]);
        EXPECT_TRUE(std::equal(anyBlock.begin(), anyBlock.end(), request.begin() + 4));
    }
}

TEST_F(CommandTest, WriteBlockOfFifteenWordsIsRefusedUnsent)
{
    std::size_t exchanges = unit().transcript().size();
    EXPECT_EQ(-1, WriteBlock(anyBlock.data(), 15));
    EXPECT_EQ(exchanges, unit().transcript().size());
}

TEST_F(CommandTest, ThirtyTwoBitErrorCodesAreDecodedWhole)
{
    struct Case {
        const char* name;
        std::uint32_t code;
        int expected;
    };
    const Case cases[] = {
        {"error flag, zero code", 0, 0},                // a zero code counts as success
        {"error flag, code 5", 5, 5},
        {"error flag, high half only", 0x00010000, 65536},  // all 32 bits are the code
        {"error flag, code reads as -2", 0xFFFFFFFE, -2},   // cannot be told from a failed write
    };
    const Command decoded[] = {everyUpdateCommand[2], everyUpdateCommand[4], everyUpdateCommand[5],
                               everyUpdateCommand[6]};
    const std::uint8_t codes[] = {0x20, 0x1E, 0x1F, 0x1B};
    for (std::size_t i = 0; i < std::size(decoded); ++i) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(decoded[i].name) + ": " + c.name);
            SetUp();
            unit().addFault(onCommand(codes[i], errorReply(c.code)));
            EXPECT_EQ(c.expected, decoded[i].send());
            TearDown();
        }
    }
}

TEST_F(CommandTest, StatusBytesConfirmTheLockAndTheLiftedProtection)
{
    struct Case {
        const char* name;
        std::function<int()> send;
        std::uint8_t command;
        sim::Fault reply;
        int expected;
    };
    auto engage = [] { return SetSystemLock(lockEngage); };
    auto lift = [] { return SetWriteProtection(protectionLift); };
    auto release = [] { return SetSystemLock(lockRelease); };
    auto restore = [] { return SetWriteProtection(protectionRestore); };
    const Case cases[] = {
        {"engage confirmed", engage, 0x0B, statusByte(0x01), 0},
        {"engage answered with status 0", engage, 0x0B, statusByte(0x00), 1627},
        {"engage answered with status 2", engage, 0x0B, statusByte(0x02), 1627},
        {"engage error flag but status 1", engage, 0x0B, errorReply(9, 0x01), 0},     // only byte 3 counts
        {"engage error flag and status 0", engage, 0x0B, errorReply(0, 0x00), 1627},
        {"lift confirmed", lift, 0x20, statusByte(0x00), 0},
        {"lift answered with status 1", lift, 0x20, statusByte(0x01), 1627},
        {"lift error flag, zero code", lift, 0x20, errorReply(0, 0x01), 0},           // ends the decoding
        {"lift error flag, code 7", lift, 0x20, errorReply(7, 0x00), 7},
        {"release reply not examined", release, 0x0B, errorReply(9, 0x05), 0},
        {"restore reply not examined", restore, 0x20, errorReply(9, 0x05), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.command == 0x20) {
            ASSERT_EQ(0, SetSystemLock(lockEngage));    // the unit lifts protection only while locked
        }
        unit().addFault(onCommand(c.command, c.reply));
        EXPECT_EQ(c.expected, c.send());
        TearDown();
    }
}

TEST_F(CommandTest, TransportFailuresGiveMinusTwoAndMinusThree)
{
    for (const Command& command : everyUpdateCommand) {
        SCOPED_TRACE(command.name);
        for (auto [kind, expected] : {std::pair{sim::FaultKind::WriteFails, -2}, std::pair{sim::FaultKind::ReadFails, -3}}) {
            SetUp();
            unit().addFault({sim::FaultTrigger::Exchange, static_cast<std::uint32_t>(unit().transcript().size() + 1),
                             transportFault(kind)});
            std::size_t journalBefore = win32double::journal().size();
            EXPECT_EQ(expected, command.send());
            // After a failed write nothing is read.
            const auto& journal = win32double::journal();
            std::size_t reads = std::count_if(journal.begin() + journalBefore, journal.end(),
                                              [](const std::string& line) { return line.rfind("ReadFile", 0) == 0; });
            EXPECT_EQ(expected == -2 ? 0u : 1u, reads);
            TearDown();
        }
    }
}

// The erase waits through the wait its caller hands down, which keeps the window answering.
std::vector<std::string> handedDownWaits;

TEST_F(CommandTest, EraseWaitsOneSecondBetweenRequestAndReplyThroughTheWaitHandedDown)
{
    std::size_t journalBefore = win32double::journal().size();
    std::uint64_t clockBefore = win32double::nowMs();
    handedDownWaits.clear();
    EraseFirmware([](DWORD ms) {
        handedDownWaits.push_back(win32double::journal().back() + ", then " + std::to_string(ms) + " ms");
        Sleep(ms);
    });

    std::vector<std::string> exchange(win32double::journal().begin() + journalBefore, win32double::journal().end());
    EXPECT_EQ((std::vector<std::string>{"WriteFile 0x1e 60", "Sleep 1000", "ReadFile 60"}), exchange);
    EXPECT_EQ(std::vector<std::string>{"WriteFile 0x1e 60, then 1000 ms"}, handedDownWaits);
    EXPECT_EQ(clockBefore + 1000, win32double::nowMs());
    EXPECT_DOUBLE_EQ(*lastExchange().writeMs + 1000.0, *lastExchange().readMs);
}

// A transfer that does not end by itself ends at 10 s: cancelled, the cancellation waited for,
// and nothing sent after it; a reply that comes as the read is cancelled is the reply; a removal
// still ends it at once, and a short read is no reply.
TEST_F(CommandTest, AnEraseThatNeverEndsFailsAtTheLimit)
{
    struct Case {
        const char* name;
        std::function<void(HidInterface&)> fault;
        int expected;
        std::optional<DWORD> lastError;     // none: success, whose last error says nothing
        std::vector<std::string> journal;
        std::uint64_t lasted;               // from the request, the erase's own second included
    };
    const Case cases[] = {
        {"the unit never answers the erase", [](HidInterface& d) { d.unit->addFault(onCommand(0x1E, transportFault(sim::FaultKind::Silent))); },
         -3, ERROR_TIMEOUT, {"WriteFile 0x1e 60", "Sleep 1000", "ReadFile 60 pending", "Sleep 10000", "CancelIoEx"}, 11000},
        {"the reply comes as its read is cancelled", [](HidInterface& d) {
             d.unit->addFault(onCommand(0x1E, transportFault(sim::FaultKind::Silent)));
             d.replyAsCancelled.assign(60, 0x00);
             d.replyAsCancelled[0] = 0x02;
             d.replyAsCancelled[1] = 0x1E;
         }, 0, std::nullopt, {"WriteFile 0x1e 60", "Sleep 1000", "ReadFile 60 pending", "Sleep 10000", "CancelIoEx"}, 11000},
        {"the request never goes out", [](HidInterface& d) { d.writesHang = true; },
         -2, ERROR_TIMEOUT, {"WriteFile 0x1e 60 pending", "Sleep 10000", "CancelIoEx"}, 10000},
        {"the unit is pulled out while its reply is awaited", [](HidInterface& d) {
             d.unit->addFault(onCommand(0x1E, transportFault(sim::FaultKind::Silent)));
             win32double::at(win32double::nowMs() + 4000, [&d] { win32double::detach(d); });
         }, -3, ERROR_DEVICE_NOT_CONNECTED, {"WriteFile 0x1e 60", "Sleep 1000", "ReadFile 60 pending", "Sleep 3000"}, 4000},
        {"the read brings one byte less than the report", [](HidInterface& d) { d.shortReads = 1; },
         -3, ERROR_INVALID_DATA, {"WriteFile 0x1e 60", "Sleep 1000", "ReadFile 60"}, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        ASSERT_EQ(0, SetSystemLock(lockEngage));
        ASSERT_EQ(0, SetWriteProtection(protectionLift));
        c.fault(*device);
        std::size_t journalBefore = win32double::journal().size();
        std::uint64_t clockBefore = win32double::nowMs();
        EXPECT_EQ(c.expected, EraseFirmware(Sleep));
        if (c.lastError) {
            EXPECT_EQ(*c.lastError, GetLastError());
        }
        EXPECT_EQ(c.journal, std::vector<std::string>(win32double::journal().begin() + static_cast<long>(journalBefore),
                                                      win32double::journal().end()));
        EXPECT_EQ(c.lasted, win32double::nowMs() - clockBefore);
        TearDown();                         // no transfer left pending, no event left open
    }
}

TEST_F(CommandTest, EraseWhoseWriteFailsReturnsAtOnceWithoutTheWait)
{
    unit().addFault(onCommand(0x1E, transportFault(sim::FaultKind::WriteFails)));
    std::uint64_t clockBefore = win32double::nowMs();

    EXPECT_EQ(-2, EraseFirmware(Sleep));
    EXPECT_TRUE(win32double::sleeps().empty());
    EXPECT_EQ(clockBefore, win32double::nowMs());
}

TEST_F(CommandTest, UnpluggedUnitFailsTheWrite)
{
    win32double::detach(*device);
    for (const Command& command : everyUpdateCommand) {
        SCOPED_TRACE(command.name);
        EXPECT_EQ(-2, command.send());
    }
    EXPECT_TRUE(win32double::sleeps().empty());
}

TEST_F(CommandTest, WithNoUnitOpenEveryCommandReturnsMinusOneUnsent)
{
    closeDevice();
    std::size_t exchanges = unit().transcript().size();
    BYTE buffer[60] = {};
    const Command identification[] = {
        {"GetStatus", [&] { return GetStatus(buffer, ConnectedUnit); }},
        {"ReadMemory", [&] { return ReadMemory(buffer, ConnectedUnit); }},
        {"ReadTargetInfo", [&] { return ReadTargetInfo(buffer, ConnectedUnit); }},
        {"ReadTargetIdentity", [&] { return ReadTargetIdentity(buffer, ConnectedUnit); }},
    };
    for (const Command& command : everyUpdateCommand) {
        SCOPED_TRACE(command.name);
        EXPECT_EQ(-1, command.send());
    }
    for (const Command& command : identification) {
        SCOPED_TRACE(command.name);
        EXPECT_EQ(-1, command.send());
    }
    EXPECT_EQ(exchanges, unit().transcript().size());
    EXPECT_TRUE(win32double::sleeps().empty());
}

TEST_F(CommandTest, TheUpdateSequenceLeavesTheImageInTheController)
{
    // 100 bytes: two full blocks and a last block of one word, padded as a caller pads it.
    std::vector<BYTE> image(100);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<BYTE>(i * 7 + 1);
    BYTE last[48];
    std::fill(std::begin(last), std::end(last), 0xFF);
    std::copy(image.begin() + 96, image.end(), last);

    EXPECT_EQ(0, SetSystemLock(lockEngage));
    EXPECT_EQ(0, SetWriteProtection(protectionLift));
    EXPECT_EQ(0, EraseFirmware(Sleep));
    EXPECT_EQ(0, SetWriteAddress());
    EXPECT_EQ(0, WriteBlock(image.data(), 12));
    EXPECT_EQ(0, WriteBlock(image.data() + 48, 12));
    EXPECT_EQ(0, WriteBlock(last, 1));
    EXPECT_EQ(0, SetWriteProtection(protectionRestore));
    EXPECT_EQ(0, SetSystemLock(lockRelease));

    const auto& flash = unit().flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + 100, flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_FALSE(unit().locked());
    EXPECT_TRUE(unit().writeProtected());
}

TEST_F(CommandTest, OutOfOrderCommandsAreRefusedByTheUnit)
{
    // The unit's own refusal comes back as its error code: no block before lock, unprotect, erase, address.
    EXPECT_NE(0, WriteBlock(anyBlock.data(), 12));
    EXPECT_NE(0, EraseFirmware(Sleep));
    EXPECT_EQ(0, SetSystemLock(lockEngage));
    EXPECT_NE(0, EraseFirmware(Sleep));
    EXPECT_EQ(0, SetWriteProtection(protectionLift));
    EXPECT_NE(0, SetWriteAddress());
    EXPECT_NE(0, WriteBlock(anyBlock.data(), 12));
    EXPECT_EQ(0u, unit().blocksWritten());
}
