// Identification: report lengths, status, and the controller's information and identity blocks.
#include "discovery.h"
#include "identification.h"
#include "link_fixture.h"

#include <cstring>
#include <vector>

using win32double::HidInterface;

namespace {

std::vector<std::uint8_t> requestCommands(const sim::SimulatedUnit& unit)
{
    std::vector<std::uint8_t> commands;
    for (const auto& entry : unit.transcript())
        commands.push_back(entry.writeOk ? entry.request[1] : 0);
    return commands;
}

bool allZero(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::all_of(bytes, bytes + size, [](std::uint8_t b) { return b == 0; });
}

sim::UnitIdentity acceptedController()
{
    sim::UnitIdentity identity;
    identity.productId = 2;
    identity.targetStateExtra = 0x1234;
    identity.unitFirmware = 0x00020107;
    identity.unitStatusExtra = 0xCAFEF00D;
    identity.deviceTypeCode = 0x110FA0D2;
    identity.escFirmwareVersion = 0x0110;
    identity.bootloaderVersion = 0x00000203;
    return identity;
}

}

TEST_F(LinkTest, NormalModeWithUpdatableControllerFillsTheRecord)
{
    HidInterface& device = win32double::attachUnit(acceptedController());

    EXPECT_EQ(0, openDevice());
    const auto& transcript = device.unit->transcript();
    EXPECT_EQ((std::vector<std::uint8_t>{0x08, 0x1D, 0x22}), requestCommands(*device.unit));
    EXPECT_EQ(60u, ConnectedUnit.outputReportLength);
    EXPECT_EQ(60u, ConnectedUnit.inputReportLength);
    // Each field's place in its reply is checked against the layouts by UpdaterDecodesEachReplyFromItsLayout.
    // The blocks are kept exactly as received: reply bytes 4..35 and 4..43.
    EXPECT_EQ(0, std::memcmp(&ConnectedUnit.targetInfo, transcript[1].reply.data() + 4, 32));
    EXPECT_EQ(0, std::memcmp(&ConnectedUnit.targetIdentity, transcript[2].reply.data() + 4, 40));
    EXPECT_TRUE(allZero(&ConnectedUnit.unitLoaderInfo, sizeof ConnectedUnit.unitLoaderInfo));
    EXPECT_EQ(heldUnitOnly(), win32double::openCounts());
}

TEST_F(LinkTest, IdentificationRequestsCarryTheProtocolBytes)
{
    HidInterface& device = win32double::attachUnit(acceptedController());
    ASSERT_EQ(0, openDevice());
    const auto& transcript = device.unit->transcript();
    ASSERT_EQ(3u, transcript.size());

    EXPECT_EQ(report({0x01, 0x08, 0x00}), transcript[0].request);
    EXPECT_EQ(report({0x01, 0x1D, 0x08, 0x00, 0x20, 0x00, 0x00, 0x00, 0xE0, 0xFF, 0xFF, 0xFF}), transcript[1].request);
    // ReadTargetIdentity goes out over the ReadTargetInfo reply: bytes 2..59 as they came in.
    std::vector<std::uint8_t> identity = transcript[1].reply;
    identity[0] = 0x01;
    identity[1] = 0x22;
    EXPECT_EQ(identity, transcript[2].request);
}

TEST_F(LinkTest, LoaderModeReadsTheUnitVersionFromMemoryAndNothingOfTheController)
{
    sim::UnitIdentity identity = acceptedController();
    identity.bootMode = 0x01;
    identity.loader = {0x11, 0x2233, 0x44556677, 0x8899AABB, 0xCC};
    HidInterface& device = win32double::attachUnit(identity);

    EXPECT_EQ(0, openDevice());
    EXPECT_EQ((std::vector<std::uint8_t>{0x08, 0x0A}), requestCommands(*device.unit));
    EXPECT_EQ(report({0x01, 0x0A, 0x0C, 0x00, 0x00, 0xFC, 0x01, 0x08}), device.unit->transcript()[1].request);
    EXPECT_EQ(0x01, ConnectedUnit.unitBootMode);
    EXPECT_EQ(0x00020107u, ConnectedUnit.unitFirmwareVersion);
    EXPECT_EQ(0xCAFEF00Du, ConnectedUnit.unitStatusExtra);
    const UnitLoaderInfo& loader = ConnectedUnit.unitLoaderInfo;
    EXPECT_EQ(0x11, loader.loaderByte1);
    EXPECT_EQ(0x2233, loader.loaderWord);
    EXPECT_EQ(0x44556677u, loader.loaderLong1);
    EXPECT_EQ(0x8899AABBu, loader.loaderLong2);
    EXPECT_EQ(0xCC, loader.loaderByte2);
    EXPECT_EQ(0, ConnectedUnit.targetState);
    EXPECT_TRUE(allZero(&ConnectedUnit.targetInfo, 32));
    EXPECT_TRUE(allZero(&ConnectedUnit.targetIdentity, 40));
}

TEST_F(LinkTest, ControllerNotUpdatableEndsAfterTheStatus)
{
    sim::UnitIdentity identity = acceptedController();
    identity.targetState = 2;
    HidInterface& device = win32double::attachUnit(identity);

    EXPECT_EQ(0, openDevice());
    EXPECT_EQ((std::vector<std::uint8_t>{0x08}), requestCommands(*device.unit));
    EXPECT_EQ(2, ConnectedUnit.targetState);
    EXPECT_EQ(0x1234, ConnectedUnit.targetStateExtra);
    EXPECT_EQ(0, ConnectedUnit.targetInfo.escFirmwareVersion);
    EXPECT_EQ(0u, ConnectedUnit.targetIdentity.deviceTypeCode);
}

TEST_F(LinkTest, ControllerErrorRepliesDecideHowFarIdentificationGoes)
{
    struct Case {
        const char* name;
        std::uint8_t command;
        std::uint32_t code;             // the 32 bits at reply bytes 4..7
        int expected;
        std::vector<std::uint8_t> sent;
        bool infoKept;
        bool identityKept;
    };
    const Case cases[] = {
        {"info refused with code 5", 0x1D, 5, 5, {0x08, 0x1D}, false, false},
        {"info error with code 0", 0x1D, 0, 0, {0x08, 0x1D, 0x22}, false, true},
        {"info error, low half 0, high half not", 0x1D, 0x00010000, 0, {0x08, 0x1D, 0x22}, false, true},
        {"identity refused with code 7", 0x22, 7, 7, {0x08, 0x1D, 0x22}, true, false},
        {"identity error with code 0", 0x22, 0, 0, {0x08, 0x1D, 0x22}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        HidInterface& device = win32double::attachUnit(acceptedController());
        device.unit->addFault(onCommand(c.command, errorReply(c.code)));

        EXPECT_EQ(c.expected, openDevice());
        EXPECT_EQ(c.sent, requestCommands(*device.unit));
        EXPECT_EQ(c.infoKept ? 0x0110 : 0, ConnectedUnit.targetInfo.escFirmwareVersion);
        EXPECT_EQ(c.identityKept ? 0x110FA0D2u : 0u, ConnectedUnit.targetIdentity.deviceTypeCode);
        EXPECT_NE(INVALID_HANDLE_VALUE, ConnectedUnit.handle);
        TearDown();
    }
}

TEST_F(LinkTest, StatusReplyWithTheErrorFlagIsStillTakenAsAStatus)
{
    HidInterface& device = win32double::attachUnit(acceptedController());
    // Error flag, status byte 0, and bytes 4..7 reading as target state 3 with extra 0x0002.
    device.unit->addFault(onCommand(0x08, errorReply(0x00020003, 0x00)));

    EXPECT_EQ(0, openDevice());
    EXPECT_EQ(3, ConnectedUnit.targetState);
    EXPECT_EQ(2, ConnectedUnit.targetStateExtra);
    EXPECT_EQ((std::vector<std::uint8_t>{0x08, 0x1D, 0x22}), requestCommands(*device.unit));
}

// Capabilities the protocol cannot live with. The longest request is WriteBlock (to byte 51),
// the longest reply examined ReadTargetIdentity's (to byte 43); the buffers hold 60 bytes.
struct CapabilitiesCase {
    const char* name;
    std::function<void(HidInterface&)> spoil;
};

void PrintTo(const CapabilitiesCase& c, std::ostream* os)
{
    *os << c.name;
}

const CapabilitiesCase capabilitiesCases[] = {
    {"PreparsedDataUnavailable", [](HidInterface& d) { d.preparsedDataFails = true; }},
    {"CapabilitiesUnreadable", [](HidInterface& d) { d.capsFail = true; }},
    {"InputReportOf0Bytes", [](HidInterface& d) { d.inputReportLength = 0; }},
    {"OutputReportOf0Bytes", [](HidInterface& d) { d.outputReportLength = 0; }},
    {"InputReportOf8Bytes", [](HidInterface& d) { d.inputReportLength = 8; }},
    {"InputReportOf43Bytes", [](HidInterface& d) { d.inputReportLength = 43; }},
    {"OutputReportOf51Bytes", [](HidInterface& d) { d.outputReportLength = 51; }},
    {"InputReportOf61Bytes", [](HidInterface& d) { d.inputReportLength = 61; }},
    {"OutputReportOf65Bytes", [](HidInterface& d) { d.outputReportLength = 65; }},
};

class UnusableCapabilities : public LinkTest, public ::testing::WithParamInterface<CapabilitiesCase> {};

TEST_P(UnusableCapabilities, RefuseTheUnitBeforeAnyExchange)
{
    HidInterface& device = win32double::attachUnit(acceptedController());
    GetParam().spoil(device);

    EXPECT_EQ(-1, openDevice());
    EXPECT_EQ(0u, ConnectedUnit.outputReportLength);
    EXPECT_EQ(0u, ConnectedUnit.inputReportLength);
    EXPECT_TRUE(device.unit->transcript().empty());
    EXPECT_NE(INVALID_HANDLE_VALUE, ConnectedUnit.handle);
    EXPECT_EQ(heldUnitOnly(), win32double::openCounts());   // the preparsed data was freed
}

INSTANTIATE_TEST_SUITE_P(Capabilities, UnusableCapabilities, ::testing::ValuesIn(capabilitiesCases),
                         [](const ::testing::TestParamInfo<CapabilitiesCase>& row) { return std::string(row.param.name); });

TEST_F(LinkTest, ShortReportsAreWrittenAndReadAtTheirOwnLength)
{
    sim::UnitIdentity identity = acceptedController();
    identity.inputReportLength = 44;
    identity.outputReportLength = 52;
    win32double::attachUnit(identity);

    EXPECT_EQ(0, openDevice());
    EXPECT_EQ(52u, ConnectedUnit.outputReportLength);
    EXPECT_EQ(44u, ConnectedUnit.inputReportLength);
    EXPECT_EQ(0x110FA0D2u, ConnectedUnit.targetIdentity.deviceTypeCode);
    const auto& journal = win32double::journal();
    std::vector<std::string> exchanges(journal.end() - 6, journal.end());
    EXPECT_EQ((std::vector<std::string>{"WriteFile 0x08 52", "ReadFile 44", "WriteFile 0x1d 52", "ReadFile 44",
                                        "WriteFile 0x22 52", "ReadFile 44"}), exchanges);
}

TEST_F(LinkTest, FailedExchangesStopIdentificationAndKeepWhatWasStored)
{
    struct Case {
        const char* name;
        std::uint32_t exchange;
        sim::FaultKind kind;
        int expected;
        WORD targetState;
        WORD escVersion;
    };
    const Case cases[] = {
        {"status not written", 1, sim::FaultKind::WriteFails, -2, 0, 0},
        {"status not read", 1, sim::FaultKind::ReadFails, -3, 0, 0},
        {"info not read", 2, sim::FaultKind::ReadFails, -3, 3, 0},
        {"identity not written", 3, sim::FaultKind::WriteFails, -2, 3, 0x0110},
        {"unplugged before identity", 3, sim::FaultKind::Unplug, -2, 3, 0x0110},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        HidInterface& device = win32double::attachUnit(acceptedController());
        device.unit->addFault({sim::FaultTrigger::Exchange, c.exchange, transportFault(c.kind)});

        EXPECT_EQ(c.expected, openDevice());
        EXPECT_EQ(c.targetState, ConnectedUnit.targetState);
        EXPECT_EQ(c.escVersion, ConnectedUnit.targetInfo.escFirmwareVersion);
        EXPECT_EQ(0u, ConnectedUnit.targetIdentity.deviceTypeCode);
        EXPECT_EQ(c.exchange, device.unit->transcript().size());
        TearDown();
    }
}

TEST_F(LinkTest, IdentifyWithoutAnOpenUnitReturnsMinusOne)
{
    EXPECT_EQ(-1, identifyDevice());
    EXPECT_TRUE(recordIsEmpty());
}
