#pragma once
// A random-access file that this process alone may write while it holds it open; other processes
// may still read it (Windows: share mode read; POSIX: an exclusive advisory lock).

#include <boost/system/error_code.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

namespace qvhttp {

class file {
public:
  // An offset of -1 means: at the current position.
  static constexpr std::int64_t current_position = -1;

  file() = default;
  ~file() { close(); }
  file(const file&) = delete;
  file& operator=(const file&) = delete;

  // Creates the file when missing; an existing file is opened unchanged, never truncated.
  void open(const std::wstring& path, boost::system::error_code& ec);
  void close();
  bool is_open() const;
  const std::wstring& path() const { return path_; }

  // Both return the byte count, or -1 with ec set.
  std::int64_t read(void* buffer, std::size_t size, std::int64_t offset, boost::system::error_code& ec);
  std::int64_t write(const void* buffer, std::size_t size, std::int64_t offset,
                     boost::system::error_code& ec);

  std::int64_t tell(boost::system::error_code& ec);
  void seek(std::int64_t offset, boost::system::error_code& ec);

private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1)); // INVALID_HANDLE_VALUE
#else
  int handle_ = -1;
#endif
  std::wstring path_;
};

} // namespace qvhttp
