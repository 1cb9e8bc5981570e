#pragma once
// One HTTP/1.1 client connection: plain or TLS, direct or through a SOCKS or HTTP proxy.
// Every operation has a synchronous form (error-code argument) and an asynchronous form whose
// handler runs on the I/O service. The body can also be read through std::istream (this streambuf).

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
  class connector;
  friend class connector;

  void start_open(std::shared_ptr<op> o, const url& u);
  void connect(std::shared_ptr<op> o);
  void after_connect(std::shared_ptr<op> o);
  void start_request(std::shared_ptr<op> o, const request_opts& options);
  void start_receive(std::shared_ptr<op> o);
  void read_status_line(std::shared_ptr<op> o);
  void read_header_line(std::shared_ptr<op> o);
  void finish_head(std::shared_ptr<op> o);
  void after_response(std::shared_ptr<op> o, const boost::system::error_code& ec);
  void read_body(std::shared_ptr<op> o);
  template <class Handler> void read_line(Handler&& handler);
  template <class Handler> void write_all(boost::asio::const_buffer data, Handler&& handler);
  template <class Handler> void read_transport(boost::asio::mutable_buffer buffer, Handler&& handler);
  bool via_http_proxy() const;
  std::string build_request(const request_opts& options);
  void run_until_done(const std::shared_ptr<op>& o);
  void post_result(std::shared_ptr<op> o, const boost::system::error_code& ec, std::size_t bytes = 0);

  boost::asio::io_context& io_;
  std::unique_ptr<boost::asio::ip::tcp::socket> socket_; // plain connection, or the TLS stream's before the handshake
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
  std::int64_t content_length_ = -1;
  std::int64_t body_length_ = -1; // framing: "Content-Length" only (0 for HEAD)
  std::int64_t body_delivered_ = 0;
  std::string location_;
  std::string request_buffer_;
  boost::asio::streambuf response_buffer_; // (Must persist between reads: holds bytes past the head)
  bool chunked_ = false;
  enum class chunk_state { size_line, data, data_end, trailer, done } chunk_state_ = chunk_state::size_line;
  std::uint64_t chunk_left_ = 0;
  boost::system::error_code last_error_;
  cookie_store cookies_;
  char get_area_[4096];
};

} // namespace qvhttp
