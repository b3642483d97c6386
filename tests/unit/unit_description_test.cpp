// Unit descriptions as ZEFRAN_SIM_UNITS and zefran-sim-ctl take them.
#include "simulated_unit.h"
#include "unit_description.h"

#include <gtest/gtest.h>

TEST(UnitDescription, UnsetMeansOneDefaultBenchBoxAndNoneMeansNoUnit)
{
    std::vector<sim::UnitDescription> units;
    std::string error;
    ASSERT_TRUE(sim::parseUnitList(nullptr, units, error));
    ASSERT_EQ(1u, units.size());
    const sim::UnitIdentity& unit = units[0].identity;
    EXPECT_EQ(0x21B8, unit.vendorId);
    EXPECT_EQ(2, unit.productId);
    EXPECT_EQ(0, unit.bootMode);
    EXPECT_EQ(3, unit.targetState);
    EXPECT_EQ(0x140FA0FAu, unit.deviceTypeCode);
    EXPECT_EQ(0x0110, unit.escFirmwareVersion);

    ASSERT_TRUE(sim::parseUnitList("none", units, error));
    EXPECT_TRUE(units.empty());
}

TEST(UnitDescription, KeysSetIdentityAndFaultsInCNotation)
{
    std::vector<sim::UnitDescription> units;
    std::string error;
    ASSERT_TRUE(sim::parseUnitList("pid=1,type=0x110FA0D2,esc=0xFFFF,in=44,out=52;vid=0x845e,mode=1,"
                                   "unplug_at_block=100,error_on=0x1E:5,status_on=0x0B:0,read_fails_on=0x1F",
                                   units, error))
        << error;
    ASSERT_EQ(2u, units.size());
    EXPECT_EQ(1, units[0].identity.productId);
    EXPECT_EQ(0x110FA0D2u, units[0].identity.deviceTypeCode);
    EXPECT_EQ(0xFFFF, units[0].identity.escFirmwareVersion);
    EXPECT_EQ(44, units[0].identity.inputReportLength);
    EXPECT_EQ(52, units[0].identity.outputReportLength);
    EXPECT_TRUE(units[0].faults.empty());

    EXPECT_EQ(0x845E, units[1].identity.vendorId);
    EXPECT_EQ(1, units[1].identity.bootMode);
    ASSERT_EQ(4u, units[1].faults.size());
    EXPECT_EQ(sim::FaultTrigger::Block, units[1].faults[0].trigger);
    EXPECT_EQ(100u, units[1].faults[0].match);
    EXPECT_EQ(sim::FaultKind::Unplug, units[1].faults[0].fault.kind);
    EXPECT_EQ(0x1Eu, units[1].faults[1].match);
    EXPECT_EQ(5u, units[1].faults[1].fault.code);
    EXPECT_EQ(sim::FaultKind::StatusByte, units[1].faults[2].fault.kind);
    EXPECT_EQ(0, *units[1].faults[2].fault.status);
    EXPECT_EQ(sim::FaultKind::ReadFails, units[1].faults[3].fault.kind);
}

TEST(UnitDescription, RefusesWhatItCannotUse)
{
    for (const char* text : {"colour=red", "pid=", "pid=70000", "mode=256", "vid=-1", "type=0x1FFFFFFFF",
                             "unplug_at_block=x", "error_on=0x1E", "status_on=0x0B:300", "in=300", "in=1",
                             "out=256", "out=0", "fw=1.3", "stall_at_exchange=x"}) {
        std::vector<sim::UnitDescription> units;
        std::string error;
        EXPECT_FALSE(sim::parseUnitList(text, units, error)) << text;
        std::string key(text, std::string(text).find('='));
        EXPECT_NE(std::string::npos, error.find(key)) << "the refusal names the key: " << error;
    }
}

TEST(UnitDescription, EachFaultKeyMakesItsRuleAndNoiseCanBeSwitchedOff)
{
    struct Case {
        const char* text;
        sim::FaultTrigger trigger;
        std::uint32_t match;
        sim::FaultKind kind;
    };
    const Case cases[] = {
        {"write_fails_on=0x0B", sim::FaultTrigger::Command, 0x0B, sim::FaultKind::WriteFails},
        {"noisy_on=8", sim::FaultTrigger::Command, 8, sim::FaultKind::NoisyReply},
        {"silent_on=0x1E", sim::FaultTrigger::Command, 0x1E, sim::FaultKind::Silent},
        {"silent_at_block=5", sim::FaultTrigger::Block, 5, sim::FaultKind::Silent},
        {"unplug_at_exchange=7", sim::FaultTrigger::Exchange, 7, sim::FaultKind::Unplug},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        sim::UnitDescription description;
        std::string error;
        ASSERT_TRUE(sim::parseUnitDescription(c.text, description, error)) << error;
        ASSERT_EQ(1u, description.faults.size());
        EXPECT_EQ(c.trigger, description.faults[0].trigger);
        EXPECT_EQ(c.match, description.faults[0].match);
        EXPECT_EQ(c.kind, description.faults[0].fault.kind);
        EXPECT_TRUE(description.identity.noise) << "noisy unless told otherwise";
    }
    sim::UnitDescription quiet;
    std::string error;
    ASSERT_TRUE(sim::parseUnitDescription("noise=0", quiet, error));
    EXPECT_FALSE(quiet.identity.noise);
    EXPECT_FALSE(sim::parseUnitDescription("noise=2", quiet, error));
}

TEST(UnitDescription, AControllerChangeSetsOnlyTheControllerKeysItNames)
{
    // The unit before: pid 1 and the default controller (state 3, 0x140FA0FA, 0x0110, loader 0x102).
    const struct {
        const char* text;
        bool accepted;
        std::uint16_t state;
        std::uint32_t type, loader;
    } cases[] = {
        {"type=0x110FA0D2,loader=0x103", true, 3, 0x110FA0D2, 0x103},
        {"state=2", true, 2, 0x140FA0FA, 0x102},
        {"pid=2", false, 3, 0x140FA0FA, 0x102},                  // the unit's own key, not the controller's
        {"type=0x110FA0D2,esc=0x10000", false, 3, 0x140FA0FA, 0x102},   // nothing of a refused text
        {"silent_on=8", false, 3, 0x140FA0FA, 0x102},
    };
    for (const auto& c : cases) {
        sim::UnitIdentity identity;
        identity.productId = 1;
        std::string error;
        EXPECT_EQ(c.accepted, sim::parseControllerChange(c.text, identity, error) && error.empty()) << c.text;
        EXPECT_EQ(1, identity.productId) << c.text;
        EXPECT_EQ(0x0110, identity.escFirmwareVersion) << c.text;
        EXPECT_EQ(c.state, identity.targetState) << c.text;
        EXPECT_EQ(c.type, identity.deviceTypeCode) << c.text;
        EXPECT_EQ(c.loader, identity.bootloaderVersion) << c.text;
    }
}
