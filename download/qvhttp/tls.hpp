#pragma once
// The TLS stream over a TCP socket: asio's OpenSSL stream natively, our Schannel stream on Windows.
// Both offer handshake, read_some, write_some and their async forms, so the HTTP stream uses either.

#include <boost/asio/ip/tcp.hpp>
#include <boost/system/error_code.hpp>

#include <memory>
#include <string>

#ifdef _WIN32
#include "qvhttp/schannel_stream.hpp"
#else
#include <boost/asio/ssl.hpp>
#endif

namespace qvhttp {

#ifdef _WIN32
using tls_context = schannel_context;
using tls_stream = schannel_stream;
inline constexpr auto tls_client = schannel_stream::client;
#else
using tls_context = boost::asio::ssl::context;
using tls_stream = boost::asio::ssl::stream<boost::asio::ip::tcp::socket>;
inline constexpr auto tls_client = boost::asio::ssl::stream_base::client;
#endif

// A client context. With verify the peer's chain must lead to a trusted root: the system's, or one
// of ca_file / ca_directory when given. Failing to load those is an error.
std::unique_ptr<tls_context> make_tls_context(bool verify, const std::string& ca_file,
                                              const std::string& ca_directory, boost::system::error_code& ec);

// Before the handshake: the server name to send (SNI; not for an IP literal, which SNI cannot carry)
// and, with verify, the name the certificate must match (RFC 2818 rules).
void prepare_tls_stream(tls_stream& stream, const std::string& host, bool verify, boost::system::error_code& ec);

} // namespace qvhttp
