// Simulated units as root-enumerated devices of the prefix, served by the zefranhid driver:
// created and removed through Wine's own setupapi, so that its PnP manager, hidclass and the
// device notifications are the real ones.
#pragma once

#include <string>
#include <vector>

namespace host {

// ROOT\VID_21B8&PID_0002\0003 for unit 3: the HID interface path ends in
// hid#vid_21b8&pid_0002#0003#{...}, named after the last two parts, as hidclass builds it.
std::wstring rootInstanceId(unsigned short vendorId, unsigned short productId, int number);
std::wstring instancePart(int number);      // "0003"

// Registers the device and has the driver enumerate it: the driver's START asks the host's pipe
// for the unit, so the pipe must be served before this is called.
bool addRootDevice(const std::wstring& instanceId, std::string& error);
bool removeRootDevice(const std::wstring& instanceId);

// Root devices of the driver left in the prefix by an earlier host (the prefix keeps them, and
// services.exe starts their driver in every later session): all removed.
int removeLeftoverDevices();

// The HID interface paths present now, lower case.
std::vector<std::wstring> presentHidPaths();
// The HID interface path of the root device, lower case; empty while it is not present.
std::wstring presentInterfacePath(const std::wstring& instanceId);
// Whether the HID interface of the root device is present (or gone), waiting up to timeoutMs.
bool waitForInterface(const std::wstring& instanceId, bool present, unsigned timeoutMs);

}
