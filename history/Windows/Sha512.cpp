// SHA-512 through CNG: a provider opened for each digest (digests are few: one a generation file).
#include "history/Sha512.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <climits>

#include "history/Failure.h"

namespace marlowin::history {

struct Sha512Stream::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = false;
  ~State() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

Sha512Stream::Sha512Stream() : state_(std::make_unique<State>()) {
  state_->ok = BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA512_ALGORITHM, nullptr, 0)) &&
               BCRYPT_SUCCESS(BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0));
}
Sha512Stream::~Sha512Stream() = default;

void Sha512Stream::Update(std::string_view bytes) {
  // The length of a piece is a ULONG: larger inputs go in several.
  for (std::size_t done = 0; state_->ok && done < bytes.size();) {
    const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(bytes.size() - done, ULONG_MAX));
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + done));
    state_->ok = BCRYPT_SUCCESS(BCryptHashData(state_->hash, data, piece, 0));
    done += piece;
  }
}

std::error_code Sha512Stream::Finish(Sha512Digest& digest) {
  state_->ok = state_->ok &&
               BCRYPT_SUCCESS(BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  return state_->ok ? std::error_code() : make_error_code(HistoryErrc::kDigestFailed);
}

std::error_code Sha512(std::string_view bytes, Sha512Digest& digest) {
  Sha512Stream stream;
  stream.Update(bytes);
  return stream.Finish(digest);
}

}  // namespace marlowin::history
