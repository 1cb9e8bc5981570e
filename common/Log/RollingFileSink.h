// The log's file: records in text-mode bytes (each "\n" as CR LF), rolled into one ".1" backup.
#pragma once

#include "LogPlatform.h"

#include <spdlog/sinks/base_sink.h>

#include <cstdint>
#include <mutex>
#include <string>

namespace qvlog {

class RollingFileSink final : public spdlog::sinks::base_sink<std::mutex> {
 public:
  static constexpr std::int64_t kMaxFileSize = 10485760;

  RollingFileSink(std::wstring path, std::int64_t max_size = kMaxFileSize);

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override;
  void flush_() override {}

 private:
  void RollOver();

  std::wstring path_;
  std::int64_t max_size_;
  LogFile file_;
  std::string bytes_;  // reused between records (guarded by the sink's mutex)
};

}  // namespace qvlog
