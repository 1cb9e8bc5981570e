#include "Redirect.h"

#include <windows.h>
#include <winhttp.h>
#include <shlwapi.h>

#include <vector>

#include "InternetHandles.h"
#include "Log.h"

namespace {

// A header as text; empty when the answer lacks it.
std::wstring QueryHeaderText(HINTERNET request, DWORD query)
{
    DWORD bytes = 0;
    WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &bytes,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0)
        return {};
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    return text.data();
}

} // namespace

bool GetRedirectUrl(const std::wstring& serverName, const std::wstring& objectPath, std::wstring& url)
{
    // Wine's WinHttpConnect takes an empty server name for the local host; Windows refuses it.
    if (serverName.empty())
        return false;
    // Destroyed in reverse order: request, connection, session.
    WinHttpHandle session(
        WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!session || !WinHttpSetOption(session.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof(policy)))
        return false;
    WinHttpHandle connection(WinHttpConnect(session.get(), serverName.c_str(), INTERNET_DEFAULT_HTTP_PORT, 0));
    if (!connection)
        return false;
    WinHttpHandle request(WinHttpOpenRequest(connection.get(), L"GET", objectPath.c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    if (!request)
        return false;
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        return false;
    if (!WinHttpReceiveResponse(request.get(), nullptr)) {
        LOGA(1, "Error %d has occurred.\n", static_cast<int>(GetLastError()));
        return true;
    }
    if (StrToIntW(QueryHeaderText(request.get(), WINHTTP_QUERY_STATUS_CODE).c_str()) != 302)
        return false;
    // A 302 without a Location is no redirect: the URL keeps the configured address.
    std::wstring location = QueryHeaderText(request.get(), WINHTTP_QUERY_LOCATION);
    if (location.empty())
        return false;
    url = location;
    return true;
}
