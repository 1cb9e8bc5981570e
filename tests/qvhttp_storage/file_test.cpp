#include "qvhttp/file.hpp"

#include "qvhttp/default_storge.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

class FileTest : public testing::Test {
protected:
  void SetUp() override
  {
    // Unique per run: the native and the Windows build may run this test at the same time.
    dir_ = fs::temp_directory_path() /
           ("qv_file_test_" + std::to_string(std::random_device()()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override
  {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::wstring path(const char* name) const { return (dir_ / name).wstring(); }
  static std::string contents(const std::wstring& p)
  {
    std::ifstream in(fs::path(p), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir_;
};

TEST_F(FileTest, OpenCreatesMissingFileAndKeepsExistingContent)
{
  const std::wstring p = path("data.tmp");
  boost::system::error_code ec;
  {
    qvhttp::file f;
    f.open(p, ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_TRUE(f.is_open());
    EXPECT_EQ(f.path(), p);
    EXPECT_EQ(fs::file_size(p), 0u);
    EXPECT_EQ(f.write("hello world", 11, 0, ec), 11);
  }
  qvhttp::file f;
  f.open(p, ec);
  ASSERT_FALSE(ec);
  EXPECT_EQ(f.write("W", 1, 6, ec), 1);
  char buffer[16] = {};
  EXPECT_EQ(f.read(buffer, sizeof buffer, 0, ec), 11);
  EXPECT_EQ(std::string(buffer, 11), "hello World");
  f.close();
  EXPECT_FALSE(f.is_open());
  EXPECT_TRUE(f.path().empty());
}

TEST_F(FileTest, WritePastEndLeavesZeroGapAndCurrentPositionFollowsSeek)
{
  const std::wstring p = path("sparse.tmp");
  boost::system::error_code ec;
  qvhttp::file f;
  f.open(p, ec);
  ASSERT_FALSE(ec);
  EXPECT_EQ(f.write("xy", 2, 5, ec), 2);
  EXPECT_EQ(contents(p), std::string("\0\0\0\0\0xy", 7));

  f.seek(1, ec);
  ASSERT_FALSE(ec);
  EXPECT_EQ(f.write("ab", 2, qvhttp::file::current_position, ec), 2);
  EXPECT_EQ(f.tell(ec), 3);
  char buffer[4] = {};
  f.seek(0, ec);
  EXPECT_EQ(f.read(buffer, 4, qvhttp::file::current_position, ec), 4);
  EXPECT_EQ(std::string(buffer, 4), std::string("\0ab\0", 4));
}

TEST_F(FileTest, OpenFailsInMissingFolderAndOperationsOnClosedFileReportErrors)
{
  boost::system::error_code ec;
  qvhttp::file f;
  f.open(path("no-such-folder/data.tmp"), ec);
  EXPECT_TRUE(ec);
  EXPECT_FALSE(f.is_open());
  char c;
  EXPECT_EQ(f.read(&c, 1, 0, ec), -1);
  EXPECT_TRUE(ec);
  EXPECT_EQ(f.write(&c, 1, 0, ec), -1);
  EXPECT_TRUE(ec);
}

TEST_F(FileTest, OthersMayReadButNotWriteWhileOpen)
{
  const std::wstring p = path("shared.tmp");
  boost::system::error_code ec;
  qvhttp::file owner;
  owner.open(p, ec);
  ASSERT_FALSE(ec);
  ASSERT_EQ(owner.write("data", 4, 0, ec), 4);

  EXPECT_EQ(contents(p), "data");

  qvhttp::file second;
  second.open(p, ec);
  EXPECT_TRUE(ec) << "a second writer was allowed in";
  EXPECT_FALSE(second.is_open());
#ifdef _WIN32
  EXPECT_FALSE(::DeleteFileW(p.c_str()));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
#endif

  owner.close();
  second.open(p, ec);
  EXPECT_FALSE(ec) << "the file stayed locked after close: " << ec.message();
}

TEST_F(FileTest, StorageEofLeavesPositionAndReadsAtOffsets)
{
  qvhttp::default_storge storage;
  boost::system::error_code ec;
  storage.open(path("storage.tmp"), ec);
  ASSERT_FALSE(ec);
  EXPECT_TRUE(storage.eof());
  EXPECT_EQ(storage.write("abc", 3), 3);
  EXPECT_TRUE(storage.eof());
  EXPECT_EQ(storage.write("Z", 10, 1), 1);
  char buffer[4] = {};
  EXPECT_EQ(storage.read(buffer, 0, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_FALSE(storage.eof());
  EXPECT_EQ(storage.read(buffer, 1), 1);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(storage.read(buffer, 9, 4), 2);
  EXPECT_EQ(std::string(buffer, 2), std::string("\0Z", 2));
  EXPECT_EQ(storage.write("x", 0, -1), -1);
  storage.close();
  EXPECT_EQ(storage.write("x", 0, 1), -1);
}

} // namespace
