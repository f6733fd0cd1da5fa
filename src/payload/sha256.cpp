#include "payload/sha256.h"

#include <cstring>

#include "payload/sha256_rounds.h"

namespace payload {
namespace {

constexpr std::array<uint32_t, 8> kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

}  // namespace

Sha256::Sha256() : state_(kInitialState) {}

void Sha256::Compress(const uint8_t* blocks, size_t count) {
  static const bool fast = Sha256UsesProcessorInstructions();
  if (fast) {
    Sha256RoundsWithShaInstructions(state_.data(), blocks, count);
  } else {
    Sha256PortableRounds(state_.data(), blocks, count);
  }
}

void Sha256::Add(const void* bytes, size_t count) {
  const auto* in = static_cast<const uint8_t*>(bytes);
  totalBytes_ += count;
  if (pendingBytes_ != 0) {
    const size_t take = count < 64 - pendingBytes_ ? count : 64 - pendingBytes_;
    std::memcpy(pending_.data() + pendingBytes_, in, take);
    pendingBytes_ += take;
    in += take;
    count -= take;
    if (pendingBytes_ < 64) return;
    Compress(pending_.data(), 1);
    pendingBytes_ = 0;
  }
  // Whole blocks straight from the caller's bytes, without a copy.
  if (count >= 64) {
    Compress(in, count / 64);
    in += count / 64 * 64;
    count %= 64;
  }
  if (count != 0) std::memcpy(pending_.data(), in, count);
  pendingBytes_ = count;
}

Sha256Digest Sha256::Finish() {
  const uint64_t bits = totalBytes_ * 8;
  uint8_t tail[72] = {0x80};
  // Pad to 56 bytes past a block boundary, then the length in bits.
  const size_t padding = (pendingBytes_ < 56 ? 56 : 120) - pendingBytes_;
  for (int i = 0; i < 8; ++i) tail[padding + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  Add(tail, padding + 8);
  Sha256Digest digest;
  for (size_t i = 0; i < 8; ++i) {
    for (size_t b = 0; b < 4; ++b)
      digest[4 * i + b] = static_cast<uint8_t>(state_[i] >> (24 - 8 * b));
  }
  return digest;
}

}  // namespace payload
