#include "Log.h"

#include "LogFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// This program is named "log.default_test": its default log is <its folder>/Log/log.log.
// CTest runs it in its own folder.
TEST(LogDefault, LoggingBeforeInitLogStartsTheDefaultLogAndWins) {
  const fs::path dir = fs::current_path() / "Log";
  const fs::path other = fs::current_path() / "log_default_other";
  fs::remove_all(dir);
  fs::remove_all(other);

  LOGA(1, nullptr);
  LOGA(1, "");
  LOGW(1, L"");
  EXPECT_FALSE(fs::exists(dir)) << "an empty format must not start the log";

  LOGA(1, "%s", "");  // an empty message still starts it
  ASSERT_TRUE(fs::exists(dir / "log.log"));
  EXPECT_EQ(fs::file_size(dir / "log.log"), 0u);

  LOGA(1, "first");
  InitLog(L"later.log", other.wstring().c_str());
  LOGW(1, L"second");
  EXPECT_FALSE(fs::exists(other));

  std::vector<std::string> messages;
  std::string error;
  ASSERT_TRUE(logtest::SplitRecords(logtest::ReadBytes(dir / "log.log"), messages, error)) << error;
  EXPECT_EQ(messages, (std::vector<std::string>{"first", "second"}));
}

}  // namespace
