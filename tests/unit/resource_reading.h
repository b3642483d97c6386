// Reading the compiled resources in tests, through the double's loader.
#pragma once

#include "win32_double.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

constexpr WORD english = 0x0009;
constexpr WORD german = 0x0407;

inline std::uint16_t le16(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return le16(bytes, at) | (static_cast<std::uint32_t>(le16(bytes, at + 2)) << 16);
}

// The resource of that type, ID and language in the compiled file, or null.
inline const win32double::Resource* compiledResource(WORD type, WORD id, WORD language)
{
    for (const auto& resource : win32double::resources())
        if (resource.typeId == type && resource.nameId == id && resource.language == language)
            return &resource;
    return nullptr;
}

// Every message of one language, walked block by block as the product walks them:
// sixteen strings a block, each a length in WCHARs followed by its characters.
inline std::map<unsigned, std::wstring> messages(WORD language)
{
    std::map<unsigned, std::wstring> texts;
    for (const auto& resource : win32double::resources()) {
        if (resource.typeId != 6 || resource.language != language)
            continue;
        std::size_t at = 0;
        for (unsigned i = 0; i < 16 && at < resource.wide.size(); ++i) {
            std::size_t length = static_cast<std::size_t>(resource.wide[at++]);
            if (length != 0)
                texts[(resource.nameId - 1u) * 16u + i] = std::wstring(resource.wide.begin() + at, resource.wide.begin() + at + length);
            at += length;
        }
    }
    return texts;
}
