#include "units.h"

#include "host_log.h"
#include "host_unit.h"
#include "root_devices.h"
#include "unit_handles.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace host {

namespace {

// Adding takes about 0.25 s and removing about 0.3 s on an idle machine; the limits leave room
// for a loaded one.
constexpr unsigned interfaceTimeoutMs = 20000;

SRWLOCK registryLock = SRWLOCK_INIT;
std::vector<std::unique_ptr<HostUnit>> attached;
std::vector<HANDLE> removals;               // the threads removing units that went by themselves
int nextNumber = 0;
std::wstring outFolder;

std::unique_ptr<HostUnit> take(int number)
{
    AcquireSRWLockExclusive(&registryLock);
    std::unique_ptr<HostUnit> unit;
    for (auto it = attached.begin(); it != attached.end(); ++it) {
        if ((*it)->number() == number) {
            unit = std::move(*it);
            attached.erase(it);
            break;
        }
    }
    ReleaseSRWLockExclusive(&registryLock);
    return unit;
}

std::string ascii(const std::wstring& id)
{
    std::string text;
    for (wchar_t c : id)
        text += c < 0x80 ? static_cast<char>(c) : '?';
    return text;
}

DWORD WINAPI detachThread(LPVOID parameter)
{
    int number = static_cast<int>(reinterpret_cast<INT_PTR>(parameter));
    std::string error;
    if (!detachUnit(number, error))
        logLine("unit " + std::to_string(number) + ": " + error);
    return 0;
}

void joinRemovals()
{
    AcquireSRWLockExclusive(&registryLock);
    std::vector<HANDLE> threads;
    threads.swap(removals);
    ReleaseSRWLockExclusive(&registryLock);
    for (HANDLE thread : threads) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

}

void setOutFolder(const std::wstring& folder)
{
    outFolder = folder;
}

int attachUnit(const sim::UnitDescription& description, std::string& error)
{
    AcquireSRWLockExclusive(&registryLock);
    int number = nextNumber++;
    ReleaseSRWLockExclusive(&registryLock);
    auto unit = std::make_unique<HostUnit>(number, description, outFolder, detachUnitLater);
    std::wstring id = unit->instanceId();
    if (!unit->listen()) {
        error = "the unit's pipe could not be created";
        return -1;
    }
    if (!addRootDevice(id, error))
        return -1;
    AcquireSRWLockExclusive(&registryLock);
    attached.push_back(std::move(unit));
    ReleaseSRWLockExclusive(&registryLock);
    if (!waitForInterface(id, true, interfaceTimeoutMs)) {
        error = "the unit's HID interface did not appear";
        std::string ignored;
        detachUnit(number, ignored);
        return -1;
    }
    return number;
}

bool detachUnit(int number, std::string& error)
{
    std::unique_ptr<HostUnit> unit = take(number);
    if (!unit) {
        error = "no unit " + std::to_string(number) + " is attached";
        return false;
    }
    // The device goes first: hidclass fails the read the updater waits in, and the driver lets
    // go of the pipe; then the pipe closes.
    unit->leave();
    bool removed = removeRootDevice(unit->instanceId());
    if (!removed)
        error = "Wine's setupapi did not remove the unit's device " + ascii(unit->instanceId());
    else if (!waitForInterface(unit->instanceId(), false, interfaceTimeoutMs))
        error = "the unit's HID interface was still present " + std::to_string(interfaceTimeoutMs / 1000) +
                " s after its device was removed";
    unit->stop();
    return error.empty();
}

void detachUnitLater(int number)
{
    HANDLE thread = CreateThread(nullptr, 0, detachThread, reinterpret_cast<LPVOID>(static_cast<INT_PTR>(number)), 0, nullptr);
    if (thread == nullptr)
        return;
    AcquireSRWLockExclusive(&registryLock);
    removals.push_back(thread);
    ReleaseSRWLockExclusive(&registryLock);
}

bool detachAllUnits()
{
    joinRemovals();
    bool allRemoved = true;
    for (;;) {
        AcquireSRWLockShared(&registryLock);
        int number = attached.empty() ? -1 : attached.front()->number();
        ReleaseSRWLockShared(&registryLock);
        if (number < 0)
            break;
        std::string error;
        if (!detachUnit(number, error)) {
            logLine("unit " + std::to_string(number) + ": " + error);
            allRemoved = false;
        }
    }
    joinRemovals();                         // a unit pulled out meanwhile
    return allRemoved;
}

bool changeController(int number, const std::string& keys, std::string& error)
{
    AcquireSRWLockShared(&registryLock);
    HostUnit* found = nullptr;
    for (const auto& unit : attached)
        if (unit->number() == number)
            found = unit.get();
    bool changed = found != nullptr && found->changeController(keys, error);
    ReleaseSRWLockShared(&registryLock);
    if (found == nullptr)
        error = "no unit " + std::to_string(number) + " is attached";
    return changed;
}

int attachedUnits()
{
    AcquireSRWLockShared(&registryLock);
    int count = static_cast<int>(attached.size());
    ReleaseSRWLockShared(&registryLock);
    return count;
}

int unitClients(int number, std::string& error)
{
    std::wstring id;
    AcquireSRWLockShared(&registryLock);
    for (const auto& unit : attached)
        if (unit->number() == number)
            id = unit->instanceId();
    ReleaseSRWLockShared(&registryLock);
    if (id.empty()) {
        error = "no unit " + std::to_string(number) + " is attached";
        return -1;
    }
    return updaterHandlesOn(id, error);
}

}
