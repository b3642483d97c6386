#include "classification.h"

#include "connected_unit.h"
#include "firmware_version.h"
#include "protocol.h"
#include "result_codes.h"

UpdateTargetRecord UpdateTarget = {0, 0, 0, 0};

namespace {

// Type codes are matched as whole values. Their bytes happen to spell cell count and variant,
// but the maker accepts only these combinations.
struct AcceptedController {
    DWORD deviceTypeCode;
    WORD cellCount;
    WORD variantCode;
};

const AcceptedController acceptedControllers[] = {
    {0x110FA0FA, 17, 250},
    {0x110FA0D2, 17, 210},
    {0x140FA0FA, 20, 250},
    {0x140FA0D2, 20, 210},
    {0x140FA0AA, 20, 170},
};

// Known controllers this edition offers no firmware for: they are left alone, not refused.
const DWORD recognisedOnlyCodes[] = {0x110FA0AA, 0x0A0640AA};

constexpr WORD acceptedFamilyCode = 250;

void acceptTarget(const AcceptedController& controller)
{
    UpdateTarget.offeredFirmwareVersion = carriedFirmwareVersion;
    UpdateTarget.familyCode = acceptedFamilyCode;
    UpdateTarget.variantCode = controller.variantCode;
    UpdateTarget.cellCount = controller.cellCount;
}

}

ClassificationOutcome classifyDevice(int openResult)
{
    if (openResult != resultSuccess)
        return ClassificationOutcome::NoUnit;
    if (ConnectedUnit.unitBootMode != 0)
        return ClassificationOutcome::WrongMode;
    if (ConnectedUnit.targetState != targetStateUpdatable)
        return ClassificationOutcome::NoController;

    DWORD typeCode = ConnectedUnit.targetIdentity.deviceTypeCode;
    for (const AcceptedController& controller : acceptedControllers) {
        if (controller.deviceTypeCode == typeCode) {
            acceptTarget(controller);
            return ClassificationOutcome::Accepted;
        }
    }
    for (DWORD code : recognisedOnlyCodes)
        if (code == typeCode)
            return ClassificationOutcome::RecognisedOnly;
    return ClassificationOutcome::Incompatible;
}
