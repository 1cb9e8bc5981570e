#pragma once
// Downloads one URL into one file over several HTTP(S) connections with Range requests, keeping the
// finished pieces in a resume meta file. All handlers run on the one thread that runs the I/O
// context (the same thread that calls start); stop may come from any thread.

#include "qvhttp/download_settings.hpp"
#include "qvhttp/file.hpp"
#include "qvhttp/http_stream.hpp"
#include "qvhttp/range_field.hpp"
#include "qvhttp/url.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/system/error_code.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qvhttp {

class multi_download : public std::enable_shared_from_this<multi_download> {
public:
  explicit multi_download(boost::asio::io_context& io);
  ~multi_download();
  multi_download(const multi_download&) = delete;
  multi_download& operator=(const multi_download&) = delete;

  // Returns once the first response head is read and the connections and the timer are started.
  void start(const std::string& u, const download_settings& settings, boost::system::error_code& ec);
  // The same, throwing boost::system::system_error.
  void start(const std::string& u, const download_settings& settings);
  void stop();

  // The smallest power of two from 16 KiB that is at least 1/2048 of the file, at most 16 MiB.
  static int default_piece_size(std::int64_t size);

  // Safe from any thread; the values may be a moment old.
  std::int64_t bytes_downloaded() const;
  std::int64_t file_size() const { return file_size_; }
  int download_rate() const { return rate_; }

  std::wstring file_name();
  const url& final_url() const { return final_url_; }
  bool accept_multi() const { return accept_multi_; }

  // Writes the current pieces into the meta file, opening it first if needed.
  void update_meta();
  // Loads a meta file; false when it cannot be used.
  bool open_meta(const std::wstring& path);
  // Closes the meta file and the data file (on the handler thread, or when nothing runs).
  void close_files();

private:
  struct http_stream_object {
    std::shared_ptr<http_stream> stream;
    std::array<char, 2048> buffer; // (Must persist while a read is pending)
    std::int64_t range_begin = 0;
    std::int64_t range_end = -1; // inclusive
    std::int64_t bytes_in_range = 0;
    std::atomic<std::int64_t> bytes_total{0}; // also read by bytes_downloaded from other threads
    int request_count = 0;
    std::chrono::steady_clock::time_point last_request_time;
    boost::system::error_code last_error;
    bool done = false;
    std::unique_ptr<boost::asio::steady_timer> throttle; // waits for the next second's rate budget
  };
  using object_ptr = std::shared_ptr<http_stream_object>;

  void start_unguarded(const std::string& u, const download_settings& settings, boost::system::error_code& ec);
  object_ptr make_object();
  void prepare_stream(const object_ptr& object, const request_opts& options);
  void open_first(const object_ptr& first, boost::system::error_code& ec);
  bool allocate_range(byte_range& range);
  request_opts range_options(std::int64_t begin, std::int64_t end) const;
  bool is_current(std::size_t index, const object_ptr& object) const;
  bool range_answer_fits(const object_ptr& object) const;

  void handle_open(std::size_t index, object_ptr object, const boost::system::error_code& ec);
  void handle_request(std::size_t index, object_ptr object, const boost::system::error_code& ec);
  void start_read(std::size_t index, object_ptr object);
  void handle_read(std::size_t index, object_ptr object, const boost::system::error_code& ec, std::size_t bytes);
  void connection_failed(const object_ptr& object, const boost::system::error_code& ec);
  // Closes connection index and continues its range, or a new one, on a new connection; the caller
  // holds list_mutex_.
  void replace_connection(std::size_t index);
  void finish_if_all_done();
  void on_tick(const boost::system::error_code& ec);
  void arm_timer();

  boost::asio::io_context& io_;
  mutable std::mutex list_mutex_;
  std::vector<object_ptr> list_;
  object_ptr opening_; // the first connection while start waits for its answer
  url final_url_;
  bool accept_multi_ = false;
  bool keep_alive_ = false;
  std::atomic<std::int64_t> file_size_{-1};
  std::wstring file_name_;
  download_settings settings_;
  request_opts base_options_;
  boost::asio::steady_timer timer_;
  std::int64_t tick_bytes_ = 0;
  std::atomic<int> rate_{0};
  std::unique_ptr<storage_interface> storage_;
  file meta_;
  range_field requested_;
  range_field downloaded_;
  std::mutex allocation_mutex_;
  int rate_budget_ = -1; // bytes still allowed in this second; -1 unlimited
  std::atomic<bool> abort_{true};
};

} // namespace qvhttp
