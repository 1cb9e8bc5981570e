#include "System.h"

#include "TaskbarProgress.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path OwnFolder() {
  std::vector<wchar_t> path(32768, L'\0');
  GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size() - 1));
  return fs::path(path.data()).parent_path();
}

fs::path Fixture() { return OwnFolder() / "system.fixture.exe"; }

// A scratch folder of this test program, fresh for every test.
class SystemFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = OwnFolder() / "system_test_out" /
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  fs::path Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }
  // A copy of the fixture under another name, so each case sees its own process and marker files.
  fs::path CopyFixture(const std::string& name) {
    fs::copy_file(Fixture(), dir_ / name);
    return dir_ / name;
  }

  fs::path dir_;
};

// Waits up to 20 s for path to appear.
bool AppearsSoon(const fs::path& path) {
  for (int i = 0; i < 200; ++i) {
    if (fs::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

struct Started {
  HANDLE process = nullptr;
  DWORD id = 0;
  ~Started() {
    if (process != nullptr) {
      TerminateProcess(process, 9);
      CloseHandle(process);
    }
  }
};

bool Launch(const fs::path& exe, const std::wstring& arguments, Started& started) {
  std::wstring command = L"\"" + exe.wstring() + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.wstring().c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  started.process = info.hProcess;
  started.id = info.dwProcessId;
  return true;
}

TEST(FileVersionInfo, DescriptionAndVersionOfEachKindOfResource) {
  struct Case {
    fs::path file;
    const wchar_t* description;
    const wchar_t* version;
  };
  const Case cases[] = {
      {Fixture(), L"QV System Fixture", L"4.3.0.4"},
      {OwnFolder() / "system_german_table.exe", L"", L"2.0.65535.7"},        // not the US English table
      {OwnFolder() / "system_no_translation.exe", L"No Translation Fixture", L""},  // fixed version alone
      {OwnFolder() / "system_test.exe", L"", L""},                           // no version resource
      {OwnFolder() / "missing.exe", L"", L""},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(fs::exists(c.file), c.file.filename() != "missing.exe") << c.file;
    EXPECT_EQ(GetFileDescription(c.file.wstring()), c.description) << c.file;
    EXPECT_EQ(GetFileVersion(c.file.wstring()), c.version) << c.file;
  }
}

TEST(Folders, ProgramFilesAndTheWorkFolder) {
  wchar_t expected[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"ProgramFiles", expected, MAX_PATH), 0u);
  EXPECT_EQ(GetProgFilesDir(), std::wstring(expected) + L"\\");
  EXPECT_EQ(GetDownloaderDir(), GetProgFilesDir() + L"quorvane_down\\system_test\\");
}

TEST_F(SystemFiles, WorkFolderOfADottedNameIsCutAtTheLastDot) {
  const fs::path exe = CopyFixture("setup.beta.exe");
  Started started;
  ASSERT_TRUE(Launch(exe, L"dir", started));
  ASSERT_EQ(WaitForSingleObject(started.process, 20000), WAIT_OBJECT_0);
  std::ifstream in(fs::path(exe.wstring() + L".dir"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::wstring dir(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  EXPECT_EQ(dir, GetProgFilesDir() + L"quorvane_down\\setup.beta\\");
}

TEST(Paths, FileNameFromPath) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\dir\\app.exe", L"app.exe"}, {L"C:/dir/app.exe", L"app.exe"}, {L"C:\\dir/sub\\a.b.c", L"a.b.c"},
      {L"app.exe", L"app.exe"},          {L"C:\\dir\\", L""},             {L"", L""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(GetFileNameFromPath(path), name) << path;
}

TEST(SystemInformation, LanguageProductNameAndBitness) {
  const std::wstring language = GetUILanguageId();
  ASSERT_FALSE(language.empty());
  EXPECT_EQ(language.find_first_not_of(L"0123456789"), std::wstring::npos) << language;
  EXPECT_NE(GetWindowsProductName().find(L"Windows"), std::wstring::npos) << GetWindowsProductName();
  EXPECT_TRUE(IsNative64BitOS());  // wine here is 64-bit only
}

TEST_F(SystemFiles, FreeSpaceOfRealDrivesAndOfNoDrive) {
  int mb = -12345;
  ASSERT_TRUE(GetDiskFreeSpaceMB(L"C:\\", mb));
  EXPECT_GT(mb, 0);
  int in_folder = -12345;
  ASSERT_TRUE(GetDiskFreeSpaceMB(dir_.wstring() + L"\\", in_folder));
  EXPECT_GT(in_folder, 0);

  const DWORD drives = GetLogicalDrives();
  wchar_t unused = 0;
  for (wchar_t letter = L'Y'; letter > L'D' && unused == 0; --letter) {
    if ((drives & (1u << (letter - L'A'))) == 0) unused = letter;
  }
  ASSERT_NE(unused, 0);
  mb = -12345;
  EXPECT_FALSE(GetDiskFreeSpaceMB(std::wstring(1, unused) + L":\\folder\\", mb));
  EXPECT_EQ(mb, -12345) << "out argument touched on failure";
}

TEST_F(SystemFiles, FileExistsOnlyWhenItCanBeOpenedForReading) {
  const fs::path file = Write("present.txt", "x");
  EXPECT_TRUE(IsFileExist(file.wstring()));
  EXPECT_FALSE(IsFileExist((dir_ / "absent.txt").wstring()));
  EXPECT_FALSE(IsFileExist(dir_.wstring()));
  EXPECT_FALSE(IsFileExist(L""));
  HANDLE locked = CreateFileW(file.wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(IsFileExist(file.wstring()));
  CloseHandle(locked);
}

TEST_F(SystemFiles, FindAndKillAProcessByItsExactName) {
  const fs::path exe = CopyFixture("qv_waiter.exe");
  Started started;
  ASSERT_TRUE(Launch(exe, L"wait", started));

  DWORD found = 0;
  ASSERT_TRUE(FindProcess(L"qv_waiter.exe", found));
  EXPECT_EQ(found, started.id);
  for (const wchar_t* other : {L"QV_WAITER.exe", L"qv_waiter.EXE", L"qv_waiter", L"waiter.exe", L""}) {
    DWORD untouched = 77;
    EXPECT_FALSE(FindProcess(other, untouched)) << other;
    EXPECT_EQ(untouched, 77u) << other;
  }

  ASSERT_TRUE(KillProcess(found));
  ASSERT_EQ(WaitForSingleObject(started.process, 20000), WAIT_OBJECT_0);
  DWORD exit_code = 99;
  GetExitCodeProcess(started.process, &exit_code);
  EXPECT_EQ(exit_code, 0u);
  CloseHandle(std::exchange(started.process, nullptr));
  EXPECT_FALSE(KillProcess(0xFFFFFFF0u));
}

TEST_F(SystemFiles, StartProgramAsAdministratorAndShellOpenRunThePrograms) {
  const fs::path admin = CopyFixture("start_admin.exe");
  const fs::path shell = CopyFixture("shell_open.exe");
  StartProgram(admin.wstring(), true);
  ShellOpen(nullptr, shell.wstring());
  EXPECT_TRUE(AppearsSoon(admin.wstring() + L".started"));
  EXPECT_TRUE(AppearsSoon(shell.wstring() + L".started"));
}

// The unelevated start needs the platform's wdc.dll export; without it (wine has none) nothing starts.
TEST_F(SystemFiles, StartProgramAsTheInteractiveUserNeedsTheWdcExport) {
  HMODULE wdc = LoadLibraryW(L"wdc.dll");
  const bool can_start = wdc != nullptr && GetProcAddress(wdc, "WdcRunTaskAsInteractiveUser") != nullptr;
  const fs::path user = CopyFixture("start_user.exe");
  StartProgram(user.wstring(), false);
  StartProgram((dir_ / "missing.exe").wstring(), false);  // not reported
  if (can_start) {
    EXPECT_TRUE(AppearsSoon(user.wstring() + L".started"));
  } else {
    Sleep(2000);
    EXPECT_FALSE(fs::exists(user.wstring() + L".started"));
  }
}

TEST_F(SystemFiles, Md5OfKnownFiles) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"The quick brown fox jumps over the lazy dog", "9e107d9d372bb6826bd81d3542a419d6"},
      {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},  // many blocks and a partial one
  };
  int n = 0;
  for (const auto& [bytes, digest] : cases) {
    EXPECT_EQ(GetFileMd5(Write("f" + std::to_string(n++), bytes).wstring()), digest) << bytes.substr(0, 20);
  }
}

TEST_F(SystemFiles, Md5OfAFileThatCannotBeReadIsEmpty) {
  EXPECT_EQ(GetFileMd5((dir_ / "absent").wstring()), "");
  EXPECT_EQ(GetFileMd5(dir_.wstring()), "");
  const fs::path file = Write("locked", "abc");
  HANDLE locked = CreateFileW(file.wstring().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileMd5(file.wstring()), "");
  CloseHandle(locked);
}

std::wstring PlatformAcp(const std::string& text) {
  std::wstring out(text.size(), L'\0');
  out.resize(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                 static_cast<int>(out.size())));
  return out;
}

TEST(TextConversion, AnsiCodePageBothWays) {
  EXPECT_EQ(AnsiToWide("plain text 123"), L"plain text 123");
  EXPECT_EQ(WideToAnsi(L"plain text 123"), "plain text 123");
  EXPECT_EQ(AnsiToWide(""), L"");
  EXPECT_EQ(WideToAnsi(L""), "");
  EXPECT_EQ(AnsiToWide(std::string("ab\0cd", 5)), L"ab");
  EXPECT_EQ(WideToAnsi(std::wstring(L"ab\0cd", 5)), "ab");

  // A byte of the upper half as this platform's ANSI code page reads it.
  const std::wstring upper = PlatformAcp("\xE9");
  ASSERT_EQ(upper.size(), 1u);
  EXPECT_EQ(AnsiToWide("caf\xE9"), L"caf" + upper);
  EXPECT_EQ(AcpToWide("caf\xE9"), L"caf" + upper);
  EXPECT_EQ(WideToAnsi(L"caf" + upper), "caf\xE9");

  BOOL lossy = FALSE;
  char ignored[8];
  WideCharToMultiByte(CP_ACP, 0, L"\x4e2d", 1, ignored, sizeof(ignored), nullptr, &lossy);
  if (lossy) {
    EXPECT_EQ(WideToAnsi(L"a\x4e2d"), "") << "a character outside the code page fails";
  }
}

TEST(TextConversion, WideToUtf8KeepsEveryCharacter) {
  EXPECT_EQ(WideToUtf8(L"GUID-1234"), "GUID-1234");
  EXPECT_EQ(WideToUtf8(L"\x4e2d\x00e9"), "\xe4\xb8\xad\xc3\xa9");
  EXPECT_EQ(WideToUtf8(L""), "");
}

TEST(StringHelpers, ReplaceAll) {
  struct Case {
    const wchar_t* text;
    const wchar_t* search;
    const wchar_t* replacement;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"C:/dir/app.exe", L"/", L"\\", L"C:\\dir\\app.exe"},
      {L"line\r\nbreaks\r\n", L"\r\n", L"", L"linebreaks"},
      {L"Install [NAME] now, [NAME]", L"[NAME]", L"Quorvane", L"Install Quorvane now, Quorvane"},
      {L"aaa", L"a", L"aa", L"aaaaaa"},  // the replacement is not searched again
      {L"abc", L"x", L"y", L"abc"},
      {L"abc", L"", L"y", L"abc"},
      {L"", L"a", L"b", L""},
  };
  for (const Case& c : cases) {
    std::wstring text = c.text;
    ReplaceAll(text, c.search, c.replacement);
    EXPECT_EQ(text, c.expected) << c.text;
  }
}

TEST(StringHelpers, SplitOnce) {
  struct Case {
    const wchar_t* text;
    const wchar_t* separator;
    bool found;
    const wchar_t* left;
    const wchar_t* right;
  };
  const Case cases[] = {
      {L"a=b=c", L"=", true, L"a", L"b=c"},   {L"key=", L"=", true, L"key", L""},
      {L"=value", L"=", true, L"", L"value"}, {L"a::b", L"::", true, L"a", L"b"},
      {L"no separator", L"=", false, L"no separator", L""},
      {L"abc", L"", false, L"abc", L""},
  };
  for (const Case& c : cases) {
    std::wstring left = L"old";
    std::wstring right = L"old";
    EXPECT_EQ(SplitOnce(c.text, c.separator, left, right), c.found) << c.text;
    EXPECT_EQ(left, c.left) << c.text;
    EXPECT_EQ(right, c.right) << c.text;
  }
  std::wstring text = L"k=v";
  std::wstring right;
  EXPECT_TRUE(SplitOnce(text, L"=", text, right));
  EXPECT_EQ(text, L"k");
  EXPECT_EQ(right, L"v");
}

TEST(TaskbarProgress, DrivesTheButtonOfARealWindow) {
  HWND window = CreateWindowExW(0, L"STATIC", L"QV taskbar test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_SHOW);
  {
    CTaskbarProgress progress;
    progress.Attach(window);
    EXPECT_TRUE(progress.HasTaskbarList());
    for (int state : {2, 4, 8, 1, 0}) progress.SetProgressState(state);
    progress.SetProgressValue(0, 100);
    progress.SetProgressValue(0xFFFFFFFFFFull, 0x1FFFFFFFFFFull);
    progress.SetProgressValue(100, 100);
  }
  DestroyWindow(window);
}

}  // namespace
