// SHA-512 through CNG: a provider opened for each digest (digests are few: one a generation file).
#include "history/Sha512.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <climits>

#include "history/Failure.h"

namespace marlowin::history {
namespace {

bool HashInto(BCRYPT_ALG_HANDLE algorithm, std::string_view bytes, Sha512Digest& digest) {
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) return false;
  bool ok = true;
  // The length of a piece is a ULONG: larger inputs go in several.
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(bytes.size() - done, ULONG_MAX));
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + done));
    ok = BCRYPT_SUCCESS(BCryptHashData(hash, data, piece, 0));
    done += piece;
  }
  ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  BCryptDestroyHash(hash);
  return ok;
}

}  // namespace

std::error_code Sha512(std::string_view bytes, Sha512Digest& digest) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA512_ALGORITHM, nullptr, 0))) {
    return HistoryErrc::kDigestFailed;
  }
  const bool ok = HashInto(algorithm, bytes, digest);
  BCryptCloseAlgorithmProvider(algorithm, 0);
  return ok ? std::error_code() : make_error_code(HistoryErrc::kDigestFailed);
}

}  // namespace marlowin::history
