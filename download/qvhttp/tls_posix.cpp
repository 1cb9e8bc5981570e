#include "qvhttp/tls.hpp"

#include <boost/asio/ip/address.hpp>

namespace qvhttp {

namespace ssl = boost::asio::ssl;

std::unique_ptr<tls_context> make_tls_context(bool verify, const std::string& ca_file,
                                              const std::string& ca_directory, boost::system::error_code& ec) {
  auto context = std::make_unique<ssl::context>(ssl::context::tls_client);
  context->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3, ec);
  if (!ec) context->set_default_verify_paths(ec);
  if (!ec && !ca_file.empty()) context->load_verify_file(ca_file, ec);
  if (!ec && !ca_directory.empty()) context->add_verify_path(ca_directory, ec);
  if (!ec) context->set_verify_mode(verify ? ssl::verify_peer : ssl::verify_none, ec);
  if (ec) return nullptr;
  return context;
}

void prepare_tls_stream(tls_stream& stream, const std::string& host, bool verify, boost::system::error_code& ec) {
  ec.clear();
  boost::system::error_code not_ip;
  boost::asio::ip::make_address(host, not_ip);
  if (not_ip && !SSL_set_tlsext_host_name(stream.native_handle(), host.c_str())) {
    ec = boost::system::error_code(static_cast<int>(::ERR_get_error()), boost::asio::error::get_ssl_category());
    return;
  }
  if (verify) stream.set_verify_callback(ssl::host_name_verification(host), ec);
}

} // namespace qvhttp
