#include "Log.h"

#include "LogFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kLimit = 10485760;

int IndexOf(const std::string& message) {
  int index = -1;
  std::sscanf(message.c_str(), "record %d", &index);
  return index;
}

TEST(LogRoll, GrowingPastTheLimitKeepsTheLogAndOneBackup) {
  const fs::path dir = fs::current_path() / "log_roll_out";
  fs::remove_all(dir);
  InitLog(L"roll.log", dir.wstring().c_str());

  // About two and a half files' worth: the log rolls twice, so the first backup is replaced.
  const std::string payload(1000, 'r');
  const int count = static_cast<int>(kLimit * 5 / 2 / (payload.size() + 40));
  for (int i = 0; i < count; ++i) LOGA(1, "record %07d %s", i, payload.c_str());

  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names, (std::vector<std::string>{"roll.log", "roll.log.1"}));

  const std::string record_bytes = "2026-01-01 00:00:00,000 record 0000000 " + payload + "\r\n ";
  const std::uintmax_t backup_size = fs::file_size(dir / "roll.log.1");
  EXPECT_GE(backup_size, kLimit);
  EXPECT_LT(backup_size, kLimit + record_bytes.size());

  std::vector<std::string> backup;
  std::vector<std::string> current;
  std::string error;
  ASSERT_TRUE(logtest::SplitRecords(logtest::ReadBytes(dir / "roll.log.1"), backup, error)) << error;
  ASSERT_TRUE(logtest::SplitRecords(logtest::ReadBytes(dir / "roll.log"), current, error)) << error;
  ASSERT_FALSE(backup.empty());
  ASSERT_FALSE(current.empty());
  EXPECT_GT(IndexOf(backup.front()), 0) << "the first backup should have been replaced";
  // Nothing is lost or doubled across the roll: the records run on from the backup into the log.
  std::vector<std::string> all = backup;
  all.insert(all.end(), current.begin(), current.end());
  for (std::size_t i = 1; i < all.size(); ++i) {
    ASSERT_EQ(IndexOf(all[i]), IndexOf(all[i - 1]) + 1) << "after " << all[i - 1].substr(0, 14);
  }
  EXPECT_EQ(IndexOf(all.back()), count - 1);
}

}  // namespace
