#pragma once
// One HTTP/1.1 client connection: plain or TLS, direct or through a SOCKS or HTTP proxy.
// Every operation has a synchronous form (error-code argument) and an asynchronous form whose
// handler runs on the I/O service. The body can also be read through std::istream (this streambuf).
// The synchronous forms drive the I/O service themselves until they are done: call them only while
// no other thread runs that service, and never from one of its handlers. The stream must outlive
// its pending asynchronous operations.

#include "qvhttp/cookie.hpp"
#include "qvhttp/http_options.hpp"
#include "qvhttp/tls.hpp"
#include "qvhttp/url.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/system/error_code.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <streambuf>
#include <string>

namespace qvhttp {

class http_stream : public std::streambuf {
public:
  using open_handler = std::function<void(const boost::system::error_code&)>;
  using read_handler = std::function<void(const boost::system::error_code&, std::size_t)>;

  explicit http_stream(boost::asio::io_context& io);
  ~http_stream() override;
  http_stream(const http_stream&) = delete;
  http_stream& operator=(const http_stream&) = delete;

  // Connects unless connected, sends the request of request_options(), reads the response head and
  // follows 301 and 302 up to max_redirects(). Any status but 200 and 206 is an error of the "HTTP"
  // category; its head is still read. A text that is no URL fails with invalid argument.
  void open(const std::string& u, boost::system::error_code& ec);
  void open(const url& u, boost::system::error_code& ec);
  void async_open(const std::string& u, open_handler handler);
  void async_open(const url& u, open_handler handler);

  // One more request on the open connection (keep-alive), then its response head.
  void request(const request_opts& options, boost::system::error_code& ec);
  void async_request(const request_opts& options, open_handler handler);

  void receive_header(boost::system::error_code& ec);
  void async_receive_header(open_handler handler);

  // Body bytes, chunked encoding removed; end of body is boost::asio::error::eof. Never more than
  // buffer's size is delivered.
  std::size_t read_some(boost::asio::mutable_buffer buffer, boost::system::error_code& ec);
  void async_read_some(boost::asio::mutable_buffer buffer, read_handler handler);

  // May be called from another thread while an operation is pending: it completes with
  // operation_aborted.
  void close(boost::system::error_code& ec);
  bool is_open() const;

  void request_options(const request_opts& options) { request_opts_ = options; }
  const request_opts& request_options() const { return request_opts_; }
  // What the last request actually sent, "_path" (the request target) included.
  const request_opts& sent_request_options() const { return sent_opts_; }
  const response_opts& response_options() const { return response_opts_; }
  void proxy(const proxy_settings& settings) { proxy_ = settings; }
  const proxy_settings& proxy() const { return proxy_; }
  void check_certificate(bool check) { check_certificate_ = check; }
  bool check_certificate() const { return check_certificate_; }
  void ca_file(const std::string& path) { ca_file_ = path; }
  const std::string& ca_file() const { return ca_file_; }
  void ca_directory(const std::string& path) { ca_directory_ = path; }
  const std::string& ca_directory() const { return ca_directory_; }
  // A limit in seconds for each synchronous operation; 0 (the default) waits as long as the peer
  // keeps the connection. An operation past its limit closes the connection and fails with timed_out.
  void sync_time_out(int seconds) { sync_time_out_ = seconds; }
  int sync_time_out() const { return sync_time_out_; }
  void max_redirects(int count) { max_redirects_ = count; }
  int max_redirects() const { return max_redirects_; }
  // The last "Location" received (absolute); after an open that followed redirects, the final URL.
  const std::string& final_location() const { return location_; }
  // From "Content-Length", or the total after "/" of a later "Content-Range"; -1 unknown.
  std::int64_t content_length() const { return content_length_; }
  int status_code() const { return status_code_; }
  const url& current_url() const { return url_; }
  const url& first_url() const { return first_url_; }
  const cookie_store& cookies() const { return cookies_; }

protected:
  int_type underflow() override;

private:
  struct op;
  using op_ptr = std::shared_ptr<op>;

  void start_open(op_ptr o, const url& u);
  void after_open_response(op_ptr o, const boost::system::error_code& ec);
  void connect_to(op_ptr o, const std::string& host, int port, void (http_stream::*then)(op_ptr));
  void through_proxy(op_ptr o);
  void connected(op_ptr o);
  void socks4(op_ptr o);
  void socks5(op_ptr o);
  void socks5_login(op_ptr o);
  void socks5_connect(op_ptr o);
  void http_connect(op_ptr o);
  void tls_handshake(op_ptr o);
  void start_request(op_ptr o, const request_opts& options);
  void start_receive(op_ptr o);
  void read_status_line(op_ptr o);
  void skip_interim_head(op_ptr o);
  void read_header_lines(op_ptr o);
  void finish_head(op_ptr o);
  void read_body(op_ptr o);
  void read_chunk_line(op_ptr o);
  std::size_t take_buffered(boost::asio::mutable_buffer buffer, std::uint64_t limit);
  std::string take_line(std::size_t length);
  std::string build_request(const request_opts& options);
  bool via_http_proxy() const;
  void reset_transport();
  void finish(const op_ptr& o, const boost::system::error_code& ec, std::size_t bytes = 0);
  void run_until_done(const op_ptr& o);

  template <class Handler> void read_line(Handler&& handler);
  template <class Handler> void write_all(Handler&& handler);
  template <class Handler> void read_transport(boost::asio::mutable_buffer buffer, Handler&& handler);

  boost::asio::io_context& io_;
  std::unique_ptr<boost::asio::ip::tcp::socket> socket_; // until a TLS stream takes it over
  std::unique_ptr<tls_stream> tls_;
  std::unique_ptr<tls_context> tls_context_;
  bool check_certificate_ = true;
  std::string ca_file_;
  std::string ca_directory_;
  request_opts request_opts_;
  request_opts sent_opts_;
  response_opts response_opts_;
  proxy_settings proxy_;
  std::string protocol_;
  url url_;
  url first_url_;
  bool keep_alive_ = true;
  int status_code_ = 0;
  int redirects_ = 0;
  int max_redirects_ = 5;
  int sync_time_out_ = 0;
  std::int64_t content_length_ = -1;
  std::int64_t body_length_ = -1; // where the body ends: "Content-Length" alone, 0 when there is none
  std::int64_t body_delivered_ = 0;
  std::string location_;
  std::string request_buffer_;
  boost::asio::streambuf response_buffer_; // (Must persist between reads: holds bytes past the head)
  bool chunked_ = false;
  enum class chunk_state { size_line, data, data_end, trailer, done } chunk_state_ = chunk_state::size_line;
  std::uint64_t chunk_left_ = 0;
  cookie_store cookies_;
  char get_area_[4096];
};

} // namespace qvhttp
