#include "HttpDownload.h"

#include "DownloadManager.h"
#include "Log.h"
#include "qvhttp/bencode.hpp"
#include "qvhttp/file.hpp"
#include "qvhttp/url.hpp"

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct JobRecord {
  DownloadRequest request;
  DownloadCallback callback = nullptr;
  void* handle = nullptr; // null: no download, or a cancelled one
};

// One job at a time; the lock only keeps CancelDownload from another thread from tearing the record.
std::mutex g_jobLock;
std::unique_ptr<JobRecord> g_job;

std::int64_t NowSeconds()
{
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Through the user's default code page, as the rest of the program converts.
std::string ToNarrow(const std::wstring& text)
{
  std::setlocale(LC_CTYPE, "");
  std::vector<char> buffer(text.size() * 4 + 1);
  const std::size_t length = std::wcstombs(buffer.data(), text.c_str(), buffer.size());
  return length == static_cast<std::size_t>(-1) ? std::string() : std::string(buffer.data(), length);
}

std::wstring ToWide(const std::string& text)
{
  std::setlocale(LC_CTYPE, "");
  std::vector<wchar_t> buffer(text.size() + 1);
  const std::size_t length = std::mbstowcs(buffer.data(), text.c_str(), buffer.size());
  return length == static_cast<std::size_t>(-1) ? std::wstring() : std::wstring(buffer.data(), length);
}

void* JobHandle()
{
  std::lock_guard<std::mutex> lock(g_jobLock);
  return g_job ? g_job->handle : nullptr;
}

bool RemoveIfPresent(const std::wstring& path)
{
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) return true;
  return std::filesystem::remove(path, ec) && !ec;
}

} // namespace

bool CQVDownload::DownloadFile(const DownloadRequest& request, DownloadCallback callback)
{
  {
    std::lock_guard<std::mutex> lock(g_jobLock);
    g_job = std::make_unique<JobRecord>();
    g_job->request = request;
    g_job->callback = callback;
  }
  return Download() == 0;
}

int CQVDownload::Download()
{
  LOGA(1, "Download....");
  const std::int64_t started = NowSeconds();

  DownloadRequest request;
  DownloadCallback callback = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_jobLock);
    if (g_job) {
      request = g_job->request;
      callback = g_job->callback;
    }
  }
  if (callback) callback(0, 0, 0, request.owner);

  const std::string url = ToNarrow(request.url);
  const std::wstring path = request.path;

  DownloadManager& manager = DownloadManager::Instance();
  void* handle = manager.CreateDownload(url, path, request.connections);
  {
    std::lock_guard<std::mutex> lock(g_jobLock);
    if (g_job) g_job->handle = handle;
  }
  manager.StartDownload(handle);

  int result = -5;
  if (handle) {
    for (;;) {
      DownloadInfo info;
      manager.QueryDownload(handle, info);
      const auto pollEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
      // Wakes early when the run ends, so the job does not sit out the rest of the poll with the
      // file already in place.
      if (manager.WaitDownload(handle, std::chrono::milliseconds(800))) {
        manager.QueryDownload(handle, info);
        if (info.status != kDownload_Finished && info.status != kDownload_Failed &&
            info.status != kDownload_Stopped)
          std::this_thread::sleep_until(pollEnd);
      }
      if (info.status == kDownload_Finished) {
        result = 0;
        break;
      }
      if (info.status == kDownload_Running && callback)
        callback(3, static_cast<int>(info.ratio * 100.0f), 0, request.owner);
      else if (info.status == kDownload_Failed) {
        result = -4;
        break;
      } else if (info.status == kDownload_Stopped) {
        result = -2;
        break;
      }
      if (!JobHandle()) {
        result = -5;
        break;
      }
    }
    if (!JobHandle()) result = -5;
  }
  if (result == -5) LOGA(1, "HttpDownload qvhttp user maybe cancel.");

  const int elapsed = static_cast<int>(NowSeconds() - started);
  LOGA(1, "HttpDownload,ret = %d (time = %d \xC3\xEB)", result, elapsed);
  if (callback) callback(4, result, elapsed, request.owner);
  return result;
}

void CQVDownload::CancelDownload()
{
  std::lock_guard<std::mutex> lock(g_jobLock);
  if (!g_job || !DownloadManager::Exists()) return;
  DownloadManager::Instance().StopDownload(g_job->handle);
  g_job->handle = nullptr;
}

void* CQVDownload::CurrentHandle() { return JobHandle(); }

bool ReadHistoryMeta(const std::wstring& metaPath, std::wstring& url, std::int64_t& size)
{
  std::error_code fsError;
  const std::uintmax_t length = std::filesystem::file_size(metaPath, fsError);
  if (fsError) return false;
  try {
    qvhttp::file meta;
    boost::system::error_code ec;
    meta.open(metaPath, ec);
    if (ec) return false;
    url.clear();
    size = 0;
    if (length == 0) return true;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    if (meta.read(bytes.data(), bytes.size(), 0, ec) != static_cast<std::int64_t>(bytes.size())) return false;
    bool error = false;
    qvhttp::entry decoded = qvhttp::bdecode(bytes, error);
    if (error) decoded = qvhttp::entry(qvhttp::entry::dictionary_t);
    // An unparsable URL reads as empty.
    const qvhttp::url parsed = qvhttp::url::from_string(decoded["final_url"].string(), ec);
    url = ToWide(parsed.to_string(qvhttp::url::all_components));
    size = decoded["file_size"].integer();
    return true;
  } catch (...) {
    return false;
  }
}

bool RemoveTemporaryFileWrap(const std::wstring& path)
{
  if (!RemoveIfPresent(path + L".tmp")) return false;
  return RemoveIfPresent(path + L".cfg");
}

bool JudgeDeleteHistoryFile(const std::wstring& url, int totalBytes, const std::wstring& fileName)
{
  LOGW(1, L"JudgeDeleteHistoryFile strDownloadUrl=%s, totalBytes=%d, strFileName=%s", url.c_str(), totalBytes,
       fileName.c_str());
  std::wstring metaUrl;
  std::int64_t metaSize = 0;
  if (!ReadHistoryMeta(fileName + L".cfg", metaUrl, metaSize)) return false;
  if (metaUrl == url && metaSize == static_cast<std::int64_t>(totalBytes)) return false;
  const bool removed = RemoveTemporaryFileWrap(fileName);
  LOGA(1, "RemoveTemporaryFileWrap result=%d", removed ? 1 : 0);
  return removed;
}
