// Broken packs: this program carries half a language pack and an over-long channel code.
#include "common/LanguageManager/ResourcePack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestFolder.h"
#include "common/LanguageManager/LanguageManager.h"

namespace {

std::string Fixture(const wchar_t* name)
{
    return testfolder::ReadBytes(testfolder::Path(L"fixtures") + name);
}

std::string Repeat(const std::string& text, int times)
{
    std::string result;
    while (times-- > 0)
        result += text;
    return result;
}

TEST(BrokenResources, UnreadablePackLeavesBuiltInTexts)
{
    const std::wstring work = testfolder::Fresh(L"bad_truncated");
    LoadResZipFile(work);
    const std::wstring language = work + L"language\\";
    ASSERT_TRUE(std::filesystem::is_directory(language));
    EXPECT_TRUE(std::filesystem::is_empty(language));

    LanguageManager manager;
    manager.Initialize(language);
    EXPECT_EQ(manager.GetLanguage(), L"English");
    EXPECT_EQ(manager.GetString(L"STR_CLOSE_TIP1"), L"Are you sure you want to quit?");
    EXPECT_EQ(manager.GetDownloadUrl(), L"");
}

TEST(BrokenResources, OverlongChannelCodeIsCut)
{
    LanguageManager manager;
    LoadDomainFile(manager);
    EXPECT_EQ(manager.GetChannelCode(), std::wstring(254, L'A'));
}

TEST(ExtractZipToFolder, PackWithoutSomeFiles)
{
    const std::string zip = Fixture(L"partial.zip");
    ASSERT_FALSE(zip.empty());
    const std::wstring language = testfolder::Fresh(L"bad_partial") + L"language\\";
    EXPECT_TRUE(ExtractZipToFolder(zip.data(), zip.size(), language));

    LanguageManager manager;
    manager.Initialize(language);
    manager.SetChannelCode(L"com_th");
    EXPECT_EQ(manager.GetLanguage(), L"English");
    EXPECT_EQ(manager.GetString(L"STR_MESSAGEBOX_TITLE"), L" Setup");
    EXPECT_EQ(manager.GetString(L"STR_LISENCE"), L"I've read and agreed to {c }Quorvane License Agreement{/c}");
    EXPECT_EQ(manager.GetDownloadUrl(), L"");
    EXPECT_EQ(manager.GetLicenceUrl(), L"");
    EXPECT_TRUE(manager.IsRunAsAdmin());
}

TEST(ExtractZipToFolder, DamagedAndHostileEntries)
{
    const std::string zip = Fixture(L"damaged.zip");
    ASSERT_FALSE(zip.empty());
    const std::wstring outer = testfolder::Fresh(L"bad_damaged");
    const std::wstring target = outer + L"target";  // without the trailing "\"
    testfolder::WriteBytes(target + L"\\bad.txt", "previous");
    EXPECT_TRUE(ExtractZipToFolder(zip.data(), zip.size(), target));

    EXPECT_EQ(testfolder::ReadBytes(target + L"\\good.txt"), Repeat("good", 10));
    EXPECT_EQ(testfolder::ReadBytes(target + L"\\bad.txt"), "previous");  // a broken entry replaces nothing
    EXPECT_EQ(testfolder::ReadBytes(target + L"\\sub\\inner.txt"), Repeat("inner", 10));
    EXPECT_TRUE(std::filesystem::is_regular_file(target + L"\\empty.ini"));
    EXPECT_EQ(std::filesystem::file_size(target + L"\\empty.ini"), 0u);
    EXPECT_FALSE(std::filesystem::exists(outer + L"escape.txt"));
    EXPECT_FALSE(std::filesystem::exists(outer + L"escape2.txt"));
    EXPECT_FALSE(std::filesystem::exists(L"C:\\absolute.txt"));
}

TEST(ExtractZipToFolder, NotAnArchive)
{
    const std::string bytes = "this is no zip archive";
    const std::wstring target = testfolder::Fresh(L"bad_bytes") + L"a\\b\\";
    EXPECT_FALSE(ExtractZipToFolder(bytes.data(), bytes.size(), target));
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_TRUE(std::filesystem::is_empty(target));
    EXPECT_FALSE(ExtractZipToFolder(nullptr, 0, target));
}

}  // namespace
