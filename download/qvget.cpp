// qvget [-n CONNECTIONS] URL OUTPUT: downloads URL into OUTPUT through the download job, resuming
// from OUTPUT.tmp and OUTPUT.cfg when an earlier run left them.

#include "DownloadManager.h"
#include "HttpDownload.h"
#include "Log.h"

#include <atomic>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<void*> g_cancelledHandle{nullptr};
int g_result = -4;
bool g_terminal = false;
std::chrono::steady_clock::time_point g_lastLine;

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD type)
{
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  g_interrupted = true;
  return TRUE;
}
#else
extern "C" void OnInterrupt(int) { g_interrupted = true; }
#endif

std::string Mib(std::int64_t bytes)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / 1048576.0);
  return text;
}

void ShowProgress(int percent)
{
  DownloadInfo info;
  void* handle = CQVDownload::CurrentHandle();
  if (!handle || !DownloadManager::Instance().QueryDownload(handle, info)) return;
  const std::string total = info.total >= 0 ? Mib(info.total) : std::string("?");
  const std::string rate = Mib(info.rate) + "/s";
  if (g_terminal) {
    const int width = 30;
    const int filled = info.total > 0 ? percent * width / 100 : 0;
    std::fprintf(stderr, "\r[%s%s] %3d%%  %s / %s  %s   ", std::string(filled, '#').c_str(),
                 std::string(width - filled, ' ').c_str(), percent, Mib(info.downloaded).c_str(), total.c_str(),
                 rate.c_str());
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - g_lastLine < std::chrono::seconds(1)) return;
  g_lastLine = now;
  std::fprintf(stderr, "%3d%%  %s / %s  %s\n", percent, Mib(info.downloaded).c_str(), total.c_str(), rate.c_str());
}

void OnDownload(int kind, int value, int extra, void*)
{
  if (kind == 3) ShowProgress(value);
  if (kind == 4) {
    g_result = value;
    if (g_terminal) std::fputc('\n', stderr);
    std::fprintf(stderr, "result %d after %d s\n", value, extra);
  }
}

int Usage()
{
  std::fprintf(stderr, "usage: qvget [-n CONNECTIONS] URL OUTPUT\n");
  return 1;
}

int Run(const std::vector<std::wstring>& args)
{
  int connections = 16;
  std::size_t next = 0;
  if (args.size() >= 2 && args[0] == L"-n") {
    wchar_t* end = nullptr;
    const long n = std::wcstol(args[1].c_str(), &end, 10);
    if (*end != L'\0' || n < 1 || n > 64) {
      std::fprintf(stderr, "qvget: CONNECTIONS must be a number from 1 to 64\n");
      return 1;
    }
    connections = static_cast<int>(n);
    next = 2;
  }
  if (args.size() - next != 2) return Usage();
  const std::wstring& url = args[next];
  std::error_code ec;
  const std::filesystem::path output = std::filesystem::absolute(args[next + 1], ec);
  if (ec || output.filename().empty()) {
    std::fprintf(stderr, "qvget: OUTPUT must name a file\n");
    return 1;
  }

  const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  if (!ec) InitLog(L"qvget.log", (temp / "qvget").wstring().c_str());

#ifdef _WIN32
  g_terminal = _isatty(_fileno(stderr)) != 0;
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
  g_terminal = ::isatty(2) != 0;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
#endif

  std::atomic<bool> done{false};
  std::thread watcher([&done] {
    while (!done) {
      if (g_interrupted.exchange(false)) {
        g_cancelledHandle = CQVDownload::CurrentHandle();
        CQVDownload::CancelDownload();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });

  DownloadRequest request;
  request.connections = connections;
  request.url = url;
  request.path = output.wstring();
  CQVDownload::DownloadFile(request, OnDownload);
  done = true;
  watcher.join();

  if (g_result == -5 && g_cancelledHandle) {
    // Let the downloader write its last meta file and close the data, so the next run resumes from here.
    if (!DownloadManager::Instance().WaitDownload(g_cancelledHandle, std::chrono::seconds(5)))
      std::fprintf(stderr, "qvget: the download did not stop in time\n");
  }
  switch (g_result) {
  case 0: return 0;
  case -2: return 2;
  case -5: return 5;
  default: return 4;
  }
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv)
{
  return Run(std::vector<std::wstring>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv)
{
  std::setlocale(LC_CTYPE, "");
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) {
    std::vector<wchar_t> wide(std::strlen(argv[i]) + 1);
    const std::size_t length = std::mbstowcs(wide.data(), argv[i], wide.size());
    if (length == static_cast<std::size_t>(-1)) {
      std::fprintf(stderr, "qvget: argument %d is not text of this locale\n", i);
      return 1;
    }
    args.emplace_back(wide.data(), length);
  }
  return Run(args);
}
#endif
