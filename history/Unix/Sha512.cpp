// SHA-512 through OpenSSL's EVP interface.
#include "history/Sha512.h"

#include <openssl/evp.h>

#include <memory>

#include "history/Failure.h"

namespace marlowin::history {

std::error_code Sha512(std::string_view bytes, Sha512Digest& digest) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  unsigned int length = 0;
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha512(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
      EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size()) {
    return HistoryErrc::kDigestFailed;
  }
  return {};
}

}  // namespace marlowin::history
