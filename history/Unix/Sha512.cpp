// SHA-512 through OpenSSL's EVP interface.
#include "history/Sha512.h"

#include <openssl/evp.h>

#include <memory>

#include "history/Failure.h"

namespace marlowin::history {

struct Sha512Stream::State {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context{EVP_MD_CTX_new(), &EVP_MD_CTX_free};
  bool ok = context && EVP_DigestInit_ex(context.get(), EVP_sha512(), nullptr) == 1;
};

Sha512Stream::Sha512Stream() : state_(std::make_unique<State>()) {}
Sha512Stream::~Sha512Stream() = default;

void Sha512Stream::Update(std::string_view bytes) {
  state_->ok = state_->ok && EVP_DigestUpdate(state_->context.get(), bytes.data(), bytes.size()) == 1;
}

std::error_code Sha512Stream::Finish(Sha512Digest& digest) {
  unsigned int length = 0;
  if (!state_->ok || EVP_DigestFinal_ex(state_->context.get(), digest.data(), &length) != 1 ||
      length != digest.size()) {
    state_->ok = false;
    return HistoryErrc::kDigestFailed;
  }
  return {};
}

std::error_code Sha512(std::string_view bytes, Sha512Digest& digest) {
  Sha512Stream stream;
  stream.Update(bytes);
  return stream.Finish(digest);
}

}  // namespace marlowin::history
