#include "qvhttp/file.hpp"

#include <cerrno>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qvhttp {

namespace {

boost::system::error_code last_error() { return {errno, boost::system::system_category()}; }

} // namespace

bool file::is_open() const { return handle_ != -1; }

void file::open(const std::wstring& path, boost::system::error_code& ec)
{
  close();
  path_ = path;
  const std::string native = std::filesystem::path(path).string();
  const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd == -1) {
    ec = last_error();
    return;
  }
  // The nearest match to a read-only share mode: a second writer that asks for the lock is refused,
  // while plain readers are not affected. flock locks belong to the open file, so a second open in
  // this same process is refused as well, as it is on Windows.
  if (::flock(fd, LOCK_EX | LOCK_NB) == -1) {
    ec = last_error();
    ::close(fd);
    return;
  }
  handle_ = fd;
  ec.clear();
}

void file::close()
{
  if (is_open()) {
    ::close(handle_);
    handle_ = -1;
  }
  path_.clear();
}

std::int64_t file::read(void* buffer, std::size_t size, std::int64_t offset, boost::system::error_code& ec)
{
  const ssize_t done = offset == current_position ? ::read(handle_, buffer, size)
                                                  : ::pread(handle_, buffer, size, offset);
  if (done == -1) {
    ec = last_error();
    return -1;
  }
  ec.clear();
  return done;
}

std::int64_t file::write(const void* buffer, std::size_t size, std::int64_t offset,
                         boost::system::error_code& ec)
{
  const ssize_t done = offset == current_position ? ::write(handle_, buffer, size)
                                                  : ::pwrite(handle_, buffer, size, offset);
  if (done == -1) {
    ec = last_error();
    return -1;
  }
  ec.clear();
  return done;
}

std::int64_t file::tell(boost::system::error_code& ec)
{
  const off_t position = ::lseek(handle_, 0, SEEK_CUR);
  if (position == -1) {
    ec = last_error();
    return -1;
  }
  ec.clear();
  return position;
}

void file::seek(std::int64_t offset, boost::system::error_code& ec)
{
  if (::lseek(handle_, offset, SEEK_SET) == -1) {
    ec = last_error();
    return;
  }
  ec.clear();
}

} // namespace qvhttp
