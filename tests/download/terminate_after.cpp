// terminate_after MS PROGRAM [ARG...]: runs PROGRAM and ends it with TerminateProcess after MS
// milliseconds, as a crash or a forced kill would. Exit code: PROGRAM's own when it ended first,
// else 99.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// Quotes one argument the way CommandLineToArgvW reads it back.
std::wstring Quote(const std::wstring& arg)
{
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

struct Handle {
  HANDLE h = nullptr;
  ~Handle()
  {
    if (h) ::CloseHandle(h);
  }
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
  if (argc < 3) {
    std::fprintf(stderr, "usage: terminate_after MS PROGRAM [ARG...]\n");
    return 2;
  }
  const DWORD delay = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
  std::wstring commandLine;
  for (int i = 2; i < argc; ++i) commandLine += (i > 2 ? L" " : L"") + Quote(argv[i]);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    std::fprintf(stderr, "terminate_after: CreateProcessW failed with %lu\n", ::GetLastError());
    return 2;
  }
  Handle process{info.hProcess};
  Handle thread{info.hThread};
  if (::WaitForSingleObject(process.h, delay) == WAIT_TIMEOUT) {
    ::TerminateProcess(process.h, 99);
    ::WaitForSingleObject(process.h, INFINITE);
    return 99;
  }
  DWORD code = 2;
  ::GetExitCodeProcess(process.h, &code);
  return static_cast<int>(code);
}
