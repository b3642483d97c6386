// Whether every caption of the updater's window fits its control, as a user would read it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// The static labels, buttons and group box of the updater's dialog whose text does not fit, as
// "<control id> '<text>': needs W x H, has W x H" (pixels); empty when every one fits. Each text
// is read from the running updater and measured with the control's own font and wrapping in a
// hidden copy of the same dialog, made from the updater's own template in this process.
std::vector<std::string> textsThatDoNotFit(HWND dialog);

}
