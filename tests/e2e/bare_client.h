// A bare client of a simulated unit: the update's exchanges and waits, written from the
// protocol's own terms and nothing else, on the unit's HID interface. It measures what the real
// HID stack costs, so the updater's time can be compared with it in the same run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

struct BareRun {
    bool ok = false;                        // every exchange written and read
    double totalMs = 0;                     // from the lock's request to the release's reply
    std::vector<double> roundTripsMs;       // WriteFile plus ReadFile, each exchange without its wait
};

// The HID interface path of unit n (its root instance is n, as four digits); empty when absent.
std::wstring unitInterfacePath(int unit);

// Identification, then lock, unprotect, erase, address, the image in 48-byte blocks, restore and
// release, with the update's waits (20, 20, 1000 inside the erase, 4000, 20, 20, 20 a block).
BareRun bareUpdate(const std::wstring& path, const std::vector<std::uint8_t>& image);

// GetStatus count times, without waits; ok only if every one was answered. totalMs covers all.
BareRun bareStatusRequests(const std::wstring& path, int count);

double percentile(std::vector<double> values, double fraction);

}
