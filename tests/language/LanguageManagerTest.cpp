#include "common/LanguageManager/LanguageManager.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TestFolder.h"
#include "common/LanguageManager/ResourcePack.h"
#include "common/System/System.h"

namespace {

using StringMap = LanguageManager::StringMap;

// One language folder on disk, written for one test: language.ini maps this process's UI language to
// `mapped` (nothing when empty), and the given INI bodies go to the pack's files (none when empty).
struct Pack {
    std::wstring mapped = L"German";
    std::wstring productInfo = L"[PRODUCT]\r\nSTR_PRODUCT_NAME=Widget\r\nSTR_BRAND_NAME=Acme\r\n"
                               L"STR_LISENCE_COLOR=#112233\r\nSTR_PID=42\r\n";
    std::wstring text;
    std::wstring urlInfo;
    bool languageIni = true;

    std::wstring Write(const std::wstring& name) const
    {
        const std::wstring folder = testfolder::Fresh(L"lm\\" + name);
        if (languageIni) {
            std::string ini = "[Language]\r\n1=Unused\r\n";
            if (!mapped.empty())
                ini += WideToAnsi(GetUILanguageId() + L"=" + mapped) + "\r\n";
            testfolder::WriteBytes(folder + L"language.ini", ini);
        }
        if (!productInfo.empty())
            testfolder::WriteUtf16(folder + L"productInfo.ini", productInfo);
        if (!text.empty())
            testfolder::WriteUtf16(folder + mapped + L"\\text.ini", text);
        if (!urlInfo.empty())
            testfolder::WriteUtf16(folder + mapped + L"\\UrlInfo.ini", urlInfo);
        return folder;
    }

    LanguageManager Load(const std::wstring& name) const
    {
        LanguageManager manager;
        manager.Initialize(Write(name));
        return manager;
    }
};

const wchar_t kUrls[] =
    L"[URL]\r\nSTR_DOWN_URL=http://h/x86.exe\r\nSTR_DOWN_URL_X64=http://h/x64.exe\r\n"
    L"STR_LICENCE_URL=http://h/producturl?key=license_agreement&pid=42&lang=German\r\n"
    L"STR_INSTALL_URL=http://h/producturl?key=installed&pid=42&lang=German\r\n";

TEST(ReadIniSection, EntriesAsThePlatformHandsThemBack)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* body;
        StringMap expected;
    };
    const std::vector<Case> cases = {
        {L"blanks", L"[S]\r\nkey = value\r\n  lead=  two  words \r\n", {{L"key", L"value"}, {L"lead", L"two  words"}}},
        {L"equals", L"[S]\r\nurl=http://h/?a=1&b=2\r\n", {{L"url", L"http://h/?a=1&b=2"}}},
        {L"no_equals", L"[S]\r\nlonely\r\nk=\r\n", {{L"lonely", L""}, {L"k", L""}}},
        {L"section_case", L"[s]\r\nk=v\r\n", {{L"k", L"v"}}},
        {L"other_section", L"[T]\r\nk=v\r\n[S]\r\nmine=1\r\n[U]\r\nx=y\r\n", {{L"mine", L"1"}}},
        {L"wide_text", L"[S]\r\nk=W\u00e4hlen \u0627\u0628\u062f\u0623 \u5b89\u88c5\r\n",
         {{L"k", L"W\u00e4hlen \u0627\u0628\u062f\u0623 \u5b89\u88c5"}}},
        {L"no_section", L"[T]\r\nk=v\r\n", {}},
    };
    for (const Case& c : cases) {
        const std::wstring file = testfolder::Fresh(std::wstring(L"ini\\") + c.name) + L"x.ini";
        testfolder::WriteUtf16(file, c.body);
        StringMap map;
        LanguageManager::ReadIniSection(file, L"S", map);
        EXPECT_EQ(map, c.expected) << c.name;
    }
}

TEST(ReadIniSection, ReplacesKnownKeysAndKeepsTheRest)
{
    const std::wstring file = testfolder::Fresh(L"ini\\merge") + L"x.ini";
    testfolder::WriteUtf16(file, L"[S]\r\nSTR_A = new\r\nSTR_C = added\r\n");
    StringMap map = {{L"STR_A", L"old"}, {L"STR_B", L"kept"}};
    LanguageManager::ReadIniSection(file, L"S", map);
    EXPECT_EQ(map, (StringMap{{L"STR_A", L"new"}, {L"STR_B", L"kept"}, {L"STR_C", L"added"}}));

    LanguageManager::ReadIniSection(file + L".missing", L"S", map);
    EXPECT_EQ(map.size(), 3u);
}

TEST(ReadIniString, OneValueOrEmpty)
{
    const std::wstring file = testfolder::Fresh(L"ini\\string") + L"language.ini";
    const std::string longValue(300, 'x');
    testfolder::WriteBytes(file, "[Language]\r\n1033=English\r\nLONG=" + longValue + "\r\n");
    EXPECT_EQ(LanguageManager::ReadIniString(file, L"language", L"1033"), L"English");
    EXPECT_EQ(LanguageManager::ReadIniString(file, L"Language", L"2057"), L"");
    EXPECT_EQ(LanguageManager::ReadIniString(file + L".missing", L"Language", L"1033"), L"");
    // The buffer holds 256 characters with the terminator.
    EXPECT_EQ(LanguageManager::ReadIniString(file, L"Language", L"LONG"), std::wstring(255, L'x'));
}

TEST(LanguageChoice, ListedNameFolderAndDirection)
{
    struct Case {
        const wchar_t* name;
        Pack pack;
        const wchar_t* language;
        bool rtl;
        const wchar_t* install;  // STR_INSTALL
        const wchar_t* downloadUrl;
    };
    Pack german;
    german.text = L"[LANSTR]\r\nSTR_INSTALL = Installieren\r\n";
    german.urlInfo = kUrls;
    Pack arabic = german;
    arabic.mapped = L"Arabic";
    arabic.text = L"[LANSTR]\r\nSTR_INSTALL = \u062a\u062b\u0628\u064a\u062a\r\n";
    Pack polish = german;  // listed, but the pack has no folder for it
    polish.mapped = L"Polish";
    polish.text.clear();
    polish.urlInfo.clear();
    Pack unlisted = german;
    unlisted.mapped.clear();
    Pack noLanguageIni = german;
    noLanguageIni.languageIni = false;
    const std::vector<Case> cases = {
        {L"german", german, L"German", false, L"Installieren", L"http://h/x64.exe"},
        {L"arabic", arabic, L"Arabic", true, L"\u062a\u062b\u0628\u064a\u062a", L"http://h/x64.exe"},
        {L"polish", polish, L"Polish", false, L"Install", L""},
        {L"unlisted", unlisted, L"English", false, L"Install", L""},
        {L"no_language_ini", noLanguageIni, L"English", false, L"Install", L""},
    };
    ASSERT_TRUE(IsNative64BitOS()) << "these cases expect the 64-bit download URL";
    for (const Case& c : cases) {
        const LanguageManager manager = c.pack.Load(std::wstring(L"choice_") + c.name);
        EXPECT_EQ(manager.GetLanguage(), c.language) << c.name;
        EXPECT_EQ(manager.IsRightToLeft(), c.rtl) << c.name;
        EXPECT_EQ(manager.GetString(L"STR_INSTALL"), c.install) << c.name;
        EXPECT_EQ(manager.GetDownloadUrl(), c.downloadUrl) << c.name;
        EXPECT_EQ(manager.GetCarouselUrl(),
                  std::wstring(L"https://127.0.0.1/downloader/carousel?pid=42&lang=") + c.language)
            << c.name;
    }
}

TEST(LanguageChoice, ListedLanguageWithoutFolderHasNoUrls)
{
    Pack polish;
    polish.mapped = L"Polish";
    LanguageManager manager = polish.Load(L"polish_urls");
    manager.SetChannelCode(L"com_th");
    EXPECT_EQ(manager.GetDownloadUrl(), L"");
    EXPECT_EQ(manager.GetDownloadUrlEx(), L"");
    EXPECT_EQ(manager.GetLicenceUrl(), L"");
    EXPECT_EQ(manager.GetInstallUrl(), L"");
    EXPECT_EQ(manager.GetCarouselUrl(), L"https://127.0.0.1/downloader/carousel?pid=42&lang=Polish");
}

TEST(LoadTexts, LayersAndPlaceholders)
{
    Pack pack;
    pack.text = L"[LANSTR]\r\nSTR_HIDE = Ausblenden\r\nSTR_EXTRA = PRODUCTS by BRAND\r\n";
    const LanguageManager manager = pack.Load(L"texts");
    EXPECT_EQ(manager.GetString(L"STR_HIDE"), L"Ausblenden");
    EXPECT_EQ(manager.GetString(L"STR_EXTRA"), L"WidgetS by Acme");
    EXPECT_EQ(manager.GetString(L"STR_BROWSE"), L"Browse");
    EXPECT_EQ(manager.GetString(L"STR_MESSAGEBOX_TITLE"), L"Widget Setup");
    EXPECT_EQ(manager.GetString(L"STR_LISENCE"),
              L"I've read and agreed to {c #112233}Acme License Agreement{/c}");
    EXPECT_EQ(manager.GetString(L"STR_START"), L"Start\u00A0Now");
    EXPECT_EQ(manager.GetString(L"STR_UNKNOWN"), L"");
    EXPECT_EQ(manager.GetString(L""), L"");
}

TEST(LoadTexts, SubstitutionOrderIsProductColourBrand)
{
    struct Case {
        const wchar_t* product;
        const wchar_t* brand;
        const wchar_t* title;  // "PRODUCT Setup"
    };
    const std::vector<Case> cases = {
        {L"BRAND Pro", L"Acme", L"Acme Pro Setup"},      // BRAND runs after PRODUCT
        {L"PRODUCT X", L"Acme", L"PRODUCT X Setup"},     // a replacement is not replaced again
        {L"COLOR Box", L"Acme", L"#112233 Box Setup"},   // COLOR runs after PRODUCT
    };
    for (const Case& c : cases) {
        Pack pack;
        pack.productInfo = std::wstring(L"[PRODUCT]\r\nSTR_PRODUCT_NAME=") + c.product + L"\r\nSTR_BRAND_NAME=" +
                           c.brand + L"\r\nSTR_LISENCE_COLOR=#112233\r\n";
        EXPECT_EQ(pack.Load(L"order").GetString(L"STR_MESSAGEBOX_TITLE"), c.title) << c.product;
    }
}

TEST(LoadTexts, WithoutProductInfo)
{
    Pack pack;
    pack.productInfo.clear();
    const LanguageManager manager = pack.Load(L"no_product");
    EXPECT_EQ(manager.GetString(L"STR_MESSAGEBOX_TITLE"), L" Setup");
    EXPECT_EQ(manager.GetString(L"STR_LISENCE"), L"I've read and agreed to {c }Quorvane License Agreement{/c}");
    EXPECT_EQ(manager.GetBrandName(), L"Quorvane");
    EXPECT_EQ(manager.GetExeSubPath(), L"");
    EXPECT_TRUE(manager.IsRunAsAdmin());
}

TEST(LoadTexts, BuiltInTableEqualsTheEnglishPack)
{
    Pack builtIn;
    builtIn.mapped = L"Polish";
    Pack english;
    english.mapped = L"English";
    const std::wstring folder = english.Write(L"english_pack");
    const std::string packText =
        testfolder::ReadBytes(testfolder::SourcePath(L"res\\products\\quorvane\\language\\English\\text.ini"));
    ASSERT_FALSE(packText.empty());
    testfolder::WriteBytes(folder + L"English\\text.ini", packText);
    LanguageManager fromPack;
    fromPack.Initialize(folder);
    const LanguageManager fromTable = builtIn.Load(L"builtin");
    for (const wchar_t* id : {L"STR_INSTALL", L"STR_BROWSE", L"STR_LISENCE", L"STR_CUSTOMIZE_INSTALL",
                              L"STR_INSTALL_PATH", L"STR_SELECT_FOLDER", L"STR_STORAGE", L"STR_PATH_INVALID",
                              L"STR_INSTALLING", L"STR_HIDE", L"STR_MESSAGEBOX_TITLE", L"STR_NETWORK_ERROR",
                              L"STR_OPERATE_TIP", L"STR_SOFT_RUN", L"STR_CLOSE_TIP1", L"STR_CLOSE_TIP2",
                              L"STR_START", L"STR_MB"}) {
        EXPECT_EQ(fromPack.GetString(id), fromTable.GetString(id)) << id;
    }
}

TEST(ProductSettings, Getters)
{
    struct Case {
        const wchar_t* lines;  // productInfo.ini entries
        const wchar_t* subDir;
        const wchar_t* exeSubPath;
        bool runAsAdmin;
        const wchar_t* brand;
    };
    const std::vector<Case> cases = {
        {L"STR_DIR1_NAME=Acme\r\nSTR_DIR2_NAME=Widget\r\nSTR_EXE_NAME=w.exe\r\nSTR_RUN_AS_ADMIN=0\r\n"
         L"STR_BRAND_NAME=Acme\r\n",
         L"Acme\\Widget\\", L"Acme\\Widget\\w.exe", false, L"Acme"},
        {L"STR_DIR2_NAME=Widget\r\nSTR_EXE_NAME=w.exe\r\nSTR_RUN_AS_ADMIN=1\r\n", L"Widget\\", L"Widget\\w.exe",
         true, L"Quorvane"},
        {L"STR_DIR1_NAME=Acme\r\nSTR_EXE_NAME=w.exe\r\nSTR_RUN_AS_ADMIN=\r\nSTR_BRAND_NAME=\r\n", L"Acme\\",
         L"Acme\\w.exe", true, L"Quorvane"},
        {L"STR_EXE_NAME=w.exe\r\nSTR_RUN_AS_ADMIN = 0 \r\n", L"", L"w.exe", false, L"Quorvane"},
        {L"STR_RUN_AS_ADMIN=00\r\n", L"", L"", true, L"Quorvane"},
        {L"STR_RUN_AS_ADMIN=no\r\n", L"", L"", true, L"Quorvane"},
    };
    for (const Case& c : cases) {
        Pack pack;
        pack.productInfo = std::wstring(L"[PRODUCT]\r\n") + c.lines;
        const LanguageManager manager = pack.Load(L"getters");
        EXPECT_EQ(manager.GetInstallSubDir(), c.subDir) << c.lines;
        EXPECT_EQ(manager.GetExeSubPath(), c.exeSubPath) << c.lines;
        EXPECT_EQ(manager.IsRunAsAdmin(), c.runAsAdmin) << c.lines;
        EXPECT_EQ(manager.GetBrandName(), c.brand) << c.lines;
    }
}

TEST(ProductSettings, PlainValuesAndConstants)
{
    Pack pack;
    pack.productInfo = L"[PRODUCT]\r\nSTR_GA_TTTLE=Widget GA\r\nSTR_PRODUCT_NAME=Widget\r\nSTR_EXE_NAME=w.exe\r\n"
                       L"STR_LISENCE_COLOR=#ABCDEF\r\nSTR_PID=42\r\n";
    const LanguageManager manager = pack.Load(L"plain");
    EXPECT_EQ(manager.GetGATitle(), L"Widget GA");
    EXPECT_EQ(manager.GetProductName(), L"Widget");
    EXPECT_EQ(manager.GetExeName(), L"w.exe");
    EXPECT_EQ(manager.GetLicenceColor(), L"#ABCDEF");
    EXPECT_EQ(manager.GetProductValue(L"STR_PID"), L"42");
    EXPECT_EQ(manager.GetProductValue(L"str_pid"), L"");  // the maps are case-sensitive
    EXPECT_EQ(manager.GetDownloadRatio(), 90);
    EXPECT_EQ(manager.GetReadFileTimeout(), 1500);
}

TEST(UrlSettings, ChannelParameterAndBitness)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* urlInfo;
        const wchar_t* channel;
        const wchar_t* download;
        const wchar_t* downloadEx;
        const wchar_t* licence;
        const wchar_t* install;
    };
    const std::vector<Case> cases = {
        {L"pack_urls", kUrls, L"com_th", L"http://h/x64.exe", L"",
         L"http://h/producturl?key=license_agreement&pid=42&lang=German&custom=com_th",
         L"http://h/producturl?key=installed&pid=42&lang=German&custom=com_th"},
        {L"no_channel", kUrls, L"", L"http://h/x64.exe", L"",
         L"http://h/producturl?key=license_agreement&pid=42&lang=German",
         L"http://h/producturl?key=installed&pid=42&lang=German"},
        // No fall-back from one bitness to the other; a page without "key=" stays as it is.
        {L"x86_only",
         L"[URL]\r\nSTR_DOWN_URL=http://h/x86.exe\r\nSTR_LICENCE_URL=http://h/licence.html\r\n"
         L"STR_DOWN_URLEX=http://h/go?key=dl\r\n",
         L"com_th", L"", L"http://h/go?key=dl&custom=com_th", L"http://h/licence.html", L""},
    };
    for (const Case& c : cases) {
        Pack pack;
        pack.urlInfo = c.urlInfo;
        LanguageManager manager = pack.Load(L"urls");
        manager.SetChannelCode(c.channel);
        EXPECT_EQ(manager.GetDownloadUrl(), c.download) << c.name;
        EXPECT_EQ(manager.GetDownloadUrlEx(), c.downloadEx) << c.name;
        EXPECT_EQ(manager.GetLicenceUrl(), c.licence) << c.name;
        EXPECT_EQ(manager.GetInstallUrl(), c.install) << c.name;
        EXPECT_EQ(manager.GetChannelCode(), c.channel) << c.name;
    }
}

TEST(UrlSettings, AddChannelParam)
{
    struct Case {
        const wchar_t* url;
        const wchar_t* code;
        const wchar_t* expected;
    };
    const std::vector<Case> cases = {
        {L"", L"com_th", L""},
        {L"http://h/p?key=a", L"", L"http://h/p?key=a"},
        {L"http://h/p?key=a", L"com_th", L"http://h/p?key=a&custom=com_th"},
        {L"http://h/p?pid=1", L"com_th", L"http://h/p?pid=1"},
        {L"http://h/p?monkey=1", L"a b&c", L"http://h/p?monkey=1&custom=a b&c"},  // substring, not encoded
    };
    for (const Case& c : cases)
        EXPECT_EQ(LanguageManager::AddChannelParam(c.url, c.code), c.expected) << c.url << L" " << c.code;
}

TEST(Initialize, StartsOverEachTime)
{
    Pack arabic;
    arabic.mapped = L"Arabic";
    arabic.urlInfo = kUrls;
    LanguageManager manager = arabic.Load(L"first");
    manager.SetChannelCode(L"com_th");
    Pack english;
    english.mapped.clear();
    manager.Initialize(english.Write(L"second"));
    EXPECT_EQ(manager.GetLanguage(), L"English");
    EXPECT_FALSE(manager.IsRightToLeft());
    EXPECT_EQ(manager.GetChannelCode(), L"");
}

// This program carries no packs: the start-up path must still leave a usable manager.
TEST(MissingResources, BuiltInDefaultsAndEmptyValues)
{
    const std::wstring work = testfolder::Fresh(L"no_resources");
    LoadResZipFile(work);
    const std::wstring language = work + L"language\\";
    EXPECT_EQ(GetFileAttributesW(language.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(std::filesystem::is_empty(language));

    LanguageManager manager;
    manager.Initialize(language);
    LoadDomainFile(manager);
    EXPECT_EQ(manager.GetLanguage(), L"English");
    EXPECT_EQ(manager.GetString(L"STR_INSTALL"), L"Install");
    EXPECT_EQ(manager.GetString(L"STR_MESSAGEBOX_TITLE"), L" Setup");
    EXPECT_EQ(manager.GetChannelCode(), L"");
    EXPECT_EQ(manager.GetDownloadUrl(), L"");
    EXPECT_EQ(manager.GetLicenceUrl(), L"");
    EXPECT_EQ(manager.GetCarouselUrl(), L"https://127.0.0.1/downloader/carousel?pid=&lang=English");
}

}  // namespace
