#pragma once
// TLS over a TCP socket through Schannel (SSPI), for the Windows build, where no OpenSSL exists.
// Offers what the HTTP stream needs of asio's SSL stream: async handshake, read_some, write_some.

// Asio first: it brings winsock2.h, which must come before windows.h.
#include <boost/asio/buffer.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/system/error_code.hpp>

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <windows.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qvhttp {

// Certificate stores close with CertCloseStore.
struct cert_store_closer {
  void operator()(void* store) const { CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
using unique_cert_store = std::unique_ptr<void, cert_store_closer>;

// What every stream of one HTTP stream shares: whether to verify, and the extra trusted roots.
class schannel_context {
public:
  bool verify = true;
  // Roots trusted besides the system's; null when none were given.
  unique_cert_store extra_roots;

  // Adds the PEM certificates of one file to extra_roots; a file without one is an error.
  void load_verify_file(const std::string& path, boost::system::error_code& ec);
};

class schannel_stream {
public:
  enum handshake_type { client };
  using next_layer_type = boost::asio::ip::tcp::socket;
  using lowest_layer_type = next_layer_type::lowest_layer_type;
  using executor_type = next_layer_type::executor_type;
  using done_handler = std::function<void(const boost::system::error_code&)>;
  using io_handler = std::function<void(const boost::system::error_code&, std::size_t)>;

  schannel_stream(next_layer_type&& socket, schannel_context& context);
  ~schannel_stream();
  schannel_stream(const schannel_stream&) = delete;
  schannel_stream& operator=(const schannel_stream&) = delete;

  executor_type get_executor() { return socket_.get_executor(); }
  next_layer_type& next_layer() { return socket_; }
  lowest_layer_type& lowest_layer() { return socket_.lowest_layer(); }

  // The name sent as SNI; with verify, the name the certificate must carry.
  void set_host(const std::string& host, bool verify);

  void async_handshake(handshake_type, done_handler handler);

  template <class MutableBuffers, class Handler> void async_read_some(const MutableBuffers& buffers, Handler&& handler) {
    read_some_impl(first_buffer<boost::asio::mutable_buffer>(buffers), io_handler(std::forward<Handler>(handler)));
  }
  template <class ConstBuffers, class Handler> void async_write_some(const ConstBuffers& buffers, Handler&& handler) {
    write_some_impl(first_buffer<boost::asio::const_buffer>(buffers), io_handler(std::forward<Handler>(handler)));
  }

private:
  enum class step { done, need_input, continue_needed };

  template <class Buffer, class Sequence> static Buffer first_buffer(const Sequence& buffers) {
    for (auto it = boost::asio::buffer_sequence_begin(buffers); it != boost::asio::buffer_sequence_end(buffers); ++it)
      if (Buffer(*it).size() > 0) return Buffer(*it);
    return Buffer();
  }

  step handshake_step(boost::system::error_code& ec);
  void handshake_next(std::shared_ptr<done_handler> handler);
  void verify_peer(boost::system::error_code& ec);
  void read_more(std::function<void(const boost::system::error_code&)> then);
  // Decrypts what has arrived; false when a whole record is still missing.
  bool decrypt(boost::system::error_code& ec);
  void read_some_impl(boost::asio::mutable_buffer buffer, io_handler handler);
  void write_some_impl(boost::asio::const_buffer buffer, io_handler handler);

  next_layer_type socket_;
  schannel_context& context_; // not owned: the HTTP stream holds it for as long as this stream
  std::wstring host_;
  bool verify_ = true;
  CredHandle credentials_{};
  bool have_credentials_ = false;
  CtxtHandle security_context_{};
  bool have_context_ = false;
  SecPkgContext_StreamSizes sizes_{};
  std::vector<char> incoming_; // encrypted bytes received, not yet used
  std::string token_;          // handshake bytes to send
  std::string plain_;          // decrypted bytes, not yet delivered
  std::size_t plain_at_ = 0;
  std::vector<char> record_;   // (Must persist until written: one encrypted record)
  bool closed_by_peer_ = false;
  bool renegotiating_ = false;
};

} // namespace qvhttp
