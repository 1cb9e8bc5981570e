// The installer's language, its texts by "STR_" id, and the product and URL settings of the build, all read
// once at start-up from the extracted language pack and served from memory afterwards.
#pragma once

#include <map>
#include <string>

class LanguageManager {
public:
    using StringMap = std::map<std::wstring, std::wstring>;

    // folder: where the pack was extracted, ending with "\".
    void Initialize(const std::wstring& folder);
    void InitCurrentLanguage();
    void LoadTexts();
    void LoadProductInfo();
    void LoadUrlInfo();

    // Empty when the id is unknown.
    std::wstring GetString(const std::wstring& id) const;
    std::wstring GetLanguage() const { return language_; }
    bool IsRightToLeft() const { return rightToLeft_; }
    void SetChannelCode(const std::wstring& code) { channelCode_ = code; }
    std::wstring GetChannelCode() const { return channelCode_; }

    // Adds every entry of one section; entries replace values already in the map.
    static void ReadIniSection(const std::wstring& file, const std::wstring& section, StringMap& map);
    // Empty when the file, section or key is missing.
    static std::wstring ReadIniString(const std::wstring& file, const std::wstring& section,
                                      const std::wstring& key);

    // Product and URL settings: empty values when a file, section or key is missing.
    std::wstring GetProductValue(const std::wstring& key) const;
    std::wstring GetUrlValue(const std::wstring& key) const;
    std::wstring GetProductName() const;
    std::wstring GetLicenceColor() const;
    std::wstring GetGATitle() const;
    std::wstring GetExeName() const;
    std::wstring GetBrandName() const;
    std::wstring GetInstallSubDir() const;
    std::wstring GetExeSubPath() const;
    bool IsRunAsAdmin() const;
    std::wstring GetDownloadUrl() const;
    std::wstring GetDownloadUrlEx() const;
    std::wstring GetLicenceUrl() const;
    std::wstring GetInstallUrl() const;
    std::wstring GetCarouselUrl() const;
    int GetDownloadRatio() const { return 90; }
    int GetReadFileTimeout() const { return 1500; }

    // The channel code decorates only the product-data pages, which carry "key=".
    static std::wstring AddChannelParam(const std::wstring& url, const std::wstring& code);

private:
    static std::wstring Lookup(const StringMap& map, const std::wstring& key);

    StringMap texts_;
    StringMap urlSettings_;
    StringMap productSettings_;
    std::wstring folder_;
    std::wstring language_;
    std::wstring channelCode_;
    bool rightToLeft_ = false;
};
