#include "recover/FileDigests.h"

#include <openssl/evp.h>

namespace {

std::string hexOf(const unsigned char* bytes, unsigned length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < length; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

}  // namespace

struct FileDigests::Impl {
  EVP_MD_CTX* md5 = EVP_MD_CTX_new();
  EVP_MD_CTX* sha256 = EVP_MD_CTX_new();
  bool ok = md5 && sha256 && EVP_DigestInit_ex(md5, EVP_md5(), nullptr) == 1 &&
            EVP_DigestInit_ex(sha256, EVP_sha256(), nullptr) == 1;
  ~Impl() {
    EVP_MD_CTX_free(md5);
    EVP_MD_CTX_free(sha256);
  }
};

FileDigests::FileDigests() : impl_(new Impl) {}

FileDigests::~FileDigests() { delete impl_; }

void FileDigests::update(const void* data, size_t length) {
  if (!impl_->ok || length == 0) return;
  impl_->ok = EVP_DigestUpdate(impl_->md5, data, length) == 1 && EVP_DigestUpdate(impl_->sha256, data, length) == 1;
}

void FileDigests::finish(std::string& md5, std::string& sha256) {
  md5.clear();
  sha256.clear();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (!impl_->ok) return;
  if (EVP_DigestFinal_ex(impl_->md5, digest, &length) == 1) md5 = hexOf(digest, length);
  if (EVP_DigestFinal_ex(impl_->sha256, digest, &length) == 1) sha256 = hexOf(digest, length);
  impl_->ok = false;
}
