// Helpers for driving an update through the double: the unit, the image it should receive,
// the commands it saw.
#pragma once

#include "app_fixture.h"
#include "device_broadcast.h"
#include "fault_helpers.h"
#include "firmware_images.h"

#include <vector>

// The image the catalogue names, as the controller must receive it: worked out from its ID, not
// read back from the resources the updater sends it from.
inline std::vector<std::uint8_t> storedImage(WORD id)
{
    return expectedImage(id);
}

// The command codes the unit received after identification, in order.
inline std::vector<std::uint8_t> commandsAfterIdentification(const sim::SimulatedUnit& unit)
{
    std::vector<std::uint8_t> commands;
    const auto& transcript = unit.transcript();
    for (std::size_t i = 3; i < transcript.size(); ++i)
        commands.push_back(transcript[i].writeOk ? transcript[i].request[1] : 0);
    return commands;
}

inline std::wstring upperCase(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return text;
}
