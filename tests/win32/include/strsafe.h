// Test double: the bounded string functions of <strsafe.h> that the updater uses,
// with the Windows results: the destination is always terminated, and truncation is an error.
#pragma once

#include <windows.h>

#define S_OK (static_cast<HRESULT>(0))
#define STRSAFE_E_INSUFFICIENT_BUFFER (static_cast<HRESULT>(0x8007007Au))
#define STRSAFE_E_INVALID_PARAMETER (static_cast<HRESULT>(0x80070057u))
#define STRSAFE_MAX_CCH 2147483647u
#define SUCCEEDED(hr) ((static_cast<HRESULT>(hr)) >= 0)
#define FAILED(hr) ((static_cast<HRESULT>(hr)) < 0)

inline HRESULT StringCchLengthW(PCWSTR psz, SIZE_T cchMax, SIZE_T* pcchLength)
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
