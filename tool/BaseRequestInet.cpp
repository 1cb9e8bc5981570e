// The WinINet side of the request helper, apart from the WinHTTP side: the two headers do not mix.
#include "BaseRequest.h"

#include <wininet.h>

#include <cstring>
#include <new>

#include "Log.h"

void ShowApiError(const char* name, DWORD code, HMODULE module, const char* context)
{
    char message[260] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, module, code, 0x0400, message, sizeof(message), nullptr);
    if (context)
        LOGA(1, "[Thread][%d] [%s]call %s fail %d, %s\n", static_cast<int>(GetCurrentThreadId()), context, name,
             static_cast<int>(code), message);
    else
        LOGA(1, "[Thread][%d] call %s fail %d, %s\n", static_cast<int>(GetCurrentThreadId()), name,
             static_cast<int>(code), message);
}

bool CBaseRequest::IsUseProxyConnect()
{
    DWORD flags = 0;
    if (!InternetGetConnectedState(&flags, 0)) {
        LOGA(1, "ERR:InternetGetConnectedState fail 0x%x", static_cast<unsigned>(GetLastError()));
        return false;
    }
    return (flags & INTERNET_CONNECTION_PROXY) != 0;
}

bool CBaseRequest::QueryInternetOpt(uint32_t option, std::vector<uint8_t>& value)
{
    DWORD size = 0;
    if (InternetQueryOptionW(nullptr, option, nullptr, &size))
        return false; // a value that needs no buffer is not one of ours
    // Wine's WinINet reports no size for its 32-bit options; that is the size they have.
    if (size == 0)
        size = sizeof(DWORD);
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        LOGA(1, "ERR: new %d bytes fail!", static_cast<int>(size));
        return false;
    }
    if (!InternetQueryOptionW(nullptr, option, buffer.data(), &size)) {
        LOGA(1, "ERR: InternetQueryOption fail! 0x%x", static_cast<unsigned>(GetLastError()));
        return false;
    }
    buffer.resize(size);
    value = std::move(buffer);
    return true;
}

bool CBaseRequest::QueryInternetOpt(uint32_t option, uint32_t& value)
{
    std::vector<uint8_t> bytes;
    if (!QueryInternetOpt(option, bytes) || bytes.size() < sizeof(value))
        return false;
    std::memcpy(&value, bytes.data(), sizeof(value));
    return true;
}

bool CBaseRequest::InternetSetOpt(uint32_t option, uint32_t value)
{
    uint32_t current = 0;
    if (QueryInternetOpt(option, current) && current == value)
        return true;
    if (!InternetSetOptionW(nullptr, option, &value, sizeof(value))) {
        LOGA(1, "ERR: InternetSetOption fail! 0x%x", static_cast<unsigned>(GetLastError()));
        return false;
    }
    return QueryInternetOpt(option, current) && current == value;
}
