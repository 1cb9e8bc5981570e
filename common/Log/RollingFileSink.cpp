#include "RollingFileSink.h"

#include <spdlog/pattern_formatter.h>

#include <memory>
#include <utility>

namespace qvlog {

RollingFileSink::RollingFileSink(std::wstring path, std::int64_t max_size)
    : path_(std::move(path)), max_size_(max_size) {
  // The trailing blank after the line break belongs to the layout: every later record starts with it.
  set_formatter_(std::make_unique<spdlog::pattern_formatter>("%Y-%m-%d %H:%M:%S,%e %v",
                                                              spdlog::pattern_time_type::local, "\n "));
  file_.Open(path_);
}

void RollingFileSink::sink_it_(const spdlog::details::log_msg& msg) {
  spdlog::memory_buf_t formatted;
  formatter_->format(msg, formatted);
  bytes_.clear();
  for (char c : formatted) {
    if (c == '\n') bytes_ += '\r';
    bytes_ += c;
  }
  // A file that could not be opened (folder missing, locked) is tried again with the next record.
  if (!file_.IsOpen() && !file_.Open(path_)) return;
  if (!file_.Append(bytes_.data(), bytes_.size())) return;
  if (file_.Size() >= max_size_) RollOver();
}

void RollingFileSink::RollOver() {
  const std::wstring backup = path_ + L".1";
  file_.Close();
  // Replacing in one step: if another process keeps the log open the rename fails, the old backup
  // survives and the log simply goes on growing.
  RenameReplacing(path_, backup);
  file_.Open(path_);
}

}  // namespace qvlog
