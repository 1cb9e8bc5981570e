#pragma once
// What the test servers (servers.py) tell the test program, and small helpers around it.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace qvtest {

inline std::string Env(const char* name)
{
  const char* value = std::getenv(name);
  return value ? value : "";
}

inline std::string HttpUrl(const std::string& path) { return "http://127.0.0.1:" + Env("QV_HTTP_PORT") + path; }
inline std::string HttpsUrl(const std::string& path) { return "https://127.0.0.1:" + Env("QV_HTTPS_PORT") + path; }
inline std::string ScriptUrl(const std::string& path) { return "http://127.0.0.1:" + Env("QV_SCRIPT_PORT") + path; }
inline std::string ForwardUrl(const std::string& path) { return "http://127.0.0.1:" + Env("QV_FORWARD_PORT") + path; }
inline std::string ControlUrl(const std::string& path) { return "http://127.0.0.1:" + Env("QV_CONTROL_PORT") + path; }

// A path the servers gave, as this process sees it (wine maps the Unix root to drive Z:).
inline std::filesystem::path ServerPath(const std::string& unixPath)
{
#ifdef _WIN32
  return std::filesystem::path("Z:" + unixPath).make_preferred();
#else
  return unixPath;
#endif
}

inline std::string ReadFile(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string Source(const std::string& name) { return ReadFile(ServerPath(Env("QV_WWW")) / name); }

inline std::string AccessLog() { return ReadFile(ServerPath(Env("QV_ACCESS_LOG"))); }

// A fresh folder per test, removed when the program ends; two builds may run the same test at once.
inline std::filesystem::path FreshFolder(const std::string& name)
{
  struct Folders {
    std::vector<std::filesystem::path> made;
    ~Folders()
    {
      for (const auto& dir : made) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
      }
    }
  };
  static Folders folders;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qv_dl_" + name + "_" + std::to_string(std::random_device()()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  folders.made.push_back(dir);
  return dir;
}

} // namespace qvtest
