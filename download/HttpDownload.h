#pragma once
// The installer's download job: one URL into one file over many connections, polled until it ends.

#include <cstdint>
#include <string>

struct DownloadRequest {
  int connections = 16;
  void* owner = nullptr; // handed back to every callback
  std::wstring url;
  std::wstring path;
};

// kind 0: started; kind 3: value = percent done; kind 4: value = result, extra = elapsed seconds.
using DownloadCallback = void (*)(int kind, int value, int extra, void* owner);

class CQVDownload {
public:
  // Blocks until the download ends; true exactly when Download's result is 0.
  static bool DownloadFile(const DownloadRequest& request, DownloadCallback callback);
  // 0 finished, -2 ended without all bytes, -4 failed, -5 cancelled.
  static int Download();
  // From any thread: stops the current download; the polling job returns -5.
  static void CancelDownload();
  // The current job's download handle, null when none or cancelled.
  static void* CurrentHandle();
};

// Deletes fileName's .tmp and .cfg when its meta file describes another URL or size.
bool JudgeDeleteHistoryFile(const std::wstring& url, int totalBytes, const std::wstring& fileName);
bool RemoveTemporaryFileWrap(const std::wstring& path);
bool ReadHistoryMeta(const std::wstring& metaPath, std::wstring& url, std::int64_t& size);
