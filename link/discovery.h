// Finds the first programming unit among the present HID interfaces and opens it.
#pragma once

// Drops any unit held, then opens and identifies the first interface with the unit's
// vendor and product IDs. Returns resultSuccess, resultNoUnit when the interface list cannot
// be had, resultNoMatchingUnit, or identification's result with the unit left open.
int openDevice();
