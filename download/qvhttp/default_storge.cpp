#include "qvhttp/default_storge.hpp"

namespace qvhttp {

void default_storge::open(const std::wstring& path, boost::system::error_code& ec) { file_.open(path, ec); }

void default_storge::close() { file_.close(); }

std::int64_t default_storge::write(const char* buffer, std::int64_t offset, int size)
{
  if (size < 0) return -1;
  boost::system::error_code ec;
  return file_.write(buffer, static_cast<std::size_t>(size), offset, ec);
}

std::int64_t default_storge::write(const char* buffer, int size)
{
  return write(buffer, file::current_position, size);
}

std::int64_t default_storge::read(char* buffer, std::int64_t offset, int size)
{
  if (size < 0) return -1;
  boost::system::error_code ec;
  return file_.read(buffer, static_cast<std::size_t>(size), offset, ec);
}

std::int64_t default_storge::read(char* buffer, int size) { return read(buffer, file::current_position, size); }

bool default_storge::eof()
{
  boost::system::error_code ec;
  const std::int64_t position = file_.tell(ec);
  if (ec) return true;
  char probe;
  const std::int64_t got = file_.read(&probe, 1, file::current_position, ec);
  file_.seek(position, ec);
  return got != 1;
}

} // namespace qvhttp
