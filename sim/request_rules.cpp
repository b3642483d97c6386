#include "request_rules.h"

#include "loader_errors.h"
#include "unit_protocol.h"

namespace sim {

namespace {

struct FixedLong {
    std::size_t offset;
    std::uint32_t value;
    Refusal refusal;
};

// What each command fixes beyond its code: the length byte, the parameter values it allows, and
// 32-bit fields. ReadTargetIdentity fixes nothing: it goes out over the previous reply.
struct CommandRule {
    std::uint8_t command;
    int length;                             // -1: any multiple of 4 up to the payload area
    bool lengthFixed;
    int parameterMax;                       // -1: byte 3 not looked at
    int parameterOnly;                      // -1: any value up to parameterMax
    FixedLong longs[2];
    int longCount;
};

constexpr Refusal badAddress = {errorMalformedRequest, "bad-address"};
constexpr Refusal badPayload = {errorMalformedRequest, "bad-payload"};
constexpr Refusal badKey = {errorBadKey, "bad-key"};

const CommandRule rules[] = {
    {getStatus, 0x00, true, -1, -1, {}, 0},
    {readMemory, 0x0C, true, -1, -1, {{4, ownVersionAddress, badAddress}}, 1},
    {setSystemLock, 0x01, true, 1, -1, {}, 0},
    {writeBlock, -1, false, -1, -1, {}, 0},
    {readTargetInfo, 0x08, true, -1, -1, {{4, targetInfoLength, badPayload}, {8, targetInfoCheck, badPayload}}, 2},
    {eraseFirmware, 0x04, true, -1, -1, {{4, confirmationKey, badKey}}, 1},
    {setWriteAddress, 0x09, true, 1, 1, {{4, firmwareStartAddress, badAddress}, {8, confirmationKey, badKey}}, 2},
    {setWriteProtection, 0x01, true, 1, -1, {}, 0},
    {readTargetIdentity, 0, false, -1, -1, {}, 0},
};

const CommandRule* ruleFor(std::uint8_t command)
{
    for (const CommandRule& rule : rules)
        if (rule.command == command)
            return &rule;
    return nullptr;
}

std::optional<Refusal> lengthByteRefusal(const CommandRule& rule, std::uint8_t lengthByte)
{
    if (rule.lengthFixed && lengthByte != rule.length)
        return Refusal{errorMalformedRequest, "bad-length"};
    if (rule.command == writeBlock && (lengthByte % 4 != 0 || lengthByte > maxBlockBytes))
        return Refusal{errorBadLength, "bad-length"};
    return std::nullopt;
}

std::optional<Refusal> parameterRefusal(const CommandRule& rule, std::uint8_t parameter)
{
    if (rule.parameterMax < 0)
        return std::nullopt;
    if (parameter > rule.parameterMax || (rule.parameterOnly >= 0 && parameter != rule.parameterOnly))
        return Refusal{errorMalformedRequest, "bad-parameter"};
    return std::nullopt;
}

}

std::optional<Refusal> malformation(const std::uint8_t* request, std::size_t length)
{
    if (length < headerSize)
        return Refusal{errorShortReport, "short-report"};
    if (request[0] != requestReportId)
        return Refusal{errorMalformedRequest, "bad-report-id"};
    const CommandRule* rule = ruleFor(request[1]);
    if (rule == nullptr)
        return Refusal{errorUnknownCommand, "unknown-command"};
    if (auto refusal = lengthByteRefusal(*rule, request[2]))
        return refusal;
    if (auto refusal = parameterRefusal(*rule, request[3]))
        return refusal;
    std::size_t needed = rule->command == writeBlock ? headerSize + request[2] : headerSize;
    for (int i = 0; i < rule->longCount; ++i)
        if (rule->longs[i].offset + 4 > needed)
            needed = rule->longs[i].offset + 4;
    if (length < needed)
        return Refusal{errorShortReport, "short-report"};
    for (int i = 0; i < rule->longCount; ++i)
        if (readLong(request, rule->longs[i].offset) != rule->longs[i].value)
            return rule->longs[i].refusal;
    return std::nullopt;
}

}
