#include "System.h"

#include "Handles.h"

#include <wincrypt.h>

namespace {

class CryptContext {
 public:
  CryptContext() {
    if (!CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) provider_ = 0;
  }
  ~CryptContext() {
    if (provider_ != 0) CryptReleaseContext(provider_, 0);
  }
  CryptContext(const CryptContext&) = delete;
  CryptContext& operator=(const CryptContext&) = delete;
  HCRYPTPROV get() const { return provider_; }

 private:
  HCRYPTPROV provider_ = 0;
};

class CryptHash {
 public:
  CryptHash(HCRYPTPROV provider, ALG_ID algorithm) {
    if (provider == 0 || !CryptCreateHash(provider, algorithm, 0, 0, &hash_)) hash_ = 0;
  }
  ~CryptHash() {
    if (hash_ != 0) CryptDestroyHash(hash_);
  }
  CryptHash(const CryptHash&) = delete;
  CryptHash& operator=(const CryptHash&) = delete;
  HCRYPTHASH get() const { return hash_; }

 private:
  HCRYPTHASH hash_ = 0;
};

}  // namespace

std::string GetFileMd5(const std::wstring& path) {
  qvsys::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return {};
  CryptContext context;
  CryptHash hash(context.get(), CALG_MD5);
  if (hash.get() == 0) return {};

  BYTE block[4096];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), block, sizeof(block), &read, nullptr)) {
      // A digest of part of the file would pass for the file's own.
      return {};
    }
    if (read == 0) break;
    if (!CryptHashData(hash.get(), block, read, 0)) return {};
  }

  BYTE digest[16] = {};
  DWORD size = sizeof(digest);
  if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest, &size, 0) || size != sizeof(digest)) return {};
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (BYTE b : digest) {
    text += kHex[b >> 4];
    text += kHex[b & 0x0F];
  }
  return text;
}
