#pragma once

#include "qvhttp/file.hpp"
#include "qvhttp/storage_interface.hpp"

namespace qvhttp {

// A storage on one local file.
class default_storge : public storage_interface {
public:
  void open(const std::wstring& path, boost::system::error_code& ec) override;
  void close() override;
  std::int64_t write(const char* buffer, std::int64_t offset, int size) override;
  std::int64_t write(const char* buffer, int size) override;
  std::int64_t read(char* buffer, std::int64_t offset, int size) override;
  std::int64_t read(char* buffer, int size) override;
  bool eof() override;

private:
  file file_;
};

} // namespace qvhttp
