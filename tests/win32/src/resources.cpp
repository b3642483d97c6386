// kernel32 resource calls over the .res file that windres compiled from resources/.
#include "state.h"

#include <fstream>
#include <iterator>

using win32double::Resource;
using win32double::detail::fail;
using win32double::detail::state;

namespace {

std::uint32_t read32(const std::vector<std::uint8_t>& file, std::size_t at)
{
    return file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) | (static_cast<std::uint32_t>(file[at + 3]) << 24);
}

std::uint16_t read16(const std::vector<std::uint8_t>& file, std::size_t at)
{
    return static_cast<std::uint16_t>(file[at] | (file[at + 1] << 8));
}

// A type or name in a resource header: 0xFFFF and an ordinal, or a NUL-terminated UTF-16 string.
std::size_t readId(const std::vector<std::uint8_t>& file, std::size_t at, WORD* id, std::u16string* name)
{
    if (read16(file, at) == 0xFFFF) {
        *id = read16(file, at + 2);
        return at + 4;
    }
    for (; read16(file, at) != 0; at += 2)
        *name += static_cast<char16_t>(read16(file, at));
    return at + 2;
}

std::vector<Resource> load()
{
    std::ifstream in(ZEFRAN_RESOURCE_FILE, std::ios::binary);
    std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<Resource> loaded;
    std::size_t at = 0;
    while (at + 32 <= file.size()) {
        std::uint32_t dataSize = read32(file, at);
        std::uint32_t headerSize = read32(file, at + 4);
        Resource resource;
        std::size_t field = readId(file, at + 8, &resource.typeId, &resource.typeName);
        field = readId(file, field, &resource.nameId, &resource.name);
        field = (field + 3) & ~std::size_t{3};
        resource.language = read16(file, field + 6);    // after DataVersion and MemoryFlags
        std::size_t data = at + headerSize;
        resource.data.assign(file.begin() + data, file.begin() + data + dataSize);
        if (resource.typeId == 6)
            for (std::size_t i = 0; i + 1 < dataSize; i += 2)
                resource.wide.push_back(static_cast<WCHAR>(read16(resource.data, i)));
        if (dataSize != 0)                  // the file starts with an empty entry
            loaded.push_back(std::move(resource));
        at = (data + dataSize + 3) & ~std::size_t{3};
    }
    return loaded;
}

bool matches(WORD id, const std::u16string& name, LPCWSTR wanted)
{
    if (IS_INTRESOURCE(wanted))
        return id != 0 && id == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wanted));
    std::u16string upper;
    for (const WCHAR* c = wanted; *c != 0; ++c)
        upper += static_cast<char16_t>(*c >= L'a' && *c <= L'z' ? *c - 32 : *c);
    return id == 0 && name == upper;        // named resources are stored upper case
}

const Resource* find(LPCWSTR type, LPCWSTR name, LANGID language)
{
    for (const Resource& resource : win32double::resources())
        if (matches(resource.typeId, resource.typeName, type) && matches(resource.nameId, resource.name, name) &&
            resource.language == language)
            return &resource;
    return nullptr;
}

const Resource* findAnyLanguage(LPCWSTR type, LPCWSTR name)
{
    for (const Resource& resource : win32double::resources())
        if (matches(resource.typeId, resource.typeName, type) && matches(resource.nameId, resource.name, name))
            return &resource;
    return nullptr;
}

HRSRC handleOf(const Resource* resource)
{
    return reinterpret_cast<HRSRC>(const_cast<Resource*>(resource));
}

const Resource* resourceOf(void* handle)
{
    return static_cast<const Resource*>(handle);
}

}

namespace win32double {

const std::vector<Resource>& resources()
{
    static const std::vector<Resource> loaded = load();
    return loaded;
}

HINSTANCE moduleInstance()
{
    return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x00400000));
}

void setUserInterfaceLanguage(LANGID language)
{
    state().userInterfaceLanguage = language;
}

}

extern "C" {

LANGID WINAPI GetUserDefaultUILanguage(void)
{
    return state().userInterfaceLanguage;
}

// Without a language Windows tries the neutral language, the user interface language, its
// primary language (neutral, then default sublanguage), US and neutral English, and finally
// takes whatever language the resource has: a German-only resource serves every user.
HRSRC WINAPI FindResourceW(HMODULE, LPCWSTR lpName, LPCWSTR lpType)
{
    LANGID ui = state().userInterfaceLanguage;
    const LANGID order[] = {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), ui,
                            MAKELANGID(PRIMARYLANGID(ui), SUBLANG_NEUTRAL),
                            MAKELANGID(PRIMARYLANGID(ui), SUBLANG_DEFAULT), 0x0409, 0x0009};
    for (LANGID language : order)
        if (const Resource* resource = find(lpType, lpName, language))
            return handleOf(resource);
    if (const Resource* resource = findAnyLanguage(lpType, lpName))
        return handleOf(resource);
    fail(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

// An explicit language is matched exactly; that is what the product relies on it for.
HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage)
{
    if (wLanguage == MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL))
        return FindResourceW(hModule, lpName, lpType);
    if (const Resource* resource = find(lpType, lpName, wLanguage))
        return handleOf(resource);
    fail(findAnyLanguage(lpType, lpName) ? ERROR_RESOURCE_LANG_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo)
{
    return hResInfo;
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo)
{
    if (hResInfo == nullptr)
        return 0;
    const Resource* resource = resourceOf(hResInfo);
    return static_cast<DWORD>(resource->typeId == 6 ? resource->wide.size() * sizeof(WCHAR) : resource->data.size());
}

LPVOID WINAPI LockResource(HGLOBAL hResData)
{
    if (hResData == nullptr)
        return nullptr;
    const Resource* resource = resourceOf(hResData);
    const void* data = resource->typeId == 6 ? static_cast<const void*>(resource->wide.data()) : resource->data.data();
    return const_cast<void*>(data);
}

}
