#include "LanguageManager.h"

#include <windows.h>

#include <vector>

#include "common/BuildValues.h"
#include "common/Log/Log.h"
#include "common/System/System.h"

namespace {

// Section and value limits of the pack's readers; the packs are written to fit.
constexpr DWORD kSectionChars = 4096;
constexpr DWORD kValueChars = 256;

// Identical to the English text.ini of the pack, so a language without a folder still reads well.
const LanguageManager::StringMap kBuiltinTexts = {
    {L"STR_INSTALL", L"Install"},
    {L"STR_BROWSE", L"Browse"},
    {L"STR_LISENCE", L"I've read and agreed to {c COLOR}BRAND License Agreement{/c}"},
    {L"STR_CUSTOMIZE_INSTALL", L"Customize Installation"},
    {L"STR_INSTALL_PATH", L"Installation Path"},
    {L"STR_SELECT_FOLDER", L"Select a location to install the program"},
    {L"STR_STORAGE", L"Insuficient storage. Storage required:"},
    {L"STR_PATH_INVALID", L"The installation path is invalid."},
    {L"STR_INSTALLING", L"Installing..."},
    {L"STR_HIDE", L"Hide"},
    {L"STR_MESSAGEBOX_TITLE", L"PRODUCT Setup"},
    {L"STR_NETWORK_ERROR", L"Network error. Please check your network settings."},
    {L"STR_OPERATE_TIP",
     L"Click Abort to cancel installation, Retry to try again, or Ignore to download via browser."},
    {L"STR_SOFT_RUN",
     L"PRODUCT is running. Continuing installation will forcely quit the program. Are you sure to install?"},
    {L"STR_CLOSE_TIP1", L"Are you sure you want to quit?"},
    {L"STR_CLOSE_TIP2", L"Installation is in progress. Are you sure you want to quit?"},
    {L"STR_START", L"Start\u00A0Now"},
    {L"STR_MB", L"MB"},
};

}  // namespace

void LanguageManager::Initialize(const std::wstring& folder)
{
    channelCode_.clear();
    rightToLeft_ = false;
    folder_ = folder;
    InitCurrentLanguage();
    LoadProductInfo();
    LoadUrlInfo();
    LoadTexts();  // last: its placeholders take product settings
}

void LanguageManager::InitCurrentLanguage()
{
    language_ = L"English";
    const std::wstring code = GetUILanguageId();
    LOGW(1, L"Language Code:%s", code.c_str());
    const std::wstring listed = ReadIniString(folder_ + L"language.ini", L"Language", code);
    if (!listed.empty())
        language_ = listed;
    rightToLeft_ = language_ == L"Arabic";
}

void LanguageManager::LoadTexts()
{
    texts_ = kBuiltinTexts;
    ReadIniSection(folder_ + language_ + L"\\text.ini", L"LANSTR", texts_);
    const std::wstring product = GetProductName();
    const std::wstring colour = GetLicenceColor();
    const std::wstring brand = GetBrandName();
    for (auto& entry : texts_) {
        ReplaceAll(entry.second, L"PRODUCT", product);
        ReplaceAll(entry.second, L"COLOR", colour);
        ReplaceAll(entry.second, L"BRAND", brand);
    }
}

void LanguageManager::LoadProductInfo()
{
    ReadIniSection(folder_ + L"productInfo.ini", L"PRODUCT", productSettings_);
}

void LanguageManager::LoadUrlInfo()
{
    ReadIniSection(folder_ + language_ + L"\\UrlInfo.ini", L"URL", urlSettings_);
}

std::wstring LanguageManager::GetString(const std::wstring& id) const
{
    return Lookup(texts_, id);
}

void LanguageManager::ReadIniSection(const std::wstring& file, const std::wstring& section, StringMap& map)
{
    std::vector<wchar_t> buffer(kSectionChars, L'\0');
    const DWORD length = GetPrivateProfileSectionW(section.c_str(), buffer.data(), kSectionChars, file.c_str());
    // Entries are zero-terminated one after the other; an empty one ends the list.
    const wchar_t* end = buffer.data() + length;
    for (const wchar_t* entry = buffer.data(); entry < end && *entry; entry += wcslen(entry) + 1) {
        std::wstring key;
        std::wstring value;
        SplitOnce(entry, L"=", key, value);
        map[key] = value;
    }
}

std::wstring LanguageManager::ReadIniString(const std::wstring& file, const std::wstring& section,
                                            const std::wstring& key)
{
    wchar_t buffer[kValueChars] = {};
    GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer, kValueChars, file.c_str());
    return buffer;
}

std::wstring LanguageManager::Lookup(const StringMap& map, const std::wstring& key)
{
    const auto found = map.find(key);
    return found == map.end() ? std::wstring() : found->second;
}

std::wstring LanguageManager::GetProductValue(const std::wstring& key) const
{
    return Lookup(productSettings_, key);
}

std::wstring LanguageManager::GetUrlValue(const std::wstring& key) const
{
    return Lookup(urlSettings_, key);
}

std::wstring LanguageManager::GetProductName() const
{
    return GetProductValue(L"STR_PRODUCT_NAME");
}

std::wstring LanguageManager::GetLicenceColor() const
{
    return GetProductValue(L"STR_LISENCE_COLOR");
}

std::wstring LanguageManager::GetGATitle() const
{
    return GetProductValue(L"STR_GA_TTTLE");
}

std::wstring LanguageManager::GetExeName() const
{
    return GetProductValue(L"STR_EXE_NAME");
}

std::wstring LanguageManager::GetBrandName() const
{
    const std::wstring brand = GetProductValue(L"STR_BRAND_NAME");
    return brand.empty() ? L"Quorvane" : brand;
}

std::wstring LanguageManager::GetInstallSubDir() const
{
    std::wstring path;
    for (const wchar_t* key : {L"STR_DIR1_NAME", L"STR_DIR2_NAME"}) {
        const std::wstring name = GetProductValue(key);
        if (!name.empty())
            path += name + L"\\";
    }
    return path;
}

std::wstring LanguageManager::GetExeSubPath() const
{
    return GetInstallSubDir() + GetExeName();
}

bool LanguageManager::IsRunAsAdmin() const
{
    return GetProductValue(L"STR_RUN_AS_ADMIN") != L"0";
}

std::wstring LanguageManager::GetDownloadUrl() const
{
    return GetUrlValue(IsNative64BitOS() ? L"STR_DOWN_URL_X64" : L"STR_DOWN_URL");
}

std::wstring LanguageManager::GetDownloadUrlEx() const
{
    return AddChannelParam(GetUrlValue(L"STR_DOWN_URLEX"), channelCode_);
}

std::wstring LanguageManager::GetLicenceUrl() const
{
    return AddChannelParam(GetUrlValue(L"STR_LICENCE_URL"), channelCode_);
}

std::wstring LanguageManager::GetInstallUrl() const
{
    return AddChannelParam(GetUrlValue(L"STR_INSTALL_URL"), channelCode_);
}

std::wstring LanguageManager::GetCarouselUrl() const
{
    return std::wstring(kBuild_ApiOrigin) + L"/downloader/carousel?pid=" + GetProductValue(L"STR_PID") +
           L"&lang=" + language_;
}

std::wstring LanguageManager::AddChannelParam(const std::wstring& url, const std::wstring& code)
{
    if (url.empty() || code.empty() || url.find(L"key=") == std::wstring::npos)
        return url;
    return url + L"&custom=" + code;
}
