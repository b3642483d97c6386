// Classification of the opened unit, and the image catalogue's lookup.
#include "classification.h"
#include "connected_unit.h"
#include "image_catalogue.h"

#include <gtest/gtest.h>

namespace {

class ClassificationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        initConnectedUnit();
        UpdateTarget = {};
        ConnectedUnit.targetState = 3;
    }
    void TearDown() override { initConnectedUnit(); }
};

}

TEST_F(ClassificationTest, TypeCodesDecideTheOutcomeAndAcceptedOnesTheTarget)
{
    struct Case {
        DWORD typeCode;
        ClassificationOutcome outcome;
        WORD cellCount;
        WORD variantCode;
    };
    const Case cases[] = {
        {0x110FA0FA, ClassificationOutcome::Accepted, 17, 250},
        {0x110FA0D2, ClassificationOutcome::Accepted, 17, 210},
        {0x140FA0FA, ClassificationOutcome::Accepted, 20, 250},
        {0x140FA0D2, ClassificationOutcome::Accepted, 20, 210},
        {0x140FA0AA, ClassificationOutcome::Accepted, 20, 170},
        {0x110FA0AA, ClassificationOutcome::RecognisedOnly, 0, 0},   // its bytes say 17 cells, 170: not accepted
        {0x0A0640AA, ClassificationOutcome::RecognisedOnly, 0, 0},
        {0x140FA0FB, ClassificationOutcome::Incompatible, 0, 0},
        {0x00000000, ClassificationOutcome::Incompatible, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typeCode);
        SetUp();
        ConnectedUnit.targetIdentity.deviceTypeCode = c.typeCode;
        EXPECT_EQ(c.outcome, classifyDevice(0));
        bool accepted = c.outcome == ClassificationOutcome::Accepted;
        EXPECT_EQ(c.cellCount, UpdateTarget.cellCount);
        EXPECT_EQ(c.variantCode, UpdateTarget.variantCode);
        EXPECT_EQ(accepted ? 250 : 0, UpdateTarget.familyCode);
        EXPECT_EQ(accepted ? 0x0112 : 0, UpdateTarget.offeredFirmwareVersion);
    }
}

TEST_F(ClassificationTest, OpenResultThenModeThenControllerStateComeFirst)
{
    ConnectedUnit.targetIdentity.deviceTypeCode = 0x140FA0FA;
    for (int failed : {-1, -3, -4, 5})
        EXPECT_EQ(ClassificationOutcome::NoUnit, classifyDevice(failed)) << failed;

    ConnectedUnit.unitBootMode = 1;
    EXPECT_EQ(ClassificationOutcome::WrongMode, classifyDevice(0));     // whatever state and type code
    ConnectedUnit.unitBootMode = 0;
    for (WORD state : {0, 2, 4, 0x0103}) {
        ConnectedUnit.targetState = state;
        EXPECT_EQ(ClassificationOutcome::NoController, classifyDevice(0)) << state;
    }
    EXPECT_EQ(0, UpdateTarget.familyCode) << "only Accepted writes the target";
}

TEST_F(ClassificationTest, TargetOutlivesLaterOutcomes)
{
    ConnectedUnit.targetIdentity.deviceTypeCode = 0x110FA0D2;
    ASSERT_EQ(ClassificationOutcome::Accepted, classifyDevice(0));
    ConnectedUnit.targetIdentity.deviceTypeCode = 0x12345678;
    ASSERT_EQ(ClassificationOutcome::Incompatible, classifyDevice(0));
    EXPECT_EQ(ClassificationOutcome::NoUnit, classifyDevice(-4));
    EXPECT_EQ(17, UpdateTarget.cellCount);
    EXPECT_EQ(210, UpdateTarget.variantCode);
    EXPECT_EQ(250, UpdateTarget.familyCode);
}

TEST(ImageCatalogue, FamiliesTwoFiftyAndEightHundredAloneTestTheCellCount)
{
    struct Case {
        WORD family, variant, cells, image;
    };
    const Case cases[] = {
        {250, 250, 17, 151}, {250, 250, 20, 172}, {250, 250, 21, 122},  // 250 knows 17 and 20 cells only
        {250, 170, 20, 174}, {250, 170, 17, 158}, {250, 210, 17, 157}, {250, 210, 20, 173},
        {250, 220, 17, 150}, {250, 220, 20, 150},                        // named, not stored
        {800, 260, 21, 175}, {800, 260, 20, 122}, {800, 180, 21, 177}, {800, 220, 21, 176},
        {3, 90, 0, 200}, {3, 90, 17, 200},                               // cell count not looked at
        // Every other row, once each; the cell count is never looked at.
        {101, 40, 99, 126}, {101, 55, 0, 127}, {101, 70, 0, 128}, {101, 90, 0, 130},
        {200, 160, 0, 119}, {200, 200, 0, 120}, {201, 200, 0, 152}, {202, 200, 0, 153},
        {245, 160, 0, 154}, {245, 200, 0, 155}, {245, 300, 0, 156}, {275, 200, 0, 159},
        {300, 80, 0, 124}, {300, 120, 0, 125}, {400, 30, 0, 131}, {400, 40, 0, 132}, {400, 55, 0, 133},
        {500, 60, 0, 140}, {500, 90, 0, 141}, {500, 140, 0, 142},
        {550, 90, 0, 146}, {550, 120, 0, 147}, {550, 140, 0, 148},
        {600, 80, 0, 160}, {700, 60, 0, 170}, {700, 90, 1, 171},
        {0, 0, 0, 122},                                                  // the target at program start
        {250, 251, 17, 122}, {3, 91, 0, 122}, {999, 90, 0, 122},
    };
    for (const Case& c : cases) {
        UpdateTarget = {c.cells, c.variant, c.family, 0x0112};
        EXPECT_EQ(c.image, selectImage()) << c.family << "/" << c.variant << "/" << c.cells;
    }
    UpdateTarget = {};
}
