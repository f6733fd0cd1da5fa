#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include "system/file_digest.h"

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = false;
};

Sha256::Sha256() : state_(new State) {
  state_->ok =
      BCRYPT_SUCCESS(
          BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
      BCRYPT_SUCCESS(BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0));
}

Sha256::~Sha256() {
  if (state_->hash != nullptr) BCryptDestroyHash(state_->hash);
  if (state_->algorithm != nullptr) BCryptCloseAlgorithmProvider(state_->algorithm, 0);
}

void Sha256::Update(const void* bytes, size_t count) {
  // CNG takes at most 4 GiB - 1 per call.
  const auto* next = static_cast<const UCHAR*>(bytes);
  while (state_->ok && count > 0) {
    const ULONG part = count > 0x40000000u ? 0x40000000u : static_cast<ULONG>(count);
    state_->ok = BCRYPT_SUCCESS(BCryptHashData(state_->hash, const_cast<PUCHAR>(next), part, 0));
    next += part;
    count -= part;
  }
}

std::optional<std::string> Sha256::FinishHex() {
  constexpr ULONG kSize = 32;
  UCHAR digest[kSize];
  if (!state_->ok || !BCRYPT_SUCCESS(BCryptFinishHash(state_->hash, digest, kSize, 0)))
    return std::nullopt;
  state_->ok = false;
  return LowercaseHex(digest, kSize);
}
