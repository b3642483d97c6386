#include "unit_description.h"

#include <cerrno>
#include <cstdlib>

namespace sim {

namespace {

bool parseNumber(const std::string& text, std::uint32_t& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || parsed > 0xFFFFFFFFull || text[0] == '-')
        return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

// "A:B" into two numbers.
bool parsePair(const std::string& text, std::uint32_t& first, std::uint32_t& second)
{
    std::size_t colon = text.find(':');
    return colon != std::string::npos && parseNumber(text.substr(0, colon), first) &&
           parseNumber(text.substr(colon + 1), second);
}

template <typename T>
bool fits(std::uint32_t value, T& field)
{
    if (value > static_cast<std::uint32_t>(static_cast<T>(~T{0})))
        return false;
    field = static_cast<T>(value);
    return true;
}

bool applyIdentityKey(const std::string& key, std::uint32_t value, UnitIdentity& id, bool& known)
{
    known = true;
    if (key == "vid") return fits(value, id.vendorId);
    if (key == "pid") return fits(value, id.productId);
    if (key == "mode") return fits(value, id.bootMode);
    if (key == "state") return fits(value, id.targetState);
    if (key == "type") return fits(value, id.deviceTypeCode);
    if (key == "esc") return fits(value, id.escFirmwareVersion);
    if (key == "loader") return fits(value, id.bootloaderVersion);
    if (key == "fw") return fits(value, id.unitFirmware);
    // A report carries its ID and at least one byte, and the HID stack's lengths stop at 255.
    if (key == "in") return value >= 2 && value <= 255 && fits(value, id.inputReportLength);
    if (key == "out") return value >= 2 && value <= 255 && fits(value, id.outputReportLength);
    if (key == "noise") return value <= 1 && (id.noise = value == 1, true);
    known = false;
    return false;
}

bool applyLinkFaultKey(const std::string& key, const std::string& value, std::vector<LinkFaultRule>& faults)
{
    static const struct {
        const char* key;
        LinkFault fault;
    } keys[] = {{"stall_at_exchange", LinkFault::Stall},
                {"short_reply_at_exchange", LinkFault::ShortReply},
                {"wrong_answer_at_exchange", LinkFault::WrongAnswer},
                {"break_at_exchange", LinkFault::BrokenPipe}};
    std::uint32_t exchange = 0;
    for (const auto& entry : keys) {
        if (key == entry.key && parseNumber(value, exchange)) {
            faults.push_back({entry.fault, exchange});
            return true;
        }
    }
    return false;
}

bool applyFaultKey(const std::string& key, const std::string& value, std::vector<FaultRule>& faults)
{
    std::uint32_t a = 0, b = 0;
    if (key == "unplug_at_block" && parseNumber(value, a))
        faults.push_back({FaultTrigger::Block, a, {FaultKind::Unplug, 0, std::nullopt}});
    else if (key == "unplug_at_exchange" && parseNumber(value, a))
        faults.push_back({FaultTrigger::Exchange, a, {FaultKind::Unplug, 0, std::nullopt}});
    else if (key == "error_on" && parsePair(value, a, b))
        faults.push_back({FaultTrigger::Command, a, {FaultKind::ErrorReply, b, std::nullopt}});
    else if (key == "status_on" && parsePair(value, a, b) && b <= 0xFF)
        faults.push_back({FaultTrigger::Command, a, {FaultKind::StatusByte, 0, static_cast<std::uint8_t>(b)}});
    else if (key == "read_fails_on" && parseNumber(value, a))
        faults.push_back({FaultTrigger::Command, a, {FaultKind::ReadFails, 0, std::nullopt}});
    else if (key == "write_fails_on" && parseNumber(value, a))
        faults.push_back({FaultTrigger::Command, a, {FaultKind::WriteFails, 0, std::nullopt}});
    else if (key == "silent_on" && parseNumber(value, a))
        faults.push_back({FaultTrigger::Command, a, {FaultKind::Silent, 0, std::nullopt}});
    else if (key == "silent_at_block" && parseNumber(value, a))
        faults.push_back({FaultTrigger::Block, a, {FaultKind::Silent, 0, std::nullopt}});
    else if (key == "noisy_on" && parseNumber(value, a))
        faults.push_back({FaultTrigger::Command, a, {FaultKind::NoisyReply, 0, std::nullopt}});
    else
        return false;
    return true;
}

// Hands each key=value pair of a comma-separated text to take, which says whether it could use
// it; the first pair it cannot use ends the walk with a message in error.
template <typename Take>
bool eachPair(const std::string& text, std::string& error, Take take)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(',', start);
        std::string pair = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (pair.empty())
            continue;
        std::size_t equals = pair.find('=');
        std::string key = pair.substr(0, equals);
        std::string value = equals == std::string::npos ? "" : pair.substr(equals + 1);
        if (!take(key, value)) {
            error = "cannot use '" + pair + "'";
            return false;
        }
    }
    return true;
}

}

bool parseUnitDescription(const std::string& text, UnitDescription& description, std::string& error)
{
    description = UnitDescription{};
    return eachPair(text, error, [&](const std::string& key, const std::string& value) {
        std::uint32_t number = 0;
        bool known = false;
        if (parseNumber(value, number) && applyIdentityKey(key, number, description.identity, known))
            return true;
        return !known && (applyFaultKey(key, value, description.faults) ||
                          applyLinkFaultKey(key, value, description.linkFaults));
    });
}

bool parseControllerChange(const std::string& text, UnitIdentity& identity, std::string& error)
{
    UnitIdentity changed = identity;
    bool parsed = eachPair(text, error, [&](const std::string& key, const std::string& value) {
        std::uint32_t number = 0;
        bool known = false;
        bool controllerKey = key == "state" || key == "type" || key == "esc" || key == "loader";
        return controllerKey && parseNumber(value, number) && applyIdentityKey(key, number, changed, known);
    });
    if (parsed)
        identity = changed;
    return parsed;
}

bool parseUnitList(const char* text, std::vector<UnitDescription>& units, std::string& error)
{
    units.clear();
    if (text == nullptr) {
        units.emplace_back();
        return true;
    }
    std::string list = text;
    if (list == "none")
        return true;
    std::size_t start = 0;
    do {
        std::size_t end = list.find(';', start);
        UnitDescription description;
        if (!parseUnitDescription(list.substr(start, end == std::string::npos ? std::string::npos : end - start), description, error))
            return false;
        units.push_back(description);
        start = end == std::string::npos ? list.size() + 1 : end + 1;
    } while (start <= list.size());
    return true;
}

}
