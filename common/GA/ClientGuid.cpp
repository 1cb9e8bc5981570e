#include "GA.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>

#include "Handles.h"

namespace {

// The WOW6432Node branch is named outright, with no view flags, on 32-bit and 64-bit Windows alike.
constexpr wchar_t kParentKey[] = L"SOFTWARE\\WOW6432Node\\Quorvane";
constexpr wchar_t kIdentityKey[] = L"SOFTWARE\\WOW6432Node\\Quorvane\\QuorvaneDown";
constexpr wchar_t kValueName[] = L"GUID";

bool IsValidIdentity(const std::wstring& value)
{
    int n = WideCharToMultiByte(CP_ACP, 0, value.data(), static_cast<int>(value.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, value.data(), static_cast<int>(value.size()), narrow.data(), n, nullptr, nullptr);
    return !narrow.empty() && std::all_of(narrow.begin(), narrow.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    });
}

std::wstring ReadIdentity(HKEY key)
{
    wchar_t buffer[1024] = {}; // 2048 bytes
    DWORD type = 0;
    DWORD bytes = sizeof(buffer);
    if (RegQueryValueExW(key, kValueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    // The stored bytes need not end with a null.
    std::wstring value(buffer, bytes / sizeof(wchar_t));
    return value.substr(0, value.find(L'\0'));
}

// A new GUID as 36 characters; the third group is lower-case.
std::wstring CreateIdentity(HKEY key)
{
    GUID guid = {};
    if (FAILED(CoCreateGuid(&guid)))
        return {};
    char text[40] = {};
    std::snprintf(text, sizeof(text), "%08lX-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    wchar_t wide[40] = {};
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 40);
    std::wstring identity = wide;
    // A failed write goes unnoticed: this run uses the new identity anyway.
    RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(identity.c_str()),
                   static_cast<DWORD>((identity.size() + 1) * sizeof(wchar_t)));
    return identity;
}

} // namespace

std::wstring CGA::GetClientGuid()
{
    {
        // Only the parent's existence matters.
        qvsys::UniqueRegKey parent;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParentKey, 0, nullptr, 0, KEY_WRITE, nullptr, parent.put(), nullptr);
    }
    qvsys::UniqueRegKey created;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kIdentityKey, 0, nullptr, 0, KEY_WRITE, nullptr, created.put(),
                        &disposition) != ERROR_SUCCESS)
        return {};
    if (disposition == REG_CREATED_NEW_KEY)
        return CreateIdentity(created.get());
    if (disposition != REG_OPENED_EXISTING_KEY)
        return {};
    qvsys::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kIdentityKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS)
        return {};
    std::wstring stored = ReadIdentity(key.get());
    return IsValidIdentity(stored) ? stored : CreateIdentity(key.get());
}
