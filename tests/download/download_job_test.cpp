#include "HttpDownload.h"

#include "DownloadManager.h"
#include "qvhttp/bencode.hpp"
#include "qvhttp/meta.hpp"
#include "test_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace qvtest;

namespace {

struct Event {
  int kind, value, extra;
  void* owner;
};
std::mutex g_eventsLock;
std::vector<Event> g_events;

void Record(int kind, int value, int extra, void* owner)
{
  std::lock_guard<std::mutex> lock(g_eventsLock);
  g_events.push_back({kind, value, extra, owner});
}

std::vector<Event> TakeEvents()
{
  std::lock_guard<std::mutex> lock(g_eventsLock);
  return std::move(g_events);
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

int Download(const std::string& url, const fs::path& target, void* owner = nullptr, int connections = 16)
{
  DownloadRequest request;
  request.connections = connections;
  request.owner = owner;
  request.url = Wide(url);
  request.path = target.wstring();
  TakeEvents();
  const bool ok = CQVDownload::DownloadFile(request, Record);
  const std::vector<Event> events = TakeEvents();
  EXPECT_GE(events.size(), 2u);
  if (events.size() < 2) return 1;
  EXPECT_EQ(events.front().kind, 0);
  EXPECT_EQ(events.back().kind, 4);
  int last = 0;
  for (const Event& e : events) {
    EXPECT_EQ(e.owner, owner);
    if (e.kind == 3) {
      EXPECT_GE(e.value, last);
      EXPECT_LE(e.value, 100);
      last = e.value;
    }
  }
  EXPECT_EQ(ok, events.back().value == 0);
  return events.back().value;
}

fs::path Tmp(const fs::path& target) { return target.wstring() + L".tmp"; }
fs::path Cfg(const fs::path& target) { return target.wstring() + L".cfg"; }

void WriteMeta(const fs::path& target, const std::string& url, std::int64_t size)
{
  qvhttp::meta_state state;
  state.final_url = url;
  state.file_size = size;
  state.piece_size = 16384;
  state.bits.assign(static_cast<std::size_t>((size + 16383) / 16384), false);
  std::ofstream(Cfg(target), std::ios::binary) << qvhttp::bencode(qvhttp::make_meta(state));
}

TEST(DownloadJob, FinishedDownloadIsMovedIntoPlace)
{
  const fs::path target = FreshFolder("job") / "setup.exe";
  int owner;
  ASSERT_EQ(Download(HttpUrl("/eight.bin"), target, &owner), 0);
  EXPECT_TRUE(ReadFile(target) == Source("eight.bin"));
  EXPECT_FALSE(fs::exists(Tmp(target)));
  EXPECT_FALSE(fs::exists(Cfg(target)));
}

TEST(DownloadJob, ResultCodes)
{
  struct Case {
    std::string url;
    int result;
    bool target_made;
  };
  const Case cases[] = {
      {HttpUrl("/whole/three.bin"), 0, true},      // one connection, no meta file
      {ScriptUrl("/nolength/1/three.bin"), -2, false}, // the size never known: never complete
      {HttpUrl("/missing.bin"), -4, false},
      {"http://127.0.0.1:1/closed-port", -4, false},
  };
  for (const Case& c : cases) {
    const fs::path target = FreshFolder("codes") / "setup.exe";
    EXPECT_EQ(Download(c.url, target), c.result) << c.url;
    EXPECT_EQ(fs::exists(target), c.target_made) << c.url;
    EXPECT_FALSE(fs::exists(Cfg(target))) << c.url;
  }
}

TEST(DownloadJob, FailedMoveIsAFailureNotASuccess)
{
  const fs::path target = FreshFolder("blocked") / "setup.exe";
  fs::create_directories(target / "occupied"); // a folder that cannot be replaced by the file
  EXPECT_EQ(Download(HttpUrl("/small.bin"), target), -4);
  EXPECT_TRUE(ReadFile(Tmp(target)) == Source("small.bin"));
}

TEST(DownloadJob, CancelKeepsTheResumeFilesAndTheSameUrlResumesIntoTheFirstPath)
{
  const fs::path folder = FreshFolder("cancel");
  const fs::path target = folder / "setup.exe";
  const std::string url = HttpUrl("/medium/eight.bin"); // 2 connections of 1 MiB/s: about 4 s
  std::thread canceller([] {
    // Once the download runs (the first progress report), cancel it as the window's close does.
    const auto giveUp = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < giveUp) {
      {
        std::lock_guard<std::mutex> lock(g_eventsLock);
        if (!g_events.empty() && g_events.back().kind == 3) break;
      }
      std::this_thread::sleep_for(5ms);
    }
    CQVDownload::CancelDownload();
  });
  EXPECT_EQ(Download(url, target, nullptr, 2), -5);
  canceller.join();
  void* handle = DownloadManager::Instance().CreateDownload(url, target.wstring(), 16);
  EXPECT_TRUE(DownloadManager::Instance().WaitDownload(handle, 10s));
  EXPECT_TRUE(fs::exists(Tmp(target)));
  EXPECT_TRUE(fs::exists(Cfg(target)));
  EXPECT_FALSE(fs::exists(target));

  // Same URL, other path: the registry's object keeps its first path and resumes there.
  EXPECT_EQ(Download(url, folder / "other.exe"), 0);
  EXPECT_TRUE(ReadFile(target) == Source("eight.bin"));
  EXPECT_FALSE(fs::exists(folder / "other.exe"));
}

TEST(DownloadJob, JudgeDeleteHistoryFileKeepsOnlyTheSameDownload)
{
  const std::string url = "http://127.0.0.1:9/setup.exe";
  struct Case {
    const char* name;
    std::string meta; // bytes of the .cfg; "-" for none
    bool deleted;
  };
  const auto meta = [](const std::string& u, std::int64_t size) {
    qvhttp::meta_state state;
    state.final_url = u;
    state.file_size = size;
    state.piece_size = 16384;
    state.bits.assign(static_cast<std::size_t>((size + 16383) / 16384), false);
    return qvhttp::bencode(qvhttp::make_meta(state));
  };
  const Case cases[] = {
      {"no meta file", "-", false},
      {"same url and size", meta(url, 5000), false},
      {"other url", meta("http://127.0.0.1:9/other.exe", 5000), true},
      {"other size", meta(url, 5001), true},
      {"empty meta file", "", true},
      {"undecodable meta file", "garbage", true},
  };
  for (const Case& c : cases) {
    const fs::path target = FreshFolder("judge") / "setup.exe";
    std::ofstream(Tmp(target), std::ios::binary) << "partial";
    if (c.meta != "-") std::ofstream(Cfg(target), std::ios::binary) << c.meta;
    EXPECT_EQ(JudgeDeleteHistoryFile(Wide(url), 5000, target.wstring()), c.deleted) << c.name;
    EXPECT_EQ(fs::exists(Tmp(target)), !c.deleted) << c.name;
    EXPECT_EQ(fs::exists(Cfg(target)), !c.deleted && c.meta != "-") << c.name;
  }
}

TEST(DownloadJob, ReadHistoryMetaAndRemoveTemporaryFiles)
{
  const fs::path target = FreshFolder("history") / "setup.exe";
  std::wstring url;
  std::int64_t size = -1;
  EXPECT_FALSE(ReadHistoryMeta(Cfg(target).wstring(), url, size));
  WriteMeta(target, "HTTP://Host.Example:8080/a%20b?q=1#f", 123456789012);
  ASSERT_TRUE(ReadHistoryMeta(Cfg(target).wstring(), url, size));
  EXPECT_EQ(url, L"http://Host.Example:8080/a%20b?q=1#f");
  EXPECT_EQ(size, 123456789012);

  std::ofstream(Cfg(target), std::ios::binary) << "i5e"; // decodes, but is no dictionary
  EXPECT_FALSE(ReadHistoryMeta(Cfg(target).wstring(), url, size));

  EXPECT_TRUE(RemoveTemporaryFileWrap(target.wstring()));
  EXPECT_FALSE(fs::exists(Cfg(target)));
  EXPECT_TRUE(RemoveTemporaryFileWrap(target.wstring())) << "nothing left to remove is success";
}

TEST(DownloadJob, RegistryKeyIsTheUrlsCrc32)
{
  EXPECT_EQ(DownloadKey("123456789"), "cbf43926");
  EXPECT_EQ(DownloadKey(""), "0");
  void* a = DownloadManager::Instance().CreateDownload("http://127.0.0.1:9/a", L"a", 16);
  EXPECT_EQ(DownloadManager::Instance().CreateDownload("http://127.0.0.1:9/a", L"b", 4), a);
  EXPECT_NE(DownloadManager::Instance().CreateDownload("http://127.0.0.1:9/b", L"b", 16), a);
}

} // namespace
