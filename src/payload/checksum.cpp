#include "payload/checksum.h"

// Inlined whole: the functions are private to this file, and the compiler
// sees the fixed sizes it is called with.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace payload {

struct Checksum::State {
  XXH3_state_t xxh;
};

Checksum::Checksum() : state_(new State) { XXH3_64bits_reset(&state_->xxh); }

Checksum::~Checksum() = default;

void Checksum::Add(const void* bytes, size_t count) {
  if (count != 0) XXH3_64bits_update(&state_->xxh, bytes, count);
}

uint64_t Checksum::Value() const { return XXH3_64bits_digest(&state_->xxh); }

void Fingerprint(const void* bytes, size_t count, uint8_t (&out)[16]) {
  const XXH128_hash_t hash = XXH3_128bits(bytes, count);
  for (int i = 0; i < 8; ++i) {
    out[i] = static_cast<uint8_t>(hash.low64 >> (8 * i));
    out[8 + i] = static_cast<uint8_t>(hash.high64 >> (8 * i));
  }
}

}  // namespace payload
