// Opens the first programming unit and prints what identification learnt. Built by the Windows
// preset so that the link library is linked against the real hid.dll and setupapi.dll imports;
// it is also a quick check on a machine with a real unit attached.
#include "connected_unit.h"
#include "discovery.h"

#include <cstdio>

int main()
{
    initConnectedUnit();
    int result = openDevice();
    std::printf("openDevice: %d\n", result);
    if (ConnectedUnit.handle != INVALID_HANDLE_VALUE) {
        std::printf("product %u, reports out %lu in %lu, boot mode %u, unit firmware 0x%08lx\n",
                    static_cast<unsigned>(ConnectedUnit.productId),
                    static_cast<unsigned long>(ConnectedUnit.outputReportLength),
                    static_cast<unsigned long>(ConnectedUnit.inputReportLength),
                    static_cast<unsigned>(ConnectedUnit.unitBootMode),
                    static_cast<unsigned long>(ConnectedUnit.unitFirmwareVersion));
        std::printf("target state %u, controller firmware 0x%04x, type 0x%08lx, loader 0x%08lx\n",
                    static_cast<unsigned>(ConnectedUnit.targetState),
                    static_cast<unsigned>(ConnectedUnit.targetInfo.escFirmwareVersion),
                    static_cast<unsigned long>(ConnectedUnit.targetIdentity.deviceTypeCode),
                    static_cast<unsigned long>(ConnectedUnit.targetIdentity.bootloaderVersion));
    }
    closeDevice();
    return 0;
}
