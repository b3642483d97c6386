#include "connected_unit.h"

ConnectedUnitRecord ConnectedUnit = {INVALID_HANDLE_VALUE, nullptr, 0, 0, 0, 0, 0, 0, 0, {}, {}, {}, 0};

namespace {

DWORD connectionCount = 0;

}

void initConnectedUnit()
{
    ConnectedUnit = ConnectedUnitRecord{};
    ConnectedUnit.handle = INVALID_HANDLE_VALUE;
}

void closeDevice()
{
    if (ConnectedUnit.handle != INVALID_HANDLE_VALUE)
        CloseHandle(ConnectedUnit.handle);
    if (ConnectedUnit.devicePath != nullptr)
        HeapFree(GetProcessHeap(), 0, ConnectedUnit.devicePath);
    initConnectedUnit();
}

DWORD unitConnection()
{
    return connectionCount;
}

void countUnitConnection()
{
    ++connectionCount;
}
