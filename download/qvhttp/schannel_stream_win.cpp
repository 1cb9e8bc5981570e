#include "qvhttp/schannel_stream.hpp"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include <cstring>
#include <fstream>
#include <iterator>

namespace qvhttp {

namespace asio = boost::asio;
using boost::system::error_code;

namespace {

error_code security_error(SECURITY_STATUS status) {
  return error_code(static_cast<int>(status), boost::system::system_category());
}

// One TLS record is at most 16 KiB of data plus its framing; read in pieces of this size.
constexpr std::size_t read_chunk = 17 * 1024;
// SECURITY_FLAG_IGNORE_UNKNOWN_CA, which only wininet.h defines.
constexpr DWORD ignore_unknown_ca = 0x00000100;

struct cert_context_free {
  void operator()(const CERT_CONTEXT* cert) const { CertFreeCertificateContext(cert); }
};
using unique_cert_context = std::unique_ptr<const CERT_CONTEXT, cert_context_free>;

struct chain_free {
  void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using unique_chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, chain_free>;

// Output tokens that SSPI allocated (ISC_REQ_ALLOCATE_MEMORY).
struct context_buffer_free {
  void operator()(void* p) const { FreeContextBuffer(p); }
};
using unique_context_buffer = std::unique_ptr<void, context_buffer_free>;

std::wstring widen(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}

} // namespace

void schannel_context::load_verify_file(const std::string& path, error_code& ec) {
  ec.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ec = boost::system::errc::make_error_code(boost::system::errc::no_such_file_or_directory);
    return;
  }
  const std::string pem((std::istreambuf_iterator<char>(in)), {});
  if (!extra_roots) {
    extra_roots.reset(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    if (!extra_roots) {
      ec = error_code(static_cast<int>(GetLastError()), boost::system::system_category());
      return;
    }
  }
  static const char begin[] = "-----BEGIN CERTIFICATE-----", end[] = "-----END CERTIFICATE-----";
  int added = 0;
  for (std::size_t at = pem.find(begin); at != std::string::npos; at = pem.find(begin, at + 1)) {
    const std::size_t stop = pem.find(end, at);
    if (stop == std::string::npos) break;
    const std::string block = pem.substr(at, stop + sizeof(end) - 1 - at);
    DWORD size = 0;
    if (!CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                              &size, nullptr, nullptr))
      continue;
    std::vector<BYTE> der(size);
    if (CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                             &size, nullptr, nullptr) &&
        CertAddEncodedCertificateToStore(static_cast<HCERTSTORE>(extra_roots.get()), X509_ASN_ENCODING, der.data(),
                                         size, CERT_STORE_ADD_USE_EXISTING, nullptr))
      ++added;
  }
  if (added == 0) ec = boost::system::errc::make_error_code(boost::system::errc::invalid_argument);
}

schannel_stream::schannel_stream(next_layer_type&& socket, schannel_context& context)
    : socket_(std::move(socket)), context_(context) {}

schannel_stream::~schannel_stream() {
  if (have_context_) DeleteSecurityContext(&security_context_);
  if (have_credentials_) FreeCredentialsHandle(&credentials_);
}

void schannel_stream::set_host(const std::string& host, bool verify) {
  host_ = widen(host);
  verify_ = verify;
}

// ---- handshake -------------------------------------------------------------------------------------

schannel_stream::step schannel_stream::handshake_step(error_code& ec) {
  ec.clear();
  token_.clear();
  if (!have_credentials_) {
    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    // We check the peer ourselves, after the handshake (or not at all without verify).
    cred.dwFlags = SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_MANUAL_CRED_VALIDATION;
    TimeStamp expiry;
    const SECURITY_STATUS status =
        AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &cred,
                                  nullptr, nullptr, &credentials_, &expiry);
    if (status != SEC_E_OK) {
      ec = security_error(status);
      return step::done;
    }
    have_credentials_ = true;
  }

  SecBuffer in[2] = {{static_cast<unsigned long>(incoming_.size()), SECBUFFER_TOKEN, incoming_.data()},
                     {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc in_desc{SECBUFFER_VERSION, 2, in};
  SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
  SecBufferDesc out_desc{SECBUFFER_VERSION, 1, out};
  const unsigned long wanted = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                               ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;
  unsigned long granted = 0;
  const SECURITY_STATUS status = InitializeSecurityContextW(
      &credentials_, have_context_ ? &security_context_ : nullptr, host_.empty() ? nullptr : host_.data(), wanted, 0,
      0, have_context_ ? &in_desc : nullptr, 0, have_context_ ? nullptr : &security_context_, &out_desc, &granted,
      nullptr);
  unique_context_buffer token(out[0].pvBuffer);
  have_context_ = true;
  if (status == SEC_E_INCOMPLETE_MESSAGE) return step::need_input;
  if (token && out[0].cbBuffer > 0) token_.assign(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer);
  if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED && status != SEC_I_INCOMPLETE_CREDENTIALS) {
    ec = security_error(status);
    return step::done;
  }
  // Bytes past the handshake message already belong to the next one (or to the data).
  if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0)
    incoming_.erase(incoming_.begin(), incoming_.end() - in[1].cbBuffer);
  else
    incoming_.clear();
  if (status != SEC_E_OK) return step::continue_needed;

  const SECURITY_STATUS sizes = QueryContextAttributesW(&security_context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
  if (sizes != SEC_E_OK) ec = security_error(sizes);
  return step::done;
}

void schannel_stream::async_handshake(handshake_type, done_handler handler) {
  auto done = std::make_shared<done_handler>(std::move(handler));
  asio::post(socket_.get_executor(), [this, done] { handshake_next(done); });
}

void schannel_stream::handshake_next(std::shared_ptr<done_handler> done) {
  error_code ec;
  const step next = handshake_step(ec);
  if (ec) return (*done)(ec);
  auto after_token = [this, done, next](const error_code& ec) {
    if (ec) return (*done)(ec);
    if (next == step::done) {
      error_code bad;
      if (verify_) verify_peer(bad);
      return (*done)(bad);
    }
    if (next == step::continue_needed && !incoming_.empty()) return handshake_next(done);
    read_more([this, done](const error_code& ec) {
      if (ec) return (*done)(ec);
      handshake_next(done);
    });
  };
  if (token_.empty()) return after_token({});
  asio::async_write(socket_, asio::buffer(token_), [after_token](const error_code& ec, std::size_t) { after_token(ec); });
}

void schannel_stream::read_more(std::function<void(const error_code&)> then) {
  const std::size_t used = incoming_.size();
  incoming_.resize(used + read_chunk);
  socket_.async_read_some(asio::buffer(incoming_.data() + used, read_chunk),
                          [this, used, then](const error_code& ec, std::size_t n) {
                            incoming_.resize(used + n);
                            then(ec);
                          });
}

// The chain must reach a trusted root (the system's, or one of the context's extra roots) and the
// leaf must name the host.
void schannel_stream::verify_peer(error_code& ec) {
  const CERT_CONTEXT* raw = nullptr;
  SECURITY_STATUS status = QueryContextAttributesW(&security_context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &raw);
  unique_cert_context cert(raw);
  if (status != SEC_E_OK || !cert) {
    ec = security_error(status != SEC_E_OK ? status : SEC_E_CERT_UNKNOWN);
    return;
  }
  // Search the server's own intermediates and our roots as well as the system's.
  unique_cert_store search(CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
  if (search) {
    CertAddStoreToCollection(static_cast<HCERTSTORE>(search.get()), cert->hCertStore, 0, 0);
    if (context_.extra_roots) CertAddStoreToCollection(static_cast<HCERTSTORE>(search.get()), context_.extra_roots.get(), 0, 0);
  }
  char server_auth[] = szOID_PKIX_KP_SERVER_AUTH;
  char* usages[] = {server_auth};
  CERT_CHAIN_PARA chain_para{};
  chain_para.cbSize = sizeof(chain_para);
  chain_para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chain_para.RequestedUsage.Usage.cUsageIdentifier = 1;
  chain_para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  const CERT_CHAIN_CONTEXT* raw_chain = nullptr;
  if (!CertGetCertificateChain(nullptr, cert.get(), nullptr, search ? search.get() : cert->hCertStore, &chain_para, 0,
                               nullptr, &raw_chain)) {
    ec = error_code(static_cast<int>(GetLastError()), boost::system::system_category());
    return;
  }
  unique_chain chain(raw_chain);

  // A root the system does not know is fine when it is one of ours.
  DWORD checks = 0;
  if (context_.extra_roots && chain->cChain > 0 && chain->rgpChain[0]->cElement > 0) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    const CERT_CONTEXT* root = simple->rgpElement[simple->cElement - 1]->pCertContext;
    const CERT_CONTEXT* ours = CertFindCertificateInStore(static_cast<HCERTSTORE>(context_.extra_roots.get()),
                                                          X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, root, nullptr);
    if (ours) {
      CertFreeCertificateContext(ours);
      checks |= ignore_unknown_ca;
    }
  }
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof(ssl);
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = checks;
  ssl.pwszServerName = host_.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof(policy);
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS result{};
  result.cbSize = sizeof(result);
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &result)) {
    ec = error_code(static_cast<int>(GetLastError()), boost::system::system_category());
    return;
  }
  if (result.dwError != 0) ec = error_code(static_cast<int>(result.dwError), boost::system::system_category());
}

// ---- data ----------------------------------------------------------------------------------------

bool schannel_stream::decrypt(error_code& ec) {
  ec.clear();
  if (incoming_.empty()) return false;
  SecBuffer buffers[4] = {{static_cast<unsigned long>(incoming_.size()), SECBUFFER_DATA, incoming_.data()},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
  const SECURITY_STATUS status = DecryptMessage(&security_context_, &desc, 0, nullptr);
  if (status == SEC_E_INCOMPLETE_MESSAGE) return false;
  if (status == SEC_I_CONTEXT_EXPIRED) {
    closed_by_peer_ = true;
    incoming_.clear();
    return true;
  }
  if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) {
    ec = security_error(status);
    return true;
  }
  // TLS 1.3 sends session tickets and key updates after the handshake; Schannel hands them back
  // as a renegotiation, to go through the handshake call before more data can be read.
  renegotiating_ = status == SEC_I_RENEGOTIATE;
  std::size_t extra = 0;
  for (const auto& b : buffers) {
    if (b.BufferType == SECBUFFER_DATA && b.cbBuffer > 0) plain_.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
    if (b.BufferType == SECBUFFER_EXTRA) extra = b.cbBuffer;
  }
  // Decryption happened in place; what is left over is the start of the next record.
  incoming_.erase(incoming_.begin(), incoming_.end() - static_cast<std::ptrdiff_t>(extra));
  return true;
}

void schannel_stream::read_some_impl(asio::mutable_buffer buffer, io_handler handler) {
  auto post = [this, handler](const error_code& ec, std::size_t n) {
    asio::post(socket_.get_executor(), [handler, ec, n] { handler(ec, n); });
  };
  if (buffer.size() == 0) return post({}, 0);
  if (plain_at_ < plain_.size()) {
    const std::size_t n = std::min(buffer.size(), plain_.size() - plain_at_);
    std::memcpy(buffer.data(), plain_.data() + plain_at_, n);
    plain_at_ += n;
    if (plain_at_ == plain_.size()) plain_.clear(), plain_at_ = 0;
    return post({}, n);
  }
  if (closed_by_peer_) return post(asio::error::eof, 0);
  error_code ec;
  if (renegotiating_) {
    const step next = handshake_step(ec);
    if (ec) return post(ec, 0);
    renegotiating_ = next != step::done;
    auto again = [this, buffer, handler](const error_code& ec) {
      if (ec) return handler(ec, 0);
      read_some_impl(buffer, handler);
    };
    if (next == step::need_input) return read_more(again);
    if (token_.empty()) return again({});
    return asio::async_write(socket_, asio::buffer(token_), [again](const error_code& ec, std::size_t) { again(ec); });
  }
  if (decrypt(ec)) {
    if (ec) return post(ec, 0);
    // A record may hold no data (a session ticket, an alert): go round again.
    return read_some_impl(buffer, std::move(handler));
  }
  read_more([this, buffer, handler](const error_code& ec) {
    if (ec) return handler(ec, 0);
    read_some_impl(buffer, handler);
  });
}

void schannel_stream::write_some_impl(asio::const_buffer buffer, io_handler handler) {
  const std::size_t n = std::min<std::size_t>(buffer.size(), sizes_.cbMaximumMessage);
  if (n == 0) return asio::post(socket_.get_executor(), [handler] { handler({}, 0); });
  record_.resize(sizes_.cbHeader + n + sizes_.cbTrailer);
  std::memcpy(record_.data() + sizes_.cbHeader, buffer.data(), n);
  SecBuffer buffers[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record_.data()},
                          {static_cast<unsigned long>(n), SECBUFFER_DATA, record_.data() + sizes_.cbHeader},
                          {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record_.data() + sizes_.cbHeader + n},
                          {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
  const SECURITY_STATUS status = EncryptMessage(&security_context_, 0, &desc, 0);
  if (status != SEC_E_OK) {
    const error_code ec = security_error(status);
    return asio::post(socket_.get_executor(), [handler, ec] { handler(ec, 0); });
  }
  record_.resize(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
  asio::async_write(socket_, asio::buffer(record_), [handler, n](const error_code& ec, std::size_t) {
    handler(ec, ec ? 0 : n);
  });
}

} // namespace qvhttp
