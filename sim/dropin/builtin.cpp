#include "dropin_protocol.h"

#include <string>

namespace dropin {

// Loaded by full path: a module named like the drop-in but from the system folder is another
// module, and Wine serves it with its builtin.
HMODULE builtinModule(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    return LoadLibraryW((std::wstring(folder) + L"\\" + name).c_str());
}

}
