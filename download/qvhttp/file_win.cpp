#include "qvhttp/file.hpp"

#include <windows.h>

namespace qvhttp {

namespace {

boost::system::error_code last_error()
{
  return {static_cast<int>(::GetLastError()), boost::system::system_category()};
}

bool move_to(HANDLE handle, std::int64_t offset, boost::system::error_code& ec)
{
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  if (!::SetFilePointerEx(handle, distance, nullptr, FILE_BEGIN)) {
    ec = last_error();
    return false;
  }
  return true;
}

} // namespace

bool file::is_open() const { return handle_ != INVALID_HANDLE_VALUE; }

void file::open(const std::wstring& path, boost::system::error_code& ec)
{
  close();
  path_ = path;
  // No FILE_SHARE_WRITE or FILE_SHARE_DELETE: others may read the file, nobody may change or remove it.
  HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    ec = last_error();
    return;
  }
  handle_ = handle;
  ec.clear();
}

void file::close()
{
  if (is_open()) {
    ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  path_.clear();
}

std::int64_t file::read(void* buffer, std::size_t size, std::int64_t offset, boost::system::error_code& ec)
{
  if (offset == current_position) {
    offset = tell(ec);
    if (ec) return -1;
  }
  if (!move_to(handle_, offset, ec)) return -1;
  DWORD done = 0;
  if (!::ReadFile(handle_, buffer, static_cast<DWORD>(size), &done, nullptr)) {
    ec = last_error();
    return -1;
  }
  ec.clear();
  return done;
}

std::int64_t file::write(const void* buffer, std::size_t size, std::int64_t offset,
                         boost::system::error_code& ec)
{
  if (offset == current_position) {
    offset = tell(ec);
    if (ec) return -1;
  }
  if (!move_to(handle_, offset, ec)) return -1;
  DWORD done = 0;
  if (!::WriteFile(handle_, buffer, static_cast<DWORD>(size), &done, nullptr)) {
    ec = last_error();
    return -1;
  }
  ec.clear();
  return done;
}

std::int64_t file::tell(boost::system::error_code& ec)
{
  LARGE_INTEGER zero{};
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(handle_, zero, &position, FILE_CURRENT)) {
    ec = last_error();
    return -1;
  }
  ec.clear();
  return position.QuadPart;
}

void file::seek(std::int64_t offset, boost::system::error_code& ec)
{
  if (move_to(handle_, offset, ec)) ec.clear();
}

} // namespace qvhttp
