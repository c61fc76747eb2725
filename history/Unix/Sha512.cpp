// SHA-512 through OpenSSL's SHA512_* functions. Deprecated in OpenSSL 3 in favour of EVP, yet
// kept by it: EVP loads its provider and configuration machinery at first use, over 2 MiB
// resident for one digest a pass, where these compute the same digest directly.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "history/Sha512.h"

#include <openssl/sha.h>

#include "history/Failure.h"

namespace marlowin::history {

struct Sha512Stream::State {
  SHA512_CTX context;
  bool ok = SHA512_Init(&context) == 1;
};

Sha512Stream::Sha512Stream() : state_(std::make_unique<State>()) {}
Sha512Stream::~Sha512Stream() = default;

void Sha512Stream::Update(std::string_view bytes) {
  state_->ok = state_->ok && SHA512_Update(&state_->context, bytes.data(), bytes.size()) == 1;
}

std::error_code Sha512Stream::Finish(Sha512Digest& digest) {
  static_assert(std::tuple_size_v<Sha512Digest> == SHA512_DIGEST_LENGTH);
  state_->ok = state_->ok && SHA512_Final(digest.data(), &state_->context) == 1;
  return state_->ok ? std::error_code() : make_error_code(HistoryErrc::kDigestFailed);
}

std::error_code Sha512(std::string_view bytes, Sha512Digest& digest) {
  Sha512Stream stream;
  stream.Update(bytes);
  return stream.Finish(digest);
}

}  // namespace marlowin::history
