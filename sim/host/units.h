// The simulated units the host serves: those of ZEFRAN_SIM_UNITS at start, and those that
// zefran-sim-ctl attaches and detaches later. Each is a root device of the prefix while attached.
#pragma once

#include "unit_description.h"

#include <string>

namespace host {

void setOutFolder(const std::wstring& folder);

// Returns the new unit's number once its HID interface is present, or -1 with error set.
int attachUnit(const sim::UnitDescription& description, std::string& error);
// Removes the root device and waits until its interface is gone; false, with the reason in error,
// when n is not attached or its device could not be removed.
bool detachUnit(int number, std::string& error);
void detachUnitLater(int number);           // for a unit's own thread, which cannot wait for itself
// Every unit, and the removals started by units that went by themselves, before it returns;
// false when a device could not be removed (each is logged).
bool detachAllUnits();

// Puts another controller on unit n's lead (keys as parseControllerChange takes them); false, with
// the reason in error, when n is not attached or a key cannot be used.
bool changeController(int number, const std::string& keys, std::string& error);

// The number of units attached now.
int attachedUnits();
// How many handles the updater holds open on unit n; -1 with the reason in error when n is not
// attached or the handles cannot be counted.
int unitClients(int number, std::string& error);

}
