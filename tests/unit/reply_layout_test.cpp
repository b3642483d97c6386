// Replies as the protocol lays them out, written byte by byte. The updater must decode them to
// these values, and the simulated unit must answer with the same bytes where the protocol looks:
// a field read at the wrong offset by the updater and written there by the unit fails one side.
#include "commands.h"
#include "discovery.h"
#include "link_fixture.h"

#include <functional>
#include <map>
#include <memory>

namespace {

constexpr int any = -1;                     // a byte the protocol leaves unexamined
constexpr int notFlag = -2;                 // byte 1 examined: anything but the error flag 0xFF
using Layout = std::vector<int>;

// The unit and controller both sides describe: controller in place, firmware 1.16, type
// 0x110FA0D2, loader 2.3, unit firmware 0x00020107.
const Layout statusNormal = {0x02, any, any, 0x00, 0x03, 0x00, 0x34, 0x12, 0x07, 0x01, 0x02, 0x00, 0x0D, 0xF0, 0xFE, 0xCA};
const Layout statusLoader = {0x02, any, any, 0x01, 0x11, 0x33, 0x22, 0x77, 0x66, 0x55, 0x44, 0xBB, 0xAA, 0x99, 0x88, 0xCC};
const Layout memory = {0x02, any, any, any, any, any, any, any, 0x07, 0x01, 0x02, 0x00, 0x0D, 0xF0, 0xFE, 0xCA};
const Layout info = {0x02, notFlag, any, any, any, any, any, any, 0x10, 0x01};
const Layout identity = {0x02, notFlag, any, any, 0xD2, 0xA0, 0x0F, 0x11, 0x03, 0x02, 0x00, 0x00};
const Layout error16 = {0x02, 0xFF, any, any, 0x05, 0x00};             // code 5 in 16 bits
const Layout error32 = {0x02, 0xFF, any, any, 0x00, 0x00, 0x01, 0x00}; // 0x00010000 in 32 bits
const Layout lockConfirmed = {0x02, any, any, 0x01};
const Layout liftConfirmed = {0x02, notFlag, any, 0x00};

sim::UnitIdentity describedUnit(std::uint8_t bootMode = 0)
{
    sim::UnitIdentity unit;
    unit.bootMode = bootMode;
    unit.targetStateExtra = 0x1234;
    unit.unitFirmware = 0x00020107;
    unit.unitStatusExtra = 0xCAFEF00D;
    unit.loader = {0x11, 0x2233, 0x44556677, 0x8899AABB, 0xCC};
    unit.deviceTypeCode = 0x110FA0D2;
    unit.escFirmwareVersion = 0x0110;
    unit.bootloaderVersion = 0x00000203;
    return unit;
}

// A unit that answers each command with its layout, every unexamined byte 0xA5.
void plugInScripted(std::map<std::uint8_t, Layout> replies)
{
    win32double::HidInterface device;
    device.vendorId = 0x21B8;
    device.productId = 2;
    device.inputReportLength = device.outputReportLength = 60;
    auto command = std::make_shared<std::uint8_t>(0);
    device.scripted = std::make_shared<win32double::ScriptedPeer>();
    device.scripted->write = [command](const std::uint8_t* request, std::size_t) {
        *command = request[1];
        return true;
    };
    device.scripted->read = [command, replies](std::uint8_t* reply, std::size_t length) {
        const Layout& layout = replies.at(*command);
        for (std::size_t i = 0; i < length; ++i) {
            int byte = i < layout.size() ? layout[i] : any;
            reply[i] = static_cast<std::uint8_t>(byte == any ? 0xA5 : byte == notFlag ? 0x00 : byte);
        }
        return true;
    };
    win32double::addHidDevice(device);
}

// The simulated unit's reply to one request, compared with the layout where the protocol looks.
void expectSimulatedReply(sim::SimulatedUnit& unit, std::vector<std::uint8_t> request, const Layout& layout)
{
    request.resize(60, 0);
    std::vector<std::uint8_t> reply(60);
    ASSERT_TRUE(unit.write(request.data(), request.size(), 0));
    ASSERT_TRUE(unit.read(reply.data(), reply.size(), 0));
    for (std::size_t i = 0; i < layout.size(); ++i) {
        if (layout[i] == notFlag) {
            EXPECT_NE(0xFF, reply[i]) << "command " << int(request[1]) << ", byte " << i;
        } else if (layout[i] != any) {
            EXPECT_EQ(layout[i], reply[i]) << "command " << int(request[1]) << ", byte " << i;
        }
    }
}

const std::vector<std::uint8_t> getStatus = {0x01, 0x08, 0x00};
const std::vector<std::uint8_t> readMemory = {0x01, 0x0A, 0x0C, 0x00, 0x00, 0xFC, 0x01, 0x08};
const std::vector<std::uint8_t> readTargetInfo = {0x01, 0x1D, 0x08, 0x00, 0x20, 0x00, 0x00, 0x00, 0xE0, 0xFF, 0xFF, 0xFF};
const std::vector<std::uint8_t> readTargetIdentity = {0x01, 0x22};
const std::vector<std::uint8_t> engageLock = {0x01, 0x0B, 0x01, 0x01};
const std::vector<std::uint8_t> liftProtection = {0x01, 0x20, 0x01, 0x00};
const std::vector<std::uint8_t> erase = {0x01, 0x1E, 0x04, 0x00, 0xE1, 0x96, 0x5A, 0x3C};

}

TEST_F(LinkTest, UpdaterDecodesEachReplyFromItsLayout)
{
    plugInScripted({{0x08, statusNormal}, {0x1D, info}, {0x22, identity}});
    ASSERT_EQ(0, openDevice());
    EXPECT_EQ(0, ConnectedUnit.unitBootMode);
    EXPECT_EQ(3, ConnectedUnit.targetState);
    EXPECT_EQ(0x1234, ConnectedUnit.targetStateExtra);
    EXPECT_EQ(0x00020107u, ConnectedUnit.unitFirmwareVersion);
    EXPECT_EQ(0xCAFEF00Du, ConnectedUnit.unitStatusExtra);
    EXPECT_EQ(0x0110, ConnectedUnit.targetInfo.escFirmwareVersion);
    EXPECT_EQ(0x110FA0D2u, ConnectedUnit.targetIdentity.deviceTypeCode);
    EXPECT_EQ(0x00000203u, ConnectedUnit.targetIdentity.bootloaderVersion);
    TearDown();

    SetUp();
    plugInScripted({{0x08, statusLoader}, {0x0A, memory}});
    ASSERT_EQ(0, openDevice());
    EXPECT_EQ(1, ConnectedUnit.unitBootMode);
    const UnitLoaderInfo& loader = ConnectedUnit.unitLoaderInfo;
    EXPECT_EQ((std::vector<std::uint32_t>{0x11, 0x2233, 0x44556677, 0x8899AABB, 0xCC}),
              (std::vector<std::uint32_t>{loader.loaderByte1, loader.loaderWord, loader.loaderLong1, loader.loaderLong2,
                                          loader.loaderByte2}));
    EXPECT_EQ(0x00020107u, ConnectedUnit.unitFirmwareVersion);
    EXPECT_EQ(0xCAFEF00Du, ConnectedUnit.unitStatusExtra);
    TearDown();

    struct Case {
        const char* name;
        std::uint8_t command;
        Layout reply;
        std::function<int()> send;          // empty: the result of identification
        int expected;
    };
    const Case cases[] = {
        {"information refused, code in 16 bits", 0x1D, error16, nullptr, 5},
        {"erase refused, code in 32 bits", 0x1E, error32, [] { return EraseFirmware(Sleep); }, 65536},
        {"lock confirmed by byte 3", 0x0B, lockConfirmed, [] { return SetSystemLock(lockEngage); }, 0},
        {"lock not confirmed", 0x0B, {0x02, any, any, 0x00}, [] { return SetSystemLock(lockEngage); }, 1627},
        {"lift confirmed by byte 3", 0x20, liftConfirmed, [] { return SetWriteProtection(protectionLift); }, 0},
        {"lift not confirmed", 0x20, {0x02, notFlag, any, 0x01}, [] { return SetWriteProtection(protectionLift); }, 1627},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        std::map<std::uint8_t, Layout> replies = {{0x08, statusNormal}, {0x1D, info}, {0x22, identity}};
        replies[c.command] = c.reply;
        plugInScripted(replies);
        int opened = openDevice();
        EXPECT_EQ(c.expected, c.send ? c.send() : opened);
        TearDown();
    }
}

TEST(SimulatedUnit, AnswersWithTheSameLayouts)
{
    sim::SimulatedUnit normal(describedUnit());
    expectSimulatedReply(normal, getStatus, statusNormal);
    expectSimulatedReply(normal, readTargetInfo, info);
    expectSimulatedReply(normal, readTargetIdentity, identity);
    expectSimulatedReply(normal, engageLock, lockConfirmed);
    expectSimulatedReply(normal, liftProtection, liftConfirmed);

    sim::SimulatedUnit loader(describedUnit(1));
    expectSimulatedReply(loader, getStatus, statusLoader);
    expectSimulatedReply(loader, readMemory, memory);

    sim::SimulatedUnit refusing(describedUnit());
    refusing.addFault(onCommand(0x1D, errorReply(5)));
    refusing.addFault(onCommand(0x1E, errorReply(0x00010000)));
    expectSimulatedReply(refusing, readTargetInfo, error16);
    expectSimulatedReply(refusing, erase, error32);
}
