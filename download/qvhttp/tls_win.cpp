#include "qvhttp/tls.hpp"

#include <filesystem>

namespace qvhttp {

std::unique_ptr<tls_context> make_tls_context(bool verify, const std::string& ca_file,
                                              const std::string& ca_directory, boost::system::error_code& ec) {
  ec.clear();
  auto context = std::make_unique<tls_context>();
  context->verify = verify;
  if (!ca_file.empty()) context->load_verify_file(ca_file, ec);
  if (!ec && !ca_directory.empty()) {
    // Every certificate file of the folder; files that hold none are passed over.
    std::error_code list_error;
    bool any = false;
    for (const auto& entry : std::filesystem::directory_iterator(ca_directory, list_error)) {
      boost::system::error_code file_error;
      if (entry.is_regular_file()) context->load_verify_file(entry.path().string(), file_error);
      any = any || !file_error;
    }
    if (list_error || !any) ec = boost::system::errc::make_error_code(boost::system::errc::no_such_file_or_directory);
  }
  if (ec) return nullptr;
  return context;
}

void prepare_tls_stream(tls_stream& stream, const std::string& host, bool verify, boost::system::error_code& ec) {
  ec.clear();
  stream.set_host(host, verify);
}

} // namespace qvhttp
