#include "HttpBase.h"

#include <cwchar>
#include <new>

#include "HttpClientBase.h"
#include "HttpSocket.h"
#include "WinHttpClient.h"
#include "WininetHttpClient.h"

HttpUrlParts ParseUrl(const std::wstring& url)
{
    HttpUrlParts parts;
    std::wstring rest = url;
    if (rest.compare(0, 7, L"http://") == 0) {
        rest.erase(0, 7);
    } else if (rest.compare(0, 8, L"https://") == 0) {
        rest.erase(0, 8);
        parts.port = 443;
    }
    size_t slash = rest.find(L'/');
    parts.host = rest.substr(0, slash);
    parts.path = slash == std::wstring::npos ? L"/" : rest.substr(slash);
    size_t colon = parts.host.find(L':');
    if (colon != std::wstring::npos) {
        parts.port = static_cast<unsigned short>(std::wcstoul(parts.host.c_str() + colon + 1, nullptr, 10));
        parts.host.erase(colon);
    }
    return parts;
}

bool CreateHttpClient(IHttpBase** client, int type)
{
    *client = nullptr;
    switch (type) {
    case 0:
        *client = new (std::nothrow) CHttpSocket;
        break;
    case 1:
        *client = new (std::nothrow) CWininetHttp;
        break;
    case 2:
        *client = new (std::nothrow) CWinHttp;
        break;
    default:
        break;
    }
    return *client != nullptr;
}
