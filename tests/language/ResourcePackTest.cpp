// The packs of a real build: this program carries the demo product's resources.
#include "common/LanguageManager/ResourcePack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestFolder.h"
#include "SkinUI/ZipArchive.h"
#include "common/LanguageManager/LanguageManager.h"
#include "common/Log/Log.h"
#include "common/System/System.h"

namespace {

const std::vector<std::wstring> kFolders = {L"Arabic", L"Chinese", L"ChineseTW", L"Dutch", L"English", L"French",
                                            L"German", L"Italian", L"Japanese", L"Korean", L"Portuguese",
                                            L"Spanish", L"Swedish", L"Thai"};

std::vector<std::wstring> PackFiles()
{
    std::vector<std::wstring> files = {L"language.ini", L"productInfo.ini"};
    for (const std::wstring& folder : kFolders) {
        files.push_back(folder + L"\\text.ini");
        files.push_back(folder + L"\\UrlInfo.ini");
    }
    return files;
}

std::string SourceFile(const std::wstring& name)
{
    return testfolder::ReadBytes(testfolder::SourcePath(L"res\\products\\demo\\language\\" + name));
}

// Each run of this program (the pack tests, one per UI language) has folders of its own: they run at once.
std::wstring RunName()
{
    const char* locale = getenv("QV_EXPECT_LANGUAGE") ? getenv("LANG") : nullptr;
    return AnsiToWide(locale ? locale : "pack");
}

std::wstring LogFolder()
{
    return testfolder::Path(L"log_" + RunName());
}

TEST(LoadResZipFile, WritesTheWholePackIntoAMissingFolder)
{
    const std::wstring work = testfolder::Fresh(L"pack_fresh") + L"not\\yet\\there\\";
    LoadResZipFile(work);
    for (const std::wstring& file : PackFiles()) {
        const std::string source = SourceFile(file);
        ASSERT_FALSE(source.empty()) << "source of " << file;
        EXPECT_EQ(testfolder::ReadBytes(work + L"language\\" + file), source) << file;
    }
}

TEST(LoadResZipFile, ReplacesPackFilesAndLeavesOthers)
{
    const std::wstring work = testfolder::Fresh(L"pack_again");
    const std::wstring language = work + L"language\\";
    LoadResZipFile(work);
    const std::string png = "\x89PNG cached banner";
    testfolder::WriteBytes(language + L"English\\pr_1.png", png);
    testfolder::WriteUtf16(language + L"English\\text.ini", L"[LANSTR]\r\nSTR_INSTALL = edited\r\n");
    testfolder::WriteUtf16(language + L"German\\text.ini", L"[LANSTR]\r\nSTR_INSTALL = held\r\n");
    const std::string held = testfolder::ReadBytes(language + L"German\\text.ini");
    DeleteFileW((language + L"Thai\\UrlInfo.ini").c_str());

    // Another process holding a file open without sharing: that one file keeps its content.
    HANDLE lock = CreateFileW((language + L"German\\text.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    LoadResZipFile(work);
    CloseHandle(lock);

    EXPECT_EQ(testfolder::ReadBytes(language + L"English\\pr_1.png"), png);
    EXPECT_EQ(testfolder::ReadBytes(language + L"German\\text.ini"), held);
    for (const std::wstring& file : PackFiles()) {
        if (file != L"German\\text.ini") {
            EXPECT_EQ(testfolder::ReadBytes(language + file), SourceFile(file)) << file;
        }
    }
}

TEST(LoadDomainFile, ChannelCodeWithoutTheLineBreak)
{
    LanguageManager manager;
    LoadDomainFile(manager);
    EXPECT_EQ(manager.GetChannelCode(), L"com_th");
    // The record keeps the resource's line break; the log's text mode writes its "\n" as CR LF.
    const std::string log = testfolder::ReadBytes(LogFolder() + L"pack.log");
    EXPECT_NE(log.find(" LoadDomainFile\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" Domain:com_th\r\r\n\r\n"), std::string::npos) << log;
}

TEST(ExecutableResources, VersionIconSkinAndManifest)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    EXPECT_EQ(GetFileDescription(path), L"Quorvane Web Installer (demo)");
    EXPECT_EQ(GetFileVersion(path), L"1.0.0.1");

    HMODULE self = GetModuleHandleW(nullptr);
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(LoadImageW(self, MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, 0));
        EXPECT_NE(icon, nullptr) << size;
        DestroyIcon(icon);
    }

    HRSRC skin = FindResourceW(self, MAKEINTRESOURCEW(104), L"ZIPRES");
    ASSERT_NE(skin, nullptr);
    SkinUI::CZipArchive archive;
    EXPECT_TRUE(archive.Open(LockResource(LoadResource(self, skin)), SizeofResource(self, skin)));

    HRSRC manifest = FindResourceW(self, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(self, manifest))),
                           SizeofResource(self, manifest));
    EXPECT_NE(text.find(R"(level="requireAdministrator")"), std::string::npos);
    EXPECT_NE(text.find(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"), std::string::npos);
}

// Run once per UI language by CTest, which sets LANG for wine and names what it expects.
TEST(UiLanguage, ChoosesThePackLanguage)
{
    const char* expectedId = getenv("QV_EXPECT_LANGID");
    const char* expectedName = getenv("QV_EXPECT_LANGUAGE");
    if (!expectedId || !expectedName)
        GTEST_SKIP() << "run by the language_ui_* tests";
    ASSERT_EQ(GetUILanguageId(), AnsiToWide(expectedId)) << "what wine reports for LANG=" << getenv("LANG");

    const std::wstring work = testfolder::Fresh(L"ui_" + RunName());
    LoadResZipFile(work);
    LanguageManager manager;
    manager.Initialize(work + L"language\\");
    LoadDomainFile(manager);

    struct Expected {
        const wchar_t* language;
        bool rtl;
        const wchar_t* install;
        const wchar_t* licenceUrl;
    };
    const std::vector<Expected> table = {
        {L"English", false, L"Install",
         L"http://127.0.0.1/producturl?key=license_agreement&pid=3107&lang=English&custom=com_th"},
        {L"Arabic", true, L"\u062a\u062b\u0628\u064a\u062a",
         L"http://127.0.0.1/producturl?key=license_agreement&pid=3107&lang=Arabic&custom=com_th"},
        {L"German", false, L"Installieren",
         L"http://127.0.0.1/producturl?key=license_agreement&pid=3107&lang=German&custom=com_th"},
        {L"Polish", false, L"Install", L""},  // listed, no folder: built-in texts and no URLs
    };
    const std::wstring name = AnsiToWide(expectedName);
    const auto expected =
        std::find_if(table.begin(), table.end(), [&](const Expected& e) { return name == e.language; });
    ASSERT_NE(expected, table.end()) << expectedName;
    EXPECT_EQ(manager.GetLanguage(), expected->language);
    EXPECT_EQ(manager.IsRightToLeft(), expected->rtl);
    EXPECT_EQ(manager.GetString(L"STR_INSTALL"), expected->install);
    EXPECT_EQ(manager.GetLicenceUrl(), expected->licenceUrl);
    EXPECT_EQ(manager.GetCarouselUrl(), L"https://127.0.0.1/downloader/carousel?pid=3107&lang=" + name);
    if (name == L"English" || name == L"Polish") {
        EXPECT_EQ(manager.GetString(L"STR_LISENCE"),
                  L"I've read and agreed to {c #05D4BE}Quorvane License Agreement{/c}");
        EXPECT_EQ(manager.GetString(L"STR_MESSAGEBOX_TITLE"), L"Quorvane Setup");
    }
}

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    const std::wstring logFolder = LogFolder();
    std::filesystem::remove_all(logFolder);
    InitLog(L"pack.log", logFolder.c_str());
    return RUN_ALL_TESTS();
}
