#include "qvhttp/http_stream.hpp"

#include "qvhttp/error_codes.hpp"
#include "qvhttp/response_head.hpp"

#include <boost/algorithm/string/predicate.hpp>
#include <boost/asio/buffers_iterator.hpp>
#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>
#include <boost/system/system_error.hpp>

#include <algorithm>
#include <chrono>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace qvhttp {

namespace asio = boost::asio;
using boost::system::error_code;
using tcp = asio::ip::tcp;

namespace {

constexpr char default_accept[] = "text/html, application/xhtml+xml, */*";
constexpr char default_user_agent[] = "Mozilla/5.0 (Windows NT 6.1; Trident/7.0; rv:11.0) like Gecko";
// One line of a head or a chunk size; a longer one is malformed.
constexpr std::size_t max_line = 64 * 1024;

std::string base64(const std::string& in) {
  static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                       static_cast<unsigned char>(in[i + 2]);
    out += {table[v >> 18], table[(v >> 12) & 63], table[(v >> 6) & 63], table[v & 63]};
  }
  if (i + 1 == in.size()) {
    const unsigned v = static_cast<unsigned char>(in[i]) << 16;
    out += {table[v >> 18], table[(v >> 12) & 63], '=', '='};
  } else if (i + 2 == in.size()) {
    const unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8);
    out += {table[v >> 18], table[(v >> 12) & 63], table[(v >> 6) & 63], '='};
  }
  return out;
}

// "host:port" as a request's Host names it: brackets for IPv6, the port only when the URL has one.
std::string host_field(const url& u, bool always_port) {
  std::string host = u.is_ipv6_host() ? "[" + u.host() + "]" : u.host();
  if (!u.port_text().empty() || always_port) host += ":" + std::to_string(u.port());
  return host;
}

error_code http_error(int status) { return error_code(status, error_category()); }

} // namespace

struct http_stream::op {
  open_handler on_done;
  read_handler on_read;
  asio::mutable_buffer buffer;
  bool finished = false;
  error_code result;
  std::size_t bytes = 0;
  bool open = false; // an open: follows redirects
  bool timed_out = false;
  std::string method;
  std::optional<response_head_parser> parser;
  std::optional<tcp::resolver> resolver;
  std::vector<unsigned char> scratch;
};

http_stream::http_stream(asio::io_context& io) : io_(io), response_buffer_(max_line) {}

http_stream::~http_stream() = default;

// ---- sync forms: run the asynchronous one and drive the I/O service until it is done ----------------

void http_stream::run_until_done(const op_ptr& o) {
  if (io_.stopped()) io_.restart();
  if (sync_time_out_ > 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(sync_time_out_);
    while (!o->finished && std::chrono::steady_clock::now() < deadline && io_.run_one_until(deadline) > 0) {
    }
    if (!o->finished) {
      error_code ignored;
      if (o->resolver) o->resolver->cancel();
      close(ignored); // the pending step now ends with operation_aborted
      o->timed_out = true;
    }
  }
  while (!o->finished && io_.run_one() > 0) {
  }
  if (o->timed_out) o->result = asio::error::timed_out;
  // The service may have run out of work: leave it ready for the caller's own run.
  if (io_.stopped()) io_.restart();
}

void http_stream::open(const std::string& u, error_code& ec) {
  const url parsed = url::from_string(u, ec);
  if (!ec) open(parsed, ec);
}

void http_stream::open(const url& u, error_code& ec) {
  auto o = std::make_shared<op>();
  o->on_done = [](const error_code&) {};
  o->open = true;
  redirects_ = 0;
  start_open(o, u);
  run_until_done(o);
  ec = o->result;
}

void http_stream::request(const request_opts& options, error_code& ec) {
  auto o = std::make_shared<op>();
  o->on_done = [](const error_code&) {};
  start_request(o, options);
  run_until_done(o);
  ec = o->result;
}

void http_stream::receive_header(error_code& ec) {
  auto o = std::make_shared<op>();
  o->on_done = [](const error_code&) {};
  start_receive(o);
  run_until_done(o);
  ec = o->result;
}

std::size_t http_stream::read_some(asio::mutable_buffer buffer, error_code& ec) {
  auto o = std::make_shared<op>();
  o->on_read = [](const error_code&, std::size_t) {};
  o->buffer = buffer;
  read_body(o);
  run_until_done(o);
  ec = o->result;
  return o->bytes;
}

http_stream::int_type http_stream::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  error_code ec;
  const std::size_t n = read_some(asio::buffer(get_area_), ec);
  if (n == 0) {
    if (!ec || ec == asio::error::eof) return traits_type::eof();
    throw boost::system::system_error(ec);
  }
  setg(get_area_, get_area_, get_area_ + n);
  return traits_type::to_int_type(*gptr());
}

// ---- async forms ---------------------------------------------------------------------------------

void http_stream::async_open(const std::string& u, open_handler handler) {
  error_code ec;
  const url parsed = url::from_string(u, ec);
  if (ec) {
    asio::post(io_, [handler, ec] { handler(ec); });
    return;
  }
  async_open(parsed, std::move(handler));
}

void http_stream::async_open(const url& u, open_handler handler) {
  auto o = std::make_shared<op>();
  o->on_done = std::move(handler);
  o->open = true;
  redirects_ = 0;
  asio::post(io_, [this, o, u] { start_open(o, u); });
}

void http_stream::async_request(const request_opts& options, open_handler handler) {
  auto o = std::make_shared<op>();
  o->on_done = std::move(handler);
  asio::post(io_, [this, o, options] { start_request(o, options); });
}

void http_stream::async_receive_header(open_handler handler) {
  auto o = std::make_shared<op>();
  o->on_done = std::move(handler);
  asio::post(io_, [this, o] { start_receive(o); });
}

void http_stream::async_read_some(asio::mutable_buffer buffer, read_handler handler) {
  auto o = std::make_shared<op>();
  o->on_read = std::move(handler);
  o->buffer = buffer;
  asio::post(io_, [this, o] { read_body(o); });
}

// Every operation ends here, on the I/O thread, never inside the call that started it.
void http_stream::finish(const op_ptr& o, const error_code& ec, std::size_t bytes) {
  o->finished = true;
  o->result = ec;
  o->bytes = bytes;
  if (o->on_read)
    o->on_read(ec, bytes);
  else
    o->on_done(ec);
}

// ---- connection ----------------------------------------------------------------------------------

bool http_stream::is_open() const {
  if (tls_) return tls_->lowest_layer().is_open();
  return socket_ && socket_->is_open();
}

void http_stream::close(error_code& ec) {
  ec.clear();
  // Only the socket is closed: a pending operation on another thread still uses the objects.
  if (tls_)
    tls_->lowest_layer().close(ec);
  else if (socket_)
    socket_->close(ec);
}

void http_stream::reset_transport() {
  tls_.reset();
  socket_ = std::make_unique<tcp::socket>(io_);
}

bool http_stream::via_http_proxy() const {
  return (proxy_.type == proxy_settings::http || proxy_.type == proxy_settings::http_pw) && protocol_ == "http";
}

void http_stream::start_open(op_ptr o, const url& u) {
  if (first_url_.host().empty() && first_url_.protocol().empty()) first_url_ = u;
  protocol_ = u.protocol();
  url_ = u;
  status_code_ = 0;
  content_length_ = -1;
  body_length_ = -1;
  body_delivered_ = 0;
  request_buffer_.clear();
  response_buffer_.consume(response_buffer_.size());
  chunked_ = false;

  if (protocol_ != "http" && protocol_ != "https") return finish(o, asio::error::operation_not_supported);
  if (is_open()) return start_request(o, request_opts_);
  if (protocol_ == "https") {
    error_code ec;
    tls_context_ = make_tls_context(check_certificate_, ca_file_, ca_directory_, ec);
    if (ec) return finish(o, ec);
  }
  reset_transport();
  switch (proxy_.type) {
  case proxy_settings::none: return connect_to(o, url_.host(), url_.port(), &http_stream::connected);
  case proxy_settings::socks4:
  case proxy_settings::socks5:
  case proxy_settings::socks5_pw:
  case proxy_settings::http:
  case proxy_settings::http_pw: return connect_to(o, proxy_.hostname, proxy_.port, &http_stream::through_proxy);
  default: return finish(o, asio::error::operation_not_supported);
  }
}

// Tries each address of host in turn; the last failure is the result.
void http_stream::connect_to(op_ptr o, const std::string& host, int port, void (http_stream::*then)(op_ptr)) {
  o->resolver.emplace(io_);
  auto on_connect = [this, o, then](const error_code& ec, const tcp::endpoint&) {
    if (ec) return finish(o, ec);
    error_code ignored;
    socket_->set_option(tcp::no_delay(true), ignored);
    (this->*then)(o);
  };
  o->resolver->async_resolve(host, std::to_string(port),
                             [this, o, on_connect](const error_code& ec, const tcp::resolver::results_type& results) {
                               if (ec) return finish(o, ec);
                               asio::async_connect(*socket_, results, on_connect);
                             });
}

void http_stream::through_proxy(op_ptr o) {
  switch (proxy_.type) {
  case proxy_settings::socks4: return socks4(o);
  case proxy_settings::socks5:
  case proxy_settings::socks5_pw: return socks5(o);
  default: return protocol_ == "https" ? http_connect(o) : connected(o);
  }
}

// The TCP connection reaches the origin (directly or through a tunnel): TLS next, then the request.
void http_stream::connected(op_ptr o) {
  if (protocol_ == "https") return tls_handshake(o);
  start_request(o, request_opts_);
}

void http_stream::tls_handshake(op_ptr o) {
  tls_ = std::make_unique<tls_stream>(std::move(*socket_), *tls_context_);
  socket_.reset();
  error_code ec;
  prepare_tls_stream(*tls_, url_.host(), check_certificate_, ec);
  if (ec) return finish(o, ec);
  tls_->async_handshake(tls_client, [this, o](const error_code& ec) {
    if (ec) return finish(o, ec);
    start_request(o, request_opts_);
  });
}

// ---- proxies -------------------------------------------------------------------------------------

void http_stream::socks4(op_ptr o) {
  // SOCKS4 carries an IPv4 address: resolve the origin here.
  o->resolver->async_resolve(tcp::v4(), url_.host(), std::to_string(url_.port()),
                             [this, o](const error_code& ec, const tcp::resolver::results_type& results) {
    if (ec) return finish(o, ec);
    const auto address = results.begin()->endpoint().address().to_v4().to_bytes();
    const auto port = static_cast<unsigned>(url_.port());
    o->scratch = {4, 1, static_cast<unsigned char>(port >> 8), static_cast<unsigned char>(port & 0xff)};
    o->scratch.insert(o->scratch.end(), address.begin(), address.end());
    o->scratch.insert(o->scratch.end(), proxy_.username.begin(), proxy_.username.end());
    o->scratch.push_back(0);
    asio::async_write(*socket_, asio::buffer(o->scratch), [this, o](const error_code& ec, std::size_t) {
      if (ec) return finish(o, ec);
      o->scratch.assign(8, 0);
      asio::async_read(*socket_, asio::buffer(o->scratch), [this, o](const error_code& ec, std::size_t) {
        if (ec) return finish(o, ec);
        if (o->scratch[0] != 0) return finish(o, errc::socks_unsupported_version);
        switch (o->scratch[1]) {
        case 90: return connected(o);
        case 92: return finish(o, errc::socks_no_identd);
        case 93: return finish(o, errc::socks_identd_error);
        default: return finish(o, errc::socks_general_failure);
        }
      });
    });
  });
}

void http_stream::socks5(op_ptr o) {
  const bool login = !proxy_.username.empty();
  o->scratch = login ? std::vector<unsigned char>{5, 2, 0, 2} : std::vector<unsigned char>{5, 1, 0};
  asio::async_write(*socket_, asio::buffer(o->scratch), [this, o, login](const error_code& ec, std::size_t) {
    if (ec) return finish(o, ec);
    o->scratch.assign(2, 0);
    asio::async_read(*socket_, asio::buffer(o->scratch), [this, o, login](const error_code& ec, std::size_t) {
      if (ec) return finish(o, ec);
      if (o->scratch[0] != 5) return finish(o, errc::socks_unsupported_version);
      if (o->scratch[1] == 0) return socks5_connect(o);
      if (o->scratch[1] == 2 && login) return socks5_login(o);
      finish(o, login ? errc::socks_authentication_error : errc::socks_username_required);
    });
  });
}

void http_stream::socks5_login(op_ptr o) {
  const std::string user = proxy_.username.substr(0, 255), password = proxy_.password.substr(0, 255);
  o->scratch = {1, static_cast<unsigned char>(user.size())};
  o->scratch.insert(o->scratch.end(), user.begin(), user.end());
  o->scratch.push_back(static_cast<unsigned char>(password.size()));
  o->scratch.insert(o->scratch.end(), password.begin(), password.end());
  asio::async_write(*socket_, asio::buffer(o->scratch), [this, o](const error_code& ec, std::size_t) {
    if (ec) return finish(o, ec);
    o->scratch.assign(2, 0);
    asio::async_read(*socket_, asio::buffer(o->scratch), [this, o](const error_code& ec, std::size_t) {
      if (ec) return finish(o, ec);
      if (o->scratch[0] != 1) return finish(o, errc::socks_unsupported_authentication_version);
      if (o->scratch[1] != 0) return finish(o, errc::socks_authentication_error);
      socks5_connect(o);
    });
  });
}

void http_stream::socks5_connect(op_ptr o) {
  o->scratch = {5, 1, 0};
  error_code not_ip;
  const auto address = asio::ip::make_address(url_.host(), not_ip);
  if (!not_ip && address.is_v4()) {
    const auto bytes = address.to_v4().to_bytes();
    o->scratch.push_back(1);
    o->scratch.insert(o->scratch.end(), bytes.begin(), bytes.end());
  } else if (!not_ip) {
    const auto bytes = address.to_v6().to_bytes();
    o->scratch.push_back(4);
    o->scratch.insert(o->scratch.end(), bytes.begin(), bytes.end());
  } else {
    // The proxy resolves names itself.
    const std::string host = url_.host().substr(0, 255);
    o->scratch.push_back(3);
    o->scratch.push_back(static_cast<unsigned char>(host.size()));
    o->scratch.insert(o->scratch.end(), host.begin(), host.end());
  }
  const auto port = static_cast<unsigned>(url_.port());
  o->scratch.push_back(static_cast<unsigned char>(port >> 8));
  o->scratch.push_back(static_cast<unsigned char>(port & 0xff));
  asio::async_write(*socket_, asio::buffer(o->scratch), [this, o](const error_code& ec, std::size_t) {
    if (ec) return finish(o, ec);
    o->scratch.assign(5, 0); // version, reply, reserved, address type, first address byte
    asio::async_read(*socket_, asio::buffer(o->scratch), [this, o](const error_code& ec, std::size_t) {
      if (ec) return finish(o, ec);
      if (o->scratch[0] != 5) return finish(o, errc::socks_unsupported_version);
      if (o->scratch[1] == 7) return finish(o, errc::socks_command_not_supported);
      if (o->scratch[1] != 0) return finish(o, errc::socks_general_failure);
      // The bound address and port follow; one byte of the address is read already.
      std::size_t rest;
      switch (o->scratch[3]) {
      case 1: rest = 4 - 1 + 2; break;
      case 3: rest = o->scratch[4] + 2u; break;
      case 4: rest = 16 - 1 + 2; break;
      default: return finish(o, errc::socks_general_failure);
      }
      o->scratch.assign(rest, 0);
      asio::async_read(*socket_, asio::buffer(o->scratch), [this, o](const error_code& ec, std::size_t) {
        if (ec) return finish(o, ec);
        connected(o);
      });
    });
  });
}

void http_stream::http_connect(op_ptr o) {
  const std::string target = host_field(url_, true);
  request_buffer_ = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\nAccept: " + default_accept +
                    "\r\nUser-Agent: " + default_user_agent + "\r\n";
  if (proxy_.type == proxy_settings::http_pw)
    request_buffer_ += "Proxy-Authorization: Basic " + base64(proxy_.username + ":" + proxy_.password) + "\r\n";
  request_buffer_ += "\r\n";
  asio::async_write(*socket_, asio::buffer(request_buffer_), [this, o](const error_code& ec, std::size_t) {
    if (ec) return finish(o, ec);
    asio::async_read_until(*socket_, response_buffer_, "\r\n\r\n", [this, o](const error_code& ec, std::size_t n) {
      if (ec) return finish(o, ec == asio::error::not_found ? error_code(errc::malformed_response_headers) : ec);
      response_head_parser parser(url_);
      const std::string head = take_line(n);
      std::size_t at = head.find("\r\n") + 2;
      if (auto bad = parser.status_line(head.substr(0, at))) return finish(o, bad);
      for (bool done = false; !done;) {
        const std::size_t end = head.find('\n', at) + 1;
        if (auto bad = parser.header_line(std::string_view(head).substr(at, end - at), done)) return finish(o, bad);
        at = end;
      }
      if (parser.head.status / 100 != 2) return finish(o, http_error(parser.head.status));
      connected(o);
    });
  });
}

// ---- request and response head ------------------------------------------------------------------

std::string http_stream::build_request(const request_opts& options) {
  request_opts rest = options;
  auto take = [&](const char* key, const std::string& fallback) {
    std::string value = rest.contains(key) ? rest.find(key) : fallback;
    rest.remove(key);
    return value;
  };
  const std::string new_url = take(http_options::url, "");
  if (!new_url.empty()) {
    error_code ec;
    const url parsed = url::from_string(new_url, ec);
    if (!ec) {
      url_ = parsed;
      protocol_ = url_.protocol();
    }
  }
  const bool proxied = via_http_proxy();
  const std::string method = take(http_options::request_method, "GET");
  const std::string version = take(http_options::http_version, "HTTP/1.1");
  const std::string host = take(http_options::host, host_field(url_, false));
  const std::string accept = take(http_options::accept, default_accept);
  const std::string agent = take(http_options::user_agent, default_user_agent);
  std::string cookie_line = take(http_options::cookie, "");
  const std::string stored = cookies_.cookie_line(url_.host(), url_.path(), protocol_ == "https");
  if (!stored.empty()) cookie_line += (cookie_line.empty() ? "" : "; ") + stored;
  const std::string connection = take(http_options::connection, "close");
  const char* connection_key = proxied ? http_options::proxy_connection : http_options::connection;
  const std::string body = take(http_options::request_body, "");

  std::string authorization;
  if (proxied && proxy_.type == proxy_settings::http_pw)
    authorization = "Basic " + base64(proxy_.username + ":" + proxy_.password);
  else if (proxied && !url_.user_info().empty())
    authorization = "Basic " + base64(url_.user_info());

  // Neither user information nor a fragment belongs on the wire.
  const std::string target =
      proxied ? url_.to_string(url::all_components & ~url::user_info_component & ~url::fragment_component)
              : url_.to_string(url::path_component | url::query_component);

  sent_opts_.clear();
  sent_opts_.insert(http_options::request_method, method);
  sent_opts_.insert(http_options::http_version, version);
  sent_opts_.insert(http_options::path, target);
  sent_opts_.insert(http_options::host, host);
  sent_opts_.insert(http_options::accept, accept);
  sent_opts_.insert(http_options::user_agent, agent);
  if (!cookie_line.empty()) sent_opts_.insert(http_options::cookie, cookie_line);
  sent_opts_.insert(connection_key, connection);
  if (!authorization.empty()) sent_opts_.insert("Proxy-Authorization", authorization);
  sent_opts_.insert(http_options::request_body, body);

  std::string head = method + " " + target + " " + version + "\r\n";
  head += "Host: " + host + "\r\nAccept: " + accept + "\r\nUser-Agent: " + agent + "\r\n";
  if (!cookie_line.empty()) head += "Cookie: " + cookie_line + "\r\n";
  head += std::string(connection_key) + ": " + connection + "\r\n";
  if (!authorization.empty()) head += "Proxy-Authorization: " + authorization + "\r\n";
  for (const auto& [key, value] : rest.items()) {
    if (!key.empty() && key[0] == '_') continue;
    head += key + ": " + value + "\r\n";
    sent_opts_.append(key, value);
  }
  return head + "\r\n" + body;
}

void http_stream::start_request(op_ptr o, const request_opts& options) {
  if (!is_open()) return finish(o, asio::error::network_reset);
  chunked_ = false;
  keep_alive_ = true;
  body_delivered_ = 0;
  request_buffer_ = build_request(options);
  o->method = sent_opts_.find(http_options::request_method);
  const bool fake = options.fake_continue;
  write_all([this, o, fake](const error_code& ec) {
    if (ec) return finish(o, ec);
    if (fake) return finish(o, errc::fake_continue);
    start_receive(o);
  });
}

void http_stream::start_receive(op_ptr o) {
  if (o->method.empty()) o->method = sent_opts_.find(http_options::request_method);
  read_status_line(o);
}

std::string http_stream::take_line(std::size_t length) {
  const auto data = response_buffer_.data();
  std::string line(asio::buffers_begin(data), asio::buffers_begin(data) + static_cast<std::ptrdiff_t>(length));
  response_buffer_.consume(length);
  return line;
}

void http_stream::read_status_line(op_ptr o) {
  read_line([this, o](const error_code& ec, std::size_t n) {
    if (ec) {
      // A partial line before the end is no status line; an empty answer is just the end.
      const bool partial = ec == asio::error::eof && response_buffer_.size() > 0;
      if (ec == asio::error::not_found || partial) {
        error_code ignored;
        close(ignored);
        return finish(o, errc::malformed_status_line);
      }
      return finish(o, ec);
    }
    o->parser.emplace(url_);
    if (auto bad = o->parser->status_line(take_line(n))) {
      error_code ignored;
      close(ignored);
      return finish(o, bad);
    }
    if (o->parser->head.status == 100) return skip_interim_head(o);
    read_header_lines(o);
  });
}

// The rest of a "100 Continue" head; then the real status line follows, except for a POST, whose
// caller must send its body first.
void http_stream::skip_interim_head(op_ptr o) {
  read_line([this, o](const error_code& ec, std::size_t n) {
    if (ec) return finish(o, ec == asio::error::not_found ? error_code(errc::malformed_response_headers) : ec);
    bool done = false;
    if (auto bad = o->parser->header_line(take_line(n), done)) return finish(o, bad);
    if (!done) return skip_interim_head(o);
    if (o->method == "POST") return finish(o, errc::fake_continue);
    read_status_line(o);
  });
}

void http_stream::read_header_lines(op_ptr o) {
  read_line([this, o](const error_code& ec, std::size_t n) {
    if (ec) return finish(o, ec == asio::error::eof || ec == asio::error::not_found
                                 ? error_code(errc::malformed_response_headers) : ec);
    bool done = false;
    if (auto bad = o->parser->header_line(take_line(n), done)) return finish(o, bad);
    if (!done) return read_header_lines(o);
    finish_head(o);
  });
}

void http_stream::finish_head(op_ptr o) {
  response_head& head = o->parser->head;
  status_code_ = head.status;
  response_opts_ = std::move(head.fields);
  content_length_ = head.content_length;
  body_length_ = head.body_length;
  // These answers carry no body whatever their head says.
  if (o->method == "HEAD" || status_code_ == 204 || status_code_ == 304) body_length_ = 0;
  body_delivered_ = 0;
  if (!head.location.empty()) location_ = head.location;
  chunked_ = head.chunked && body_length_ != 0;
  chunk_state_ = chunk_state::size_line;
  if (head.connection_close) keep_alive_ = false;
  for (const auto& value : head.set_cookies) cookies_.add(value, url_.host());
  const error_code result = status_code_ == 200 || status_code_ == 206 ? error_code() : http_error(status_code_);
  if (!o->open) return finish(o, result);
  after_open_response(o, result);
}

void http_stream::after_open_response(op_ptr o, const error_code& ec) {
  if (status_code_ != 301 && status_code_ != 302) return finish(o, ec);
  // A redirect without a "Location" of its own must not follow an older one.
  const std::string location = o->parser->head.location;
  error_code ignored;
  close(ignored);
  if (++redirects_ > max_redirects_) {
    redirects_ = 0;
    return finish(o, ec);
  }
  error_code bad;
  const url next = url::from_string(location, bad);
  if (bad) return finish(o, errc::invalid_redirect);
  start_open(o, next);
}

// ---- body ----------------------------------------------------------------------------------------

std::size_t http_stream::take_buffered(asio::mutable_buffer buffer, std::uint64_t limit) {
  const std::size_t n =
      static_cast<std::size_t>(std::min<std::uint64_t>({buffer.size(), response_buffer_.size(), limit}));
  asio::buffer_copy(buffer, response_buffer_.data(), n);
  response_buffer_.consume(n);
  return n;
}

void http_stream::read_body(op_ptr o) {
  if (o->buffer.size() == 0) return finish(o, {}, 0);
  if (chunked_) {
    switch (chunk_state_) {
    case chunk_state::done: return finish(o, asio::error::eof);
    case chunk_state::data: break;
    default: return read_chunk_line(o);
    }
    if (response_buffer_.size() > 0) {
      const std::size_t n = take_buffered(o->buffer, chunk_left_);
      chunk_left_ -= n;
      if (chunk_left_ == 0) chunk_state_ = chunk_state::data_end;
      return finish(o, {}, n);
    }
    const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(o->buffer.size(), chunk_left_));
    return read_transport(asio::buffer(o->buffer.data(), size), [this, o](const error_code& ec, std::size_t n) {
      chunk_left_ -= n;
      if (chunk_left_ == 0) chunk_state_ = chunk_state::data_end;
      // The peer must not end inside a chunk: that body is incomplete.
      if (ec == asio::error::eof) return finish(o, errc::invalid_chunked_encoding, n);
      finish(o, ec, n);
    });
  }
  const std::uint64_t left = body_length_ < 0 ? UINT64_MAX : static_cast<std::uint64_t>(body_length_ - body_delivered_);
  if (left == 0) return finish(o, asio::error::eof);
  if (response_buffer_.size() > 0) {
    const std::size_t n = take_buffered(o->buffer, left);
    body_delivered_ += static_cast<std::int64_t>(n);
    return finish(o, {}, n);
  }
  const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(o->buffer.size(), left));
  read_transport(asio::buffer(o->buffer.data(), size), [this, o](const error_code& ec, std::size_t n) {
    body_delivered_ += static_cast<std::int64_t>(n);
    finish(o, ec, n);
  });
}

void http_stream::read_chunk_line(op_ptr o) {
  read_line([this, o](const error_code& ec, std::size_t n) {
    if (ec) return finish(o, ec == asio::error::eof || ec == asio::error::not_found
                                 ? error_code(errc::invalid_chunked_encoding) : ec);
    const std::string line = take_line(n);
    switch (chunk_state_) {
    case chunk_state::size_line:
      if (!parse_chunk_size_line(line, chunk_left_)) return finish(o, errc::invalid_chunked_encoding);
      chunk_state_ = chunk_left_ == 0 ? chunk_state::trailer : chunk_state::data;
      break;
    case chunk_state::data_end:
      if (line != "\r\n") return finish(o, errc::invalid_chunked_encoding);
      chunk_state_ = chunk_state::size_line;
      break;
    default: // trailer fields are read past up to the empty line, so a next request starts clean
      if (line.size() > 1 && line[line.size() - 2] != '\r') return finish(o, errc::invalid_chunked_encoding);
      if (line == "\r\n") chunk_state_ = chunk_state::done;
      break;
    }
    read_body(o);
  });
}

// ---- transport -------------------------------------------------------------------------------------

template <class Handler> void http_stream::read_line(Handler&& handler) {
  if (tls_)
    asio::async_read_until(*tls_, response_buffer_, '\n', std::forward<Handler>(handler));
  else
    asio::async_read_until(*socket_, response_buffer_, '\n', std::forward<Handler>(handler));
}

template <class Handler> void http_stream::write_all(Handler&& handler) {
  auto done = [handler = std::forward<Handler>(handler)](const error_code& ec, std::size_t) { handler(ec); };
  if (tls_)
    asio::async_write(*tls_, asio::buffer(request_buffer_), std::move(done));
  else
    asio::async_write(*socket_, asio::buffer(request_buffer_), std::move(done));
}

template <class Handler> void http_stream::read_transport(asio::mutable_buffer buffer, Handler&& handler) {
  if (tls_)
    tls_->async_read_some(buffer, std::forward<Handler>(handler));
  else
    socket_->async_read_some(buffer, std::forward<Handler>(handler));
}

} // namespace qvhttp
