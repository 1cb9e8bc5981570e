#include "Log.h"

#include "LogFiles.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path OutDir() { return fs::current_path() / "log_test_out"; }
fs::path LogPath() { return OutDir() / "Log" / "log_test.log"; }

// One log per process: started once here, before any test writes.
class StartedLog : public ::testing::Environment {
 public:
  void SetUp() override {
    fs::remove_all(OutDir());
    InitLog(L"log_test.log", (OutDir() / "Log").wstring().c_str());
    LOGA(1, "log_test started");
  }
};
const auto* const kStartedLog = ::testing::AddGlobalTestEnvironment(new StartedLog);

// Messages of the records appended since the previous call.
class LogTail : public ::testing::Test {
 protected:
  void SetUp() override { seen_ = logtest::ReadBytes(LogPath()).size(); }

  std::vector<std::string> Appended() {
    const std::string bytes = logtest::ReadBytes(LogPath());
    std::vector<std::string> messages;
    std::string error;
    EXPECT_TRUE(logtest::SplitRecords(bytes.substr(seen_), messages, error)) << error;
    seen_ = bytes.size();
    return messages;
  }

  std::size_t seen_ = 0;
};

std::string WideAsRecorded(const std::wstring& text) {
#ifdef _WIN32
  int size = WideCharToMultiByte(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                      nullptr);
  return out;
#else
  EXPECT_EQ(text, L"\x4e2d\x00e9 x");
  return "\xe4\xb8\xad\xc3\xa9 x";
#endif
}

TEST_F(LogTail, FileStartsWithFirstRecordAndEndsWithTheTrailingBlank) {
  const std::string bytes = logtest::ReadBytes(LogPath());
  ASSERT_GT(bytes.size(), 3u);
  EXPECT_NE(bytes[0], ' ');
  EXPECT_EQ(bytes.substr(bytes.size() - 3), "\r\n ");
  std::vector<std::string> messages;
  std::string error;
  ASSERT_TRUE(logtest::SplitRecords(bytes, messages, error)) << error;
  EXPECT_EQ(messages.front(), "log_test started");
  EXPECT_LE(std::abs(logtest::StampAge(bytes)), 60.0) << "time stamp is not the local time";
}

TEST_F(LogTail, NarrowRecordsAreFormattedAndWrittenByteForByte) {
  struct Case {
    const char* expected;
    void (*write)();
  };
  const Case cases[] = {
      {"a 5 -7 1234567890123 ff x", [] { LOGA(1, "a %d %d %lld %x %s", 5, -7, 1234567890123LL, 255, "x"); }},
      // Code page 936 punctuation of the callers' formats ("：" and "秒") stays as its bytes.
      {"time\xA3\xBA" "3\xC3\xEB", [] { LOGA(1, "time\xA3\xBA%d\xC3\xEB", 3); }},
      {"line\r\n", [] { LOGA(1, "line\n"); }},
      {"two\r\nlines", [] { LOGA(1, "two\nlines"); }},
      {"{} and {0} are not format fields", [] { LOGA(1, "{} and {0} are not format fields"); }},
      {"100% sure", [] { LOGA(1, "100%% sure"); }},
  };
  for (const Case& c : cases) {
    c.write();
    EXPECT_EQ(Appended(), std::vector<std::string>{c.expected});
  }
}

TEST_F(LogTail, WideRecordsFollowTheWindowsFormatRulesAndTheOemCodePage) {
  LOGW(1, L"%s and %S, %c%d", L"wide", "narrow", L'w', 9);
  EXPECT_EQ(Appended(), std::vector<std::string>{"wide and narrow, w9"});
  LOGW(1, L"%s", L"\x4e2d\x00e9 x");
  EXPECT_EQ(Appended(), std::vector<std::string>{WideAsRecorded(L"\x4e2d\x00e9 x")});
  LogFormatW(L"C::F", L"c:\\src\\f.cpp", 1, 1, L"%ls|%5s|", L"l", L"ab");
  EXPECT_EQ(Appended(), std::vector<std::string>{"l|   ab|"});
}

TEST_F(LogTail, LevelsZeroToThreeAreWrittenOthersDropped) {
  for (int level : {-1, 0, 1, 2, 3, 4, 7}) LOGA(level, "level %d", level);
  EXPECT_EQ(Appended(), (std::vector<std::string>{"level 0", "level 1", "level 2", "level 3"}));
}

TEST_F(LogTail, EmptyFormatsAndMessagesWriteNothing) {
  LOGA(1, nullptr);
  LOGA(1, "");
  LOGA(1, "%s", "");
  LOGW(1, nullptr);
  LOGW(1, L"");
  LOGW(1, L"%s", L"");
  WriteLog(1, "");
  EXPECT_TRUE(Appended().empty());
}

TEST_F(LogTail, LongMessagesAreNotTruncated) {
  const std::string narrow(200000, 'n');
  const std::wstring wide(100000, L'w');
  LOGA(1, "%s.", narrow.c_str());
  LOGW(1, L"%s.", wide.c_str());
  EXPECT_EQ(Appended(), (std::vector<std::string>{narrow + ".", std::string(wide.size(), 'w') + "."}));
}

TEST_F(LogTail, UnformattableMessageGivesTheFatalRecordAtTheCallersLevel) {
  // A wide string argument that the narrow character set cannot hold fails to format.
  const int line = __LINE__ + 1;
  LOGA(2, "%ls", L"\x4e2d");
  const std::vector<std::string> records = Appended();
  ASSERT_EQ(records.size(), 1u);
  // The function is named as "Class::Operation", without return type or parameters.
  const std::string prefix = "[LogTest.cpp:" + std::to_string(line) + "][";
  const std::string suffix = "LogTail_UnformattableMessageGivesTheFatalRecordAtTheCallersLevel_Test::TestBody] "
                             "***Fatal Error Check,Please Fix it!***";
  EXPECT_EQ(records[0].rfind(prefix, 0), 0u) << records[0];
  ASSERT_GE(records[0].size(), suffix.size());
  EXPECT_EQ(records[0].substr(records[0].size() - suffix.size()), suffix) << records[0];
  EXPECT_EQ(records[0].find_first_of("( "), records[0].find(' ', prefix.size())) << records[0];
  LOGA(7, "%ls", L"\x4e2d");
  EXPECT_TRUE(Appended().empty());
}

TEST_F(LogTail, SecondInitLogKeepsTheFirstFile) {
  const fs::path other = OutDir() / "other";
  InitLog(L"other.log", other.wstring().c_str());
  LOGA(1, "after second start");
  EXPECT_EQ(Appended(), std::vector<std::string>{"after second start"});
  EXPECT_FALSE(fs::exists(other));
}

TEST_F(LogTail, RecordsFromManyThreadsStayWhole) {
  constexpr int kThreads = 4;
  constexpr int kRecords = 400;
  const std::string payload(300, 'p');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &payload] {
      for (int r = 0; r < kRecords; ++r) {
        if (r % 2 == 0) {
          LOGA(1, "thread %d record %d %s", t, r, payload.c_str());
        } else {
          LOGW(1, L"thread %d record %d %S", t, r, payload.c_str());
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  std::vector<std::vector<bool>> seen(kThreads, std::vector<bool>(kRecords, false));
  for (const std::string& message : Appended()) {
    int t = -1;
    int r = -1;
    char rest[400] = {};
    ASSERT_EQ(std::sscanf(message.c_str(), "thread %d record %d %399s", &t, &r, rest), 3) << message;
    ASSERT_TRUE(t >= 0 && t < kThreads && r >= 0 && r < kRecords) << message;
    EXPECT_EQ(rest, payload) << message;
    EXPECT_FALSE(seen[t][r]) << "twice: " << message;
    seen[t][r] = true;
  }
  for (int t = 0; t < kThreads; ++t) {
    for (int r = 0; r < kRecords; ++r) EXPECT_TRUE(seen[t][r]) << "lost: thread " << t << " record " << r;
  }
}

#ifdef _WIN32
TEST_F(LogTail, OpenLogIsSharedForReadingAndWriting) {
  HANDLE other = CreateFileW(LogPath().wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE) << GetLastError();
  LOGA(1, "while another handle is open");
  CloseHandle(other);
  EXPECT_EQ(Appended(), std::vector<std::string>{"while another handle is open"});
}
#endif

TEST(CreateDirectories, MakesEveryMissingParent) {
  const fs::path root = fs::current_path() / "log_test_dirs";
  fs::remove_all(root);
  const std::wstring base = root.wstring();
  struct Case {
    std::wstring path;
    fs::path made;
  };
  const Case cases[] = {
      {base + L"/a/b/c", root / "a" / "b" / "c"},
      {base + L"\\mixed/seps\\\\doubled//", root / "mixed" / "seps" / "doubled"},
      {base + L"/a/b", root / "a" / "b"},  // exists already
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(CreateDirectories(c.path)) << fs::path(c.path).string();
    EXPECT_TRUE(fs::is_directory(c.made)) << c.made.string();
  }
  fs::remove_all(root);
}

TEST(CreateDirectories, FailsWhereNoFolderCanBe) {
  const fs::path root = fs::current_path() / "log_test_blocked";
  fs::remove_all(root);
  fs::create_directories(root);
  std::ofstream(root / "file") << "x";
  EXPECT_FALSE(CreateDirectories(L""));
  EXPECT_FALSE(CreateDirectories((root / "file" / "sub").wstring()));
  fs::remove_all(root);
}

}  // namespace
