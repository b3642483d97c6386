#include "units.h"

#include "control_client.h"
#include "control_pipe.h"
#include "notifications.h"
#include "pipe_unit.h"

#include <windows.h>

#include <memory>

namespace dropin {

namespace {

CRITICAL_SECTION registryLock;
std::vector<std::unique_ptr<PipeUnit>> attached;    // plugged in now
std::vector<std::unique_ptr<PipeUnit>> detached;    // kept until the process ends: threads may still use them
int nextNumber = 0;
std::wstring outFolder;

std::wstring chooseOutFolder()
{
    std::wstring folder = simulationOutFolder();
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

BOOL CALLBACK startOnce(PINIT_ONCE, PVOID, PVOID*)
{
    InitializeCriticalSection(&registryLock);
    outFolder = chooseOutFolder();
    std::vector<sim::UnitDescription> descriptions;
    std::string error;
    char units[4096];
    DWORD length = GetEnvironmentVariableA("ZEFRAN_SIM_UNITS", units, sizeof units);
    if (!sim::parseUnitList(length == 0 || length >= sizeof units ? nullptr : units, descriptions, error))
        OutputDebugStringA(("zefran-sim: ZEFRAN_SIM_UNITS: " + error + "\n").c_str());
    for (const sim::UnitDescription& description : descriptions)
        attachUnit(description, false, error);
    startControlPipe(outFolder);
    return TRUE;
}

DWORD WINAPI detachThread(LPVOID parameter)
{
    detachUnit(static_cast<int>(reinterpret_cast<INT_PTR>(parameter)));
    return 0;
}

}

void startSimulation()
{
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, startOnce, nullptr, nullptr);
}

std::vector<std::wstring> presentUnitPaths()
{
    std::vector<std::wstring> paths;
    EnterCriticalSection(&registryLock);
    for (const auto& unit : attached)
        paths.push_back(unit->path());
    LeaveCriticalSection(&registryLock);
    return paths;
}

int attachUnit(const sim::UnitDescription& description, bool announce, std::string& error)
{
    EnterCriticalSection(&registryLock);
    int number = nextNumber++;
    auto unit = std::make_unique<PipeUnit>(number, description, outFolder);
    bool started = unit->start();
    std::wstring path = unit->path();
    if (started)
        attached.push_back(std::move(unit));
    LeaveCriticalSection(&registryLock);
    if (!started) {
        error = "the unit's pipe could not be created";
        return -1;
    }
    // Outside the lock: the window's arrival handling enumerates the units.
    if (announce)
        notifyWindows(true, path);
    return number;
}

bool detachUnit(int number)
{
    std::unique_ptr<PipeUnit> unit;
    EnterCriticalSection(&registryLock);
    for (auto it = attached.begin(); it != attached.end(); ++it) {
        if ((*it)->number() == number) {
            unit = std::move(*it);
            attached.erase(it);
            break;
        }
    }
    LeaveCriticalSection(&registryLock);
    if (!unit)
        return false;
    // The pipe goes first, so that whatever the updater does next fails as with an unplugged unit.
    unit->stop();
    std::wstring path = unit->path();
    EnterCriticalSection(&registryLock);
    detached.push_back(std::move(unit));
    LeaveCriticalSection(&registryLock);
    notifyWindows(false, path);
    return true;
}

void detachUnitLater(int number)
{
    HANDLE thread = CreateThread(nullptr, 0, detachThread, reinterpret_cast<LPVOID>(static_cast<INT_PTR>(number)), 0, nullptr);
    if (thread != nullptr)
        CloseHandle(thread);
}

int unitClients(int number)
{
    int clients = -1;
    EnterCriticalSection(&registryLock);
    for (const auto& unit : attached)
        if (unit->number() == number)
            clients = unit->clients();
    LeaveCriticalSection(&registryLock);
    return clients;
}

void saveAllFlash()
{
    for (const auto& unit : attached)
        unit->saveFlash();
}

}
