#include "qvhttp/http_stream.hpp"

#include "qvhttp/error_codes.hpp"

#include <boost/asio/error.hpp>
#include <boost/system/system_error.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

// Runs against the servers of servers.py; their ports and files come in environment variables.
namespace qvhttp {
namespace {

namespace asio = boost::asio;
using boost::system::error_code;

std::string env(const char* name) {
  const char* value = std::getenv(name);
  if (!value) ADD_FAILURE() << name << " is not set: run this program through tools/servers/run-test.py";
  return value ? value : "";
}

// A host path as this process opens it (under wine, the root of the host file system is drive Z:).
std::string host_path(const std::string& path) {
#ifdef _WIN32
  return "Z:" + path;
#else
  return path;
#endif
}

std::string read_file(const std::string& path) {
  std::ifstream in(host_path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string http(const std::string& path) { return "http://127.0.0.1:" + env("QV_HTTP_PORT") + path; }
std::string script(const std::string& path) { return "http://127.0.0.1:" + env("QV_SCRIPT_PORT") + path; }

// The body through the stream-buffer interface.
std::string read_body(http_stream& s) {
  std::istream in(&s);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The body through async_read_some, with the error that ended it.
std::string async_body(asio::io_context& io, http_stream& s, error_code& end) {
  std::string body;
  char buffer[300];
  std::function<void(const error_code&, std::size_t)> on_read = [&](const error_code& ec, std::size_t n) {
    body.append(buffer, n);
    if (ec) {
      end = ec;
      return;
    }
    s.async_read_some(asio::buffer(buffer), on_read);
  };
  s.async_read_some(asio::buffer(buffer), on_read);
  io.restart();
  io.run();
  return body;
}

// nginx's lines for one request path, in the log format of servers.py:
// port|connection|requests on it|SNI|request line|Host|Range|Connection|Proxy-Connection
std::vector<std::vector<std::string>> log_lines(const std::string& needle) {
  std::vector<std::vector<std::string>> found;
  std::istringstream in(read_file(env("QV_NGINX_LOG")));
  for (std::string line; std::getline(in, line);) {
    if (line.find(needle) == std::string::npos) continue;
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, '|');) fields.push_back(field);
    found.push_back(fields);
  }
  return found;
}

class HttpStream : public ::testing::Test {
protected:
  asio::io_context io;
  http_stream stream{io};
};

TEST_F(HttpStream, GetsAFileAndReadsItThroughTheStreamBuffer) {
  error_code ec;
  stream.open(http("/data.bin"), ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(stream.status_code(), 200);
  EXPECT_EQ(stream.content_length(), 100000);
  EXPECT_EQ(stream.response_options().find("_status_code"), "200");
  EXPECT_EQ(read_body(stream), read_file(env("QV_DATA_FILE")));
  EXPECT_EQ(stream.first_url().to_string(), http("/data.bin"));
}

TEST_F(HttpStream, SendsExactlyTheDefaultHeadThenTheCallersFields) {
  request_opts options;
  options.insert("Range", "bytes=0-");
  options.insert("X-Extra", "1");
  options.insert("_private", "not sent");
  stream.request_options(options);
  error_code ec;
  stream.open(script("/echo"), ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(read_body(stream), "GET /echo HTTP/1.1\r\n"
                               "Host: 127.0.0.1:" + env("QV_SCRIPT_PORT") + "\r\n"
                               "Accept: text/html, application/xhtml+xml, */*\r\n"
                               "User-Agent: Mozilla/5.0 (Windows NT 6.1; Trident/7.0; rv:11.0) like Gecko\r\n"
                               "Connection: close\r\n"
                               "Range: bytes=0-\r\n"
                               "X-Extra: 1\r\n"
                               "\r\n");
  EXPECT_EQ(stream.sent_request_options().find("_path"), "/echo");
}

TEST_F(HttpStream, HostFieldKeepsBracketsAndOmitsTheDefaultPort) {
  request_opts options;
  options.insert("_url", "http://[::1]/echo?y#z");
  error_code ec;
  stream.request(options, ec);
  EXPECT_EQ(ec, asio::error::network_reset); // nothing is open yet
  stream.request_options(options);
  stream.open(script("/echo"), ec);
  ASSERT_FALSE(ec) << ec.message();
  // "_url" replaces the URL of the request, not the connection it goes over.
  const std::string head = read_body(stream);
  EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET /echo?y HTTP/1.1");
  EXPECT_NE(head.find("\r\nHost: [::1]\r\n"), std::string::npos) << head;
}

TEST_F(HttpStream, KeepAliveRangesOnOneConnection) {
  request_opts options;
  options.insert("Range", "bytes=0-99");
  options.insert("Connection", "keep-alive");
  stream.request_options(options);
  error_code ec = asio::error::would_block;
  stream.async_open(http("/data.bin?ka"), [&](const error_code& e) { ec = e; });
  io.run();
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(stream.status_code(), 206);
  EXPECT_EQ(stream.content_length(), 100000); // the total after "/", Content-Range comes last
  const std::string data = read_file(env("QV_DATA_FILE"));
  error_code end;
  EXPECT_EQ(async_body(io, stream, end), data.substr(0, 100));
  EXPECT_EQ(end, asio::error::eof);
  ASSERT_TRUE(stream.is_open());

  options.insert("Range", "bytes=99900-99999");
  ec = asio::error::would_block;
  stream.async_request(options, [&](const error_code& e) { ec = e; });
  io.restart();
  io.run();
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(async_body(io, stream, end), data.substr(99900));

  options.insert("_request_method", "HEAD");
  options.remove("Range");
  stream.request(options, ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(stream.content_length(), 100000);
  EXPECT_EQ(read_body(stream), ""); // a HEAD answer has no body whatever its length says
  stream.close(ec);

  const auto lines = log_lines("/data.bin?ka");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0][1], lines[2][1]); // one connection
  EXPECT_EQ(lines[2][2], "3");
  EXPECT_EQ(lines[0][4], "GET /data.bin?ka HTTP/1.1");
  EXPECT_EQ(lines[1][6], "bytes=99900-99999");
  EXPECT_EQ(lines[2][4], "HEAD /data.bin?ka HTTP/1.1");
  EXPECT_EQ(lines[0][7], "keep-alive");
}

TEST_F(HttpStream, FollowsRedirectsAndStopsAtTheLimit) {
  error_code ec;
  stream.open(http("/redirect"), ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(stream.final_location(), http("/data.bin"));
  EXPECT_EQ(stream.content_length(), 100000);

  http_stream relative(io);
  relative.open(script("/rel"), ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(read_body(relative), "target");
  EXPECT_EQ(relative.final_location(), script("/target"));
  EXPECT_EQ(relative.first_url().to_string(), script("/rel"));

  http_stream none(io);
  none.max_redirects(0);
  none.open(http("/redirect-abs"), ec);
  EXPECT_EQ(ec, errc::moved_permanently);

  for (int limit : {0, 2, 5}) {
    http_stream chain(io);
    chain.max_redirects(limit);
    chain.open(script("/loop/0"), ec);
    EXPECT_EQ(ec, errc::found) << limit;
    EXPECT_EQ(chain.final_location(), script("/loop/" + std::to_string(limit + 1))) << limit;
    // The count starts again with the next open.
    chain.open(script("/loop/0"), ec);
    EXPECT_EQ(chain.final_location(), script("/loop/" + std::to_string(limit + 1))) << limit;
  }
}

TEST_F(HttpStream, AnswersThatEndTheOpenWithAnError) {
  const struct {
    const char* path;
    error_code expected;
  } cases[] = {
      {"/no-reason", errc::malformed_status_line},
      {"/bare-lf-status", errc::malformed_status_line},
      {"/bad-name", errc::malformed_response_headers},
      {"/bare-lf-header", errc::malformed_response_headers},
      {"/truncated-head", errc::malformed_response_headers},
      {"/silent-close", asio::error::eof},
      {"/204", errc::no_content},
      {"/303", errc::see_other},
      {"/307", errc::temporary_redirect},
      {"/missing", errc::not_found},
      {"/bad-location", errc::invalid_redirect},
      {"/no-location", errc::invalid_redirect},
  };
  for (const auto& c : cases) {
    for (bool async : {false, true}) {
      http_stream s(io);
      error_code ec;
      if (async) {
        s.async_open(script(c.path), [&](const error_code& e) { ec = e; });
        io.restart();
        io.run();
      } else {
        s.open(script(c.path), ec);
      }
      EXPECT_EQ(ec, c.expected) << c.path << (async ? " async: " : " sync: ") << ec.message();
    }
  }
  http_stream s(io);
  error_code ec;
  s.open(script("/no-reason"), ec);
  EXPECT_FALSE(s.is_open()); // a bad status line closes the connection
  s.open(std::string("ftp://127.0.0.1/"), ec);
  EXPECT_EQ(ec, asio::error::operation_not_supported);
  s.open(std::string("not a url"), ec);
  EXPECT_EQ(ec, boost::system::errc::invalid_argument);
}

TEST_F(HttpStream, ChunkedBodies) {
  error_code ec;
  stream.open(script("/chunked"), ec);
  ASSERT_FALSE(ec) << ec.message();
  error_code end;
  EXPECT_EQ(async_body(io, stream, end), "hello world");
  EXPECT_EQ(end, asio::error::eof);
  // The trailer was read past: the connection serves the next request.
  stream.request(request_opts(), ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(read_body(stream), "hello world");

  for (const char* path : {"/bad-chunk", "/cut-chunk"}) {
    http_stream bad(io);
    bad.open(script(path), ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_EQ(async_body(io, bad, end), "hello") << path;
    EXPECT_EQ(end, errc::invalid_chunked_encoding) << path;
  }
  // Through the stream buffer the error is raised, not taken for the end of the body.
  http_stream bad(io);
  bad.open(script("/bad-chunk"), ec);
  ASSERT_FALSE(ec);
  std::istream in(&bad);
  std::string body;
  try {
    body.assign(std::istreambuf_iterator<char>(in), {});
    ADD_FAILURE() << "no error raised";
  } catch (const boost::system::system_error& e) {
    EXPECT_EQ(e.code(), errc::invalid_chunked_encoding);
  }
}

TEST_F(HttpStream, PeerClosingMidBodyEndsTheBody) {
  error_code ec;
  stream.open(script("/close-mid"), ec);
  ASSERT_FALSE(ec);
  EXPECT_EQ(stream.content_length(), 1000);
  error_code end;
  EXPECT_EQ(async_body(io, stream, end), "0123456789");
  EXPECT_EQ(end, asio::error::eof);
}

TEST_F(HttpStream, NeverDeliversMoreThanTheBuffer) {
  error_code ec;
  stream.open(http("/data.bin"), ec);
  ASSERT_FALSE(ec);
  char buffer[8] = "#######";
  EXPECT_EQ(stream.read_some(asio::buffer(buffer, 3), ec), 3u);
  EXPECT_EQ(std::string(buffer + 3), "####");
  EXPECT_EQ(stream.read_some(asio::buffer(buffer, 0), ec), 0u);
  EXPECT_FALSE(ec);
}

TEST_F(HttpStream, ContinueAndFakeContinue) {
  error_code ec;
  stream.open(script("/continue"), ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(read_body(stream), "hello");

  request_opts post;
  post.insert("_request_method", "POST");
  http_stream poster(io);
  poster.request_options(post);
  poster.open(script("/continue"), ec);
  EXPECT_EQ(ec, errc::fake_continue);

  request_opts fake;
  fake.fake_continue = true;
  http_stream faker(io);
  faker.request_options(fake);
  faker.open(script("/echo"), ec);
  EXPECT_EQ(ec, errc::fake_continue);
  EXPECT_TRUE(faker.is_open());
}

TEST_F(HttpStream, CookiesComeBackOnLaterRequests) {
  request_opts options;
  options.insert("Connection", "keep-alive");
  stream.request_options(options);
  error_code ec;
  stream.open(http("/set-cookie"), ec);
  ASSERT_FALSE(ec);
  EXPECT_EQ(read_body(stream), "set");
  options.insert("_url", http("/cookie"));
  stream.request(options, ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(read_body(stream), "sid=42");
}

TEST_F(HttpStream, CloseFromAnotherThreadAbortsThePendingOperation) {
  error_code ec = asio::error::would_block;
  stream.async_open(script("/hang"), [&](const error_code& e) { ec = e; });
  std::thread runner([&] { io.run(); });
  // Whatever step the open is in, closing ends it.
  while (ec == asio::error::would_block && !stream.is_open()) std::this_thread::yield();
  error_code ignored;
  stream.close(ignored);
  runner.join();
  EXPECT_TRUE(ec) << ec.message();
}

TEST_F(HttpStream, SyncTimeLimitEndsAStalledOperation) {
  stream.sync_time_out(1);
  error_code ec;
  stream.open(script("/hang"), ec);
  EXPECT_EQ(ec, asio::error::timed_out);
  EXPECT_FALSE(stream.is_open());
  // The limit applies to each operation, not to the stream's life.
  stream.open(http("/data.bin"), ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(read_body(stream).size(), 100000u);
}

// ---- TLS -----------------------------------------------------------------------------------------

TEST_F(HttpStream, HttpsWithoutCheckAcceptsAnyCertificateAndSendsTheName) {
  stream.check_certificate(false);
  error_code ec;
  stream.open("https://localhost:" + env("QV_HTTPS_PORT") + "/data.bin?sni", ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(read_body(stream), read_file(env("QV_DATA_FILE")));
  const auto lines = log_lines("/data.bin?sni");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0][3], "localhost");
}

TEST_F(HttpStream, HttpsCertificateChecks) {
  const std::string ca = host_path(env("QV_CA_FILE")), ca_dir = host_path(env("QV_CA_DIR"));
  const std::string self_signed = "https://localhost:" + env("QV_HTTPS_PORT") + "/data.bin";
  const std::string ca_signed = "https://localhost:" + env("QV_HTTPS_CA_PORT") + "/data.bin";
  const struct {
    const char* name;
    std::string url;
    std::string ca_file;
    std::string ca_directory;
    bool ok;
  } cases[] = {
      {"unknown authority", self_signed, "", "", false},
      {"self-signed, CA file of another", self_signed, ca, "", false},
      {"signed by the CA file", ca_signed, ca, "", true},
      {"signed by a CA of the folder", ca_signed, "", ca_dir, true},
      {"signed, but for another name", "https://127.0.0.1:" + env("QV_HTTPS_CA_PORT") + "/data.bin", ca, "", false},
  };
  for (const auto& c : cases) {
    for (bool async : {false, true}) {
      http_stream s(io);
      s.ca_file(c.ca_file);
      s.ca_directory(c.ca_directory);
      error_code ec;
      if (async) {
        s.async_open(c.url, [&](const error_code& e) { ec = e; });
        io.restart();
        io.run();
      } else {
        s.open(c.url, ec);
      }
      EXPECT_EQ(!ec, c.ok) << c.name << (async ? " async: " : " sync: ") << ec.message();
      if (c.ok && !ec) {
        EXPECT_EQ(read_body(s).size(), 100000u) << c.name;
      }
    }
  }
  http_stream missing(io);
  missing.ca_file(host_path(env("QV_CA_FILE") + ".missing"));
  error_code ec;
  missing.open("https://localhost:" + env("QV_HTTPS_CA_PORT") + "/data.bin", ec);
  EXPECT_TRUE(ec);
}

// ---- proxies -------------------------------------------------------------------------------------

proxy_settings proxy(int type, const std::string& port_var, const std::string& user = "", const std::string& pw = "") {
  proxy_settings p;
  p.type = type;
  p.hostname = "127.0.0.1";
  p.port = std::atoi(env(port_var.c_str()).c_str());
  p.username = user;
  p.password = pw;
  return p;
}

TEST_F(HttpStream, ThroughProxies) {
  const std::string data = read_file(env("QV_DATA_FILE"));
  const std::string https = "https://localhost:" + env("QV_HTTPS_PORT") + "/data.bin";
  const std::string socks_user = env("QV_SOCKS_USER"), socks_pw = env("QV_SOCKS_PASSWORD");
  const std::string proxy_user = env("QV_PROXY_USER"), proxy_pw = env("QV_PROXY_PASSWORD");
  const struct {
    const char* name;
    proxy_settings settings;
    std::string url;
    error_code expected;
  } cases[] = {
      {"socks4", proxy(proxy_settings::socks4, "QV_SOCKS_PORT"), http("/data.bin?socks4"), {}},
      {"socks5", proxy(proxy_settings::socks5, "QV_SOCKS_PORT"), http("/data.bin?socks5"), {}},
      {"socks5 https", proxy(proxy_settings::socks5, "QV_SOCKS_PORT"), https, {}},
      {"socks5 login", proxy(proxy_settings::socks5_pw, "QV_SOCKS_AUTH_PORT", socks_user, socks_pw), http("/data.bin?s5pw"), {}},
      {"socks5 wrong password", proxy(proxy_settings::socks5_pw, "QV_SOCKS_AUTH_PORT", socks_user, "wrong"),
       http("/data.bin"), errc::socks_authentication_error},
      {"socks5 no user", proxy(proxy_settings::socks5, "QV_SOCKS_AUTH_PORT"), http("/data.bin"),
       errc::socks_username_required},
      {"http proxy", proxy(proxy_settings::http, "QV_PROXY_PORT"), http("/data.bin?proxy"), {}},
      {"http proxy CONNECT", proxy(proxy_settings::http, "QV_PROXY_PORT"), https, {}},
      {"http proxy login", proxy(proxy_settings::http_pw, "QV_PROXY_AUTH_PORT", proxy_user, proxy_pw),
       http("/data.bin?proxypw"), {}},
      {"http proxy login CONNECT", proxy(proxy_settings::http_pw, "QV_PROXY_AUTH_PORT", proxy_user, proxy_pw), https, {}},
      {"http proxy without login", proxy(proxy_settings::http, "QV_PROXY_AUTH_PORT"), http("/data.bin"),
       errc::proxy_authentication_required},
      {"CONNECT without login", proxy(proxy_settings::http, "QV_PROXY_AUTH_PORT"), https,
       errc::proxy_authentication_required},
      {"unknown type", proxy(9, "QV_PROXY_PORT"), http("/data.bin"), asio::error::operation_not_supported},
  };
  for (const auto& c : cases) {
    for (bool async : {false, true}) {
      http_stream s(io);
      s.proxy(c.settings);
      s.check_certificate(false);
      error_code ec;
      if (async) {
        s.async_open(c.url, [&](const error_code& e) { ec = e; });
        io.restart();
        io.run();
      } else {
        s.open(c.url, ec);
      }
      EXPECT_EQ(ec, c.expected) << c.name << (async ? " async: " : " sync: ") << ec.message();
      if (!ec && !c.expected) {
        EXPECT_EQ(read_body(s), data) << c.name;
      }
    }
  }
  // A plain request through an HTTP proxy names the whole URL and the proxy's connection field.
  const auto lines = log_lines("/data.bin?proxy");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0][4], "GET /data.bin?proxy HTTP/1.1");
}

TEST_F(HttpStream, HttpProxyRequestHead) {
  // The scripted server stands in for the proxy, so the head it gets is the one the proxy would.
  stream.proxy(proxy(proxy_settings::http_pw, "QV_SCRIPT_PORT", "u", "p"));
  error_code ec;
  stream.open("http://a:b@example.invalid:81/echo?q#frag", ec);
  EXPECT_EQ(ec, errc::not_found); // the script knows no such target, and says so
  const auto& sent = stream.sent_request_options();
  EXPECT_EQ(sent.find("_path"), "http://example.invalid:81/echo?q");
  EXPECT_EQ(sent.find("Proxy-Connection"), "close");
  EXPECT_FALSE(sent.contains("Connection"));
  EXPECT_EQ(sent.find("Proxy-Authorization"), "Basic dTpw");

  http_stream from_url(io);
  from_url.proxy(proxy(proxy_settings::http, "QV_SCRIPT_PORT"));
  from_url.open("http://a:b@example.invalid/echo", ec);
  EXPECT_EQ(from_url.sent_request_options().find("Proxy-Authorization"), "Basic YTpi");
}

} // namespace
} // namespace qvhttp
