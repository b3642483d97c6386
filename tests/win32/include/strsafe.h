// Test double: the bounded string functions of <strsafe.h> that the updater uses,
// with the Windows results: the destination is always terminated, and truncation is an error.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <string>

#define S_OK (static_cast<HRESULT>(0))
#define STRSAFE_E_INSUFFICIENT_BUFFER (static_cast<HRESULT>(0x8007007Au))
#define STRSAFE_E_INVALID_PARAMETER (static_cast<HRESULT>(0x80070057u))
#define STRSAFE_MAX_CCH 2147483647u
#define SUCCEEDED(hr) ((static_cast<HRESULT>(hr)) >= 0)
#define FAILED(hr) ((static_cast<HRESULT>(hr)) < 0)

inline HRESULT StringCchLengthW(PCWSTR psz, std::size_t cchMax, std::size_t* pcchLength)
{
    HRESULT result = STRSAFE_E_INVALID_PARAMETER;
    SIZE_T length = 0;
    if (psz != nullptr && cchMax != 0 && cchMax <= STRSAFE_MAX_CCH) {
        while (length < cchMax && psz[length] != L'\0')
            ++length;
        if (length < cchMax)
            result = S_OK;
    }
    if (pcchLength != nullptr)
        *pcchLength = SUCCEEDED(result) ? length : 0;
    return result;
}

inline HRESULT StringCchCopyW(LPWSTR pszDest, SIZE_T cchDest, PCWSTR pszSrc)
{
    if (cchDest == 0 || cchDest > STRSAFE_MAX_CCH)
        return STRSAFE_E_INVALID_PARAMETER;
    SIZE_T i = 0;
    for (; i + 1 < cchDest && pszSrc[i] != L'\0'; ++i)
        pszDest[i] = pszSrc[i];
    pszDest[i] = L'\0';
    return pszSrc[i] == L'\0' ? S_OK : STRSAFE_E_INSUFFICIENT_BUFFER;
}

inline HRESULT StringCchCatW(LPWSTR pszDest, SIZE_T cchDest, PCWSTR pszSrc)
{
    SIZE_T used = 0;
    if (FAILED(StringCchLengthW(pszDest, cchDest, &used)))
        return STRSAFE_E_INVALID_PARAMETER;
    return StringCchCopyW(pszDest + used, cchDest - used, pszSrc);
}

// Windows' wide printf reads %s and %c as wide; the C library here reads them as narrow.
// The format is rewritten to %ls and %lc before it reaches vswprintf.
inline std::wstring windowsWideFormat(PCWSTR format)
{
    std::wstring result;
    for (const WCHAR* p = format; *p != L'\0'; ++p) {
        result += *p;
        if (*p != L'%')
            continue;
        if (p[1] == L'%') {
            result += *++p;
            continue;
        }
        while (p[1] != L'\0' && std::wcschr(L"-+ #0123456789.*", p[1]) != nullptr)
            result += *++p;
        if (p[1] == L's' || p[1] == L'c')
            result += L'l';
    }
    return result;
}

inline HRESULT StringCchPrintfW(LPWSTR pszDest, SIZE_T cchDest, PCWSTR pszFormat, ...)
{
    if (cchDest == 0 || cchDest > STRSAFE_MAX_CCH)
        return STRSAFE_E_INVALID_PARAMETER;
    std::va_list arguments;
    va_start(arguments, pszFormat);
    int written = std::vswprintf(pszDest, cchDest, windowsWideFormat(pszFormat).c_str(), arguments);
    va_end(arguments);
    if (written < 0 || static_cast<SIZE_T>(written) >= cchDest) {
        pszDest[cchDest - 1] = L'\0';      // truncated, as on Windows
        return STRSAFE_E_INSUFFICIENT_BUFFER;
    }
    return S_OK;
}
