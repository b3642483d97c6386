// The transcript of a simulated unit as text.
#include "simulated_unit.h"

#include <cstdio>

namespace sim {

namespace {

std::string hex(const std::vector<std::uint8_t>& bytes, bool ok)
{
    if (!ok)
        return "-";
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

std::string milliseconds(const std::optional<double>& ms)
{
    if (!ms)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", *ms);
    return text;
}

}

std::string SimulatedUnit::transcriptLine(const TranscriptEntry& entry)
{
    return std::to_string(entry.sequence) + ' ' + milliseconds(entry.writeMs) + ' ' + milliseconds(entry.readMs) + ' ' +
           hex(entry.request, entry.writeOk) + ' ' + hex(entry.reply, entry.readOk) +
           (entry.note.empty() ? "" : " " + entry.note) + '\n';
}

std::string SimulatedUnit::transcriptText() const
{
    std::string text;
    for (const TranscriptEntry& entry : transcript_)
        text += transcriptLine(entry);
    return text;
}

}
