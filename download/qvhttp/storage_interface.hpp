#pragma once
// Where a download's bytes go; the downloader writes each piece at its own offset.

#include <boost/system/error_code.hpp>

#include <cstdint>
#include <string>

namespace qvhttp {

class storage_interface {
public:
  virtual ~storage_interface() = default;
  virtual void open(const std::wstring& path, boost::system::error_code& ec) = 0;
  virtual void close() = 0;
  // Reads and writes return the byte count, or -1 on error.
  virtual std::int64_t write(const char* buffer, std::int64_t offset, int size) = 0;
  virtual std::int64_t write(const char* buffer, int size) = 0;
  virtual std::int64_t read(char* buffer, std::int64_t offset, int size) = 0;
  virtual std::int64_t read(char* buffer, int size) = 0;
  // True when no byte can be read at the current position.
  virtual bool eof() = 0;
};

// Makes the storage of a new download; the downloader owns what it returns.
using storage_constructor_type = storage_interface* (*)();

} // namespace qvhttp
