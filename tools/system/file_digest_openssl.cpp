#include <openssl/evp.h>

#include "system/file_digest.h"

struct Sha256::State {
  EVP_MD_CTX* context = nullptr;
  bool ok = false;
};

Sha256::Sha256() : state_(new State) {
  state_->context = EVP_MD_CTX_new();
  state_->ok =
      state_->context != nullptr && EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) == 1;
}

Sha256::~Sha256() { EVP_MD_CTX_free(state_->context); }

void Sha256::Update(const void* bytes, size_t count) {
  if (state_->ok && count > 0) state_->ok = EVP_DigestUpdate(state_->context, bytes, count) == 1;
}

std::optional<std::string> Sha256::FinishHex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!state_->ok || EVP_DigestFinal_ex(state_->context, digest, &length) != 1) return std::nullopt;
  state_->ok = false;
  return LowercaseHex(digest, length);
}
