#include "DownloadManager.h"

#include <boost/crc.hpp>

#include <cstdio>
#include <filesystem>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::atomic<DownloadManager*> g_manager{nullptr};

// Moves the finished data over the target, replacing an older file of that name.
bool ReplaceFile(const std::wstring& from, const std::wstring& to)
{
#ifdef _WIN32
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
#else
  std::error_code ec;
  std::filesystem::rename(from, to, ec);
  return !ec;
#endif
}

} // namespace

std::string DownloadKey(const std::string& url)
{
  boost::crc_32_type crc;
  crc.process_bytes(url.data(), url.size());
  char text[9];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(crc.checksum()));
  return text;
}

DownloadObj::DownloadObj(void* handle, std::string url, std::string key, std::wstring path)
    : m_handle(handle), m_downloader(std::make_shared<qvhttp::multi_download>(m_io)), m_url(std::move(url)),
      m_key(std::move(key)), m_path(std::move(path))
{
}

void DownloadObj::Run()
{
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_running = true;

    // Handlers left over from an earlier run (a late stop, a cancelled read) run now, not in the new one.
    for (int i = 0; i < m_settings.connections_limit; ++i) {
      try {
        if (m_io.poll_one() == 0) break;
      } catch (...) {
      }
    }
    m_io.restart();

    try {
      m_status = kDownload_Starting;
      m_downloader->start(m_url, m_settings);
      m_status = kDownload_Running;
      m_io.run();

      if (m_downloader->bytes_downloaded() == m_downloader->file_size()) {
        // Finished only when the file is really in place: a failed move is a failed download.
        if (ReplaceFile(m_settings.save_path, m_path)) {
          std::error_code ignored;
          std::filesystem::remove(m_settings.meta_file, ignored);
          m_status = kDownload_Finished;
        } else {
          m_status = kDownload_Failed;
        }
      } else {
        m_status = kDownload_Stopped;
      }
    } catch (...) {
      m_io.stop();
      m_io.restart();
      m_downloader->stop();
      m_downloader->close_files();
      m_status = kDownload_Failed;
    }
    m_running = false;
  }
  std::lock_guard<std::mutex> lock(m_runsLock);
  --m_runs;
  m_runsDone.notify_all();
}

DownloadManager& DownloadManager::Instance()
{
  DownloadManager* manager = g_manager.load();
  if (!manager) {
    DownloadManager* created = new DownloadManager();
    if (g_manager.compare_exchange_strong(manager, created))
      manager = created;
    else
      delete created;
  }
  return *manager;
}

bool DownloadManager::Exists() { return g_manager.load() != nullptr; }

void* DownloadManager::CreateDownload(const std::string& url, const std::wstring& path, int connections)
{
  const std::string key = DownloadKey(url);
  void* handle = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_keysLock);
    void*& mapped = m_keys[key];
    if (mapped) return mapped; // an existing download keeps its path and settings
    // Never freed: the address identifies the download for the life of the process.
    mapped = handle = new std::int32_t(0);
  }
  auto object = std::make_shared<DownloadObj>(handle, url, key, path);
  qvhttp::download_settings& settings = object->m_settings;
  settings.connections_limit = connections;
  settings.time_out = 20;
  settings.request_piece_num = 8;
  settings.download_rate_limit = download_rate_limit;
  settings.meta_file = path + L".cfg";
  settings.save_path = path + L".tmp";
  settings.allow_use_meta_url = false;
  settings.check_certificate = false;
  settings.proxy = m_proxy;
  {
    std::lock_guard<std::mutex> lock(m_objectsLock);
    m_objects[handle] = object;
  }
  return handle;
}

std::shared_ptr<DownloadObj> DownloadManager::Find(void* handle)
{
  std::lock_guard<std::mutex> lock(m_objectsLock);
  const auto found = m_objects.find(handle);
  return found == m_objects.end() ? nullptr : found->second;
}

bool DownloadManager::StartDownload(void* handle)
{
  const std::shared_ptr<DownloadObj> object = Find(handle);
  if (!object || object->m_running) return false;
  object->m_status = kDownload_Starting;
  {
    std::lock_guard<std::mutex> lock(object->m_runsLock);
    ++object->m_runs;
  }
  std::thread([object] { object->Run(); }).detach();
  return true;
}

bool DownloadManager::QueryDownload(void* handle, DownloadInfo& info)
{
  const std::shared_ptr<DownloadObj> object = Find(handle);
  if (!object) return false;
  const std::int64_t downloaded = object->m_downloader->bytes_downloaded();
  const std::int64_t total = object->m_downloader->file_size();
  info.status = object->m_status;
  info.file = info.status == kDownload_Finished ? object->m_path : object->m_settings.save_path;
  info.total = total;
  info.downloaded = downloaded;
  // An unknown size (-1) would give a negative share.
  info.ratio = total > 0 ? static_cast<float>(static_cast<double>(downloaded) / static_cast<double>(total)) : 0.0f;
  info.rate = object->m_downloader->download_rate();
  return true;
}

void DownloadManager::StopDownload(void* handle)
{
  const std::shared_ptr<DownloadObj> object = Find(handle);
  if (!object) return;
  // Compare-and-set, so a status that Run sets meanwhile (finished, say) is not overwritten.
  int expected = kDownload_Running;
  if (!object->m_status.compare_exchange_strong(expected, kDownload_Stopping)) return;
  object->m_downloader->stop();
  expected = kDownload_Stopping;
  object->m_status.compare_exchange_strong(expected, kDownload_Stopped);
}

bool DownloadManager::WaitDownload(void* handle, std::chrono::milliseconds timeout)
{
  const std::shared_ptr<DownloadObj> object = Find(handle);
  if (!object) return true;
  std::unique_lock<std::mutex> lock(object->m_runsLock);
  return object->m_runsDone.wait_for(lock, timeout, [&] { return object->m_runs == 0; });
}
