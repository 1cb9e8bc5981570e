#include "InstallSteps.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// A scratch folder under the wine prefix's temp folder, removed with its files afterwards.
class ScratchFolder {
public:
    ScratchFolder()
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"qv_install_steps_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream file(std::filesystem::path(path), std::ios::binary);
    file << bytes;
}

std::string ReadBytes(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::stringstream all;
    all << file.rdbuf();
    return all.str();
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(CheckFolderPath, UsableWhenTheFolderOrItsParentExists)
{
    ScratchFolder scratch;
    const std::wstring& dir = scratch.path(); // ends with "\"
    struct Case {
        std::wstring folder;
        bool usable;
    } cases[] = {
        {dir, true},
        {dir.substr(0, dir.size() - 1), true},
        {L"C:\\", true},
        {dir + L"not_yet\\", true},
        {dir + L"not_yet", true},
        {dir + L"missing_parent\\child\\", false},
        // A missing drive: Wine answers "file not found" for Q:\Apps\. (Windows: "path not found"), so only
        // the drive root is checked here; the free-space query stops such a folder later.
        {L"Q:\\", false},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(CheckFolderPath(c.folder), c.usable) << std::string(c.folder.begin(), c.folder.end());
    }
}

TEST(CheckFolderPath, AFileIsNotAFolderButItsPathIsThere)
{
    ScratchFolder scratch;
    WriteBytes(scratch.path() + L"plain.txt", "x");
    // "plain.txt\." cannot be a folder; the platform answers "path not found" only below a missing parent.
    SetLastError(0);
    bool usable = CheckFolderPath(scratch.path() + L"plain.txt\\");
    EXPECT_EQ(usable, GetLastError() != ERROR_PATH_NOT_FOUND);
}

TEST(DriveOfFolder, TextUpToTheFirstColon)
{
    EXPECT_EQ(DriveOfFolder(L"C:\\Program Files\\"), L"C:");
    EXPECT_EQ(DriveOfFolder(L"D:"), L"D:");
    EXPECT_EQ(DriveOfFolder(L"\\\\server\\share\\"), L"");
    EXPECT_EQ(DriveOfFolder(L"\\"), L"");
}

TEST(NeededFreeMB, ThreeTimesTheWholeMegabytesAlsoPastTwoGigabytes)
{
    const struct {
        uint32_t bytes;
        int needed;
    } cases[] = {
        {0, 0},
        {1048575, 0},
        {1048576, 3},
        {50u * 1048576 + 1048575, 150},
        {0x7FFFFFFFu, 6141},
        {0x80000000u, 6144},
        {0xFFFFFFFFu, 12285},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NeededFreeMB(c.bytes), c.needed) << c.bytes;
}

TEST(MakeInstallerCommandLine, ExactSwitchesAndQuotes)
{
    EXPECT_EQ(MakeInstallerCommandLine(L"C:\\Program Files\\", L"W\\temp.progress"),
              L" /verysilent /quorvane_down /wait_run /path=\"C:\\Program Files\\\" /progress=\"W\\temp.progress\"");
}

TEST(ReadProgressValue, LeadingDecimalNumberOfTheFirstTenBytes)
{
    ScratchFolder scratch;
    std::wstring file = scratch.path() + L"temp.progress";
    struct Case {
        std::string content;
        int value;
    } cases[] = {
        {"0", 0},         {"50", 50},      {"100", 100},           {"75\r\n", 75},   {"", 0},
        {"abc", 0},       {" \t42x", 42},  {"-5", -5},             {"+7", 7},        {"150", 150},
        {"12345678901234", 1234567890},     {"9\0" "99", 9},
    };
    for (const Case& c : cases) {
        WriteBytes(file, c.content);
        int value = -999;
        ASSERT_TRUE(ReadProgressValue(file, value)) << c.content;
        EXPECT_EQ(value, c.value) << c.content;
    }
    int untouched = 33;
    EXPECT_FALSE(ReadProgressValue(scratch.path() + L"missing.progress", untouched));
    EXPECT_EQ(untouched, 33);
}

TEST(MapInstallProgress, InstallerFillsTheBarFromTheRatioUp)
{
    struct Case {
        int value;
        int shown;
    } cases[] = {{0, 90}, {50, 95}, {75, 97}, {100, 100}, {150, 105}, {-10, 89}};
    for (const Case& c : cases)
        EXPECT_EQ(MapInstallProgress(90, c.value), c.shown) << c.value;
}

TEST(ChannelFile, CodeAsAnsiWithoutTerminatorAndNoFileForAnEmptyCode)
{
    ScratchFolder scratch;
    std::wstring product = scratch.path() + L"Brand\\Product\\";
    MakeProductFolder(product);
    EXPECT_EQ(GetFileAttributesW(product.c_str()) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    WriteChannelFile(product, "com_th");
    EXPECT_EQ(ReadBytes(product + L"domain"), "com_th");

    std::wstring other = scratch.path() + L"Other\\";
    MakeProductFolder(other);
    WriteChannelFile(other, "");
    EXPECT_FALSE(Exists(other + L"domain"));
}

TEST(RunSilentInstaller, AMissingInstallerIsNotReportedAndDoesNotWait)
{
    ScratchFolder scratch;
    EXPECT_TRUE(RunSilentInstaller(scratch.path() + L"none.exe", scratch.path(), scratch.path() + L"temp.progress"));
}

// The test product installer receives the exact command line and has ended when the call returns.
TEST(RunSilentInstaller, WaitsForTheInstallerWithTheSwitches)
{
    wchar_t installer[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"QV_TEST_PRODUCT_SETUP", installer, MAX_PATH))
        GTEST_SKIP() << "QV_TEST_PRODUCT_SETUP names no test product installer";
    ScratchFolder scratch;
    std::wstring work = scratch.path() + L"work\\";
    CreateDirectoryW(work.c_str(), nullptr);
    CreateDirectoryW((work + L"language").c_str(), nullptr);
    std::wstring ini = L"\xFEFF[PRODUCT]\r\nSTR_DIR1_NAME=Brand\r\nSTR_DIR2_NAME=Product\r\nSTR_EXE_NAME=Product.exe\r\n";
    WriteBytes(work + L"language\\productInfo.ini",
               std::string(reinterpret_cast<const char*>(ini.data()), ini.size() * sizeof(wchar_t)));
    SetEnvironmentVariableW(L"QV_TEST_PRODUCT_STEP_MS", L"10");
    std::wstring folder = scratch.path() + L"install dir\\";
    std::wstring progress = work + L"temp.progress";

    EXPECT_TRUE(RunSilentInstaller(installer, folder, progress));

    int value = 0;
    ASSERT_TRUE(ReadProgressValue(progress, value));
    EXPECT_EQ(value, 100);
    std::wstring product = folder + L"Brand\\Product\\";
    EXPECT_TRUE(Exists(product + L"Product.exe"));
    std::string args = ReadBytes(product + L"setup-args.txt");
    std::wstring expected = MakeInstallerCommandLine(folder, progress) + L"\r\n";
    EXPECT_EQ(args, std::string(expected.begin(), expected.end()));
}

} // namespace
