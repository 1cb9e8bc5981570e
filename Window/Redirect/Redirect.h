#pragma once
#include <string>

// Asks serverName on plain HTTP port 80 for objectPath with redirects off. A 302 answer puts its Location,
// exactly as sent, into url and answers true; no response head answers true with url untouched; anything
// else answers false with url untouched.
[[nodiscard]] bool GetRedirectUrl(const std::wstring& serverName, const std::wstring& objectPath, std::wstring& url);
