#pragma once
// The process's registry of downloads: one DownloadObj per URL, each run on a thread of its own.

#include "qvhttp/download_settings.hpp"
#include "qvhttp/multi_download.hpp"

#include <boost/asio/io_context.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

enum DownloadStatus {
  kDownload_Failed = 1,
  kDownload_Stopped = 2,
  kDownload_Running = 3,
  kDownload_Finished = 4,
  kDownload_Starting = 5,
  kDownload_Stopping = 6,
};

struct DownloadInfo {
  int status = 0;
  std::wstring file;
  std::int64_t total = -1;
  std::int64_t downloaded = 0;
  float ratio = 0;
  int rate = 0;
};

class DownloadObj {
public:
  DownloadObj(void* handle, std::string url, std::string key, std::wstring path);

  void Run();

  void* const m_handle;
  boost::asio::io_context m_io;
  const std::shared_ptr<qvhttp::multi_download> m_downloader;
  std::mutex m_lock; // held for the whole of Run
  std::atomic<bool> m_running{false};
  const std::string m_url;
  const std::string m_key;
  const std::wstring m_path;
  qvhttp::download_settings m_settings;
  std::atomic<int> m_status{kDownload_Starting};

  // Runs started and not yet ended, so a caller can wait for the files to be closed.
  std::mutex m_runsLock;
  std::condition_variable m_runsDone;
  int m_runs = 0;
};

class DownloadManager {
public:
  // Created on first use, never destroyed.
  static DownloadManager& Instance();
  static bool Exists();

  void* CreateDownload(const std::string& url, const std::wstring& path, int connections);
  bool StartDownload(void* handle);
  bool QueryDownload(void* handle, DownloadInfo& info);
  void StopDownload(void* handle);
  // Waits up to timeout until no run of the download is left; true when none is.
  bool WaitDownload(void* handle, std::chrono::milliseconds timeout);

  qvhttp::proxy_settings m_proxy;
  int download_rate_limit = -1;

private:
  DownloadManager() = default;
  std::shared_ptr<DownloadObj> Find(void* handle);

  std::mutex m_objectsLock;
  std::map<void*, std::shared_ptr<DownloadObj>> m_objects;
  std::mutex m_keysLock;
  std::map<std::string, void*> m_keys;
};

// The registry key of a URL: its CRC-32 in lower-case hexadecimal.
std::string DownloadKey(const std::string& url);
