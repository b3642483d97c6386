// The simulated units of this process: those of ZEFRAN_SIM_UNITS at start, and those that
// zefran-sim-ctl attaches and detaches while the updater runs.
#pragma once

#include "unit_description.h"

#include <string>
#include <vector>

namespace dropin {

// Once per process, at the first enumeration: units, output folder, control pipe.
void startSimulation();

// The interface paths of the units plugged in now, in the order they were attached.
std::vector<std::wstring> presentUnitPaths();

// Returns the new unit's number, or -1 with error set. Units attached while the updater runs are
// announced to its windows; those present at start are simply there.
int attachUnit(const sim::UnitDescription& description, bool announce, std::string& error);
bool detachUnit(int number);
// For a unit's own threads, which cannot wait for themselves.
void detachUnitLater(int number);

// How many handles the updater holds open on unit n; -1 when n is not attached.
int unitClients(int number);

void saveAllFlash();

}
