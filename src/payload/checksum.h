// The checksum that guards every payload file against damage on the way to
// the player: a scratched disc, a broken download. It is XXH3 (64 bits),
// fast enough to add nothing noticeable to unpacking. It is no guard
// against tampering: the signature on the exe is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace payload {

class Checksum {
 public:
  Checksum();
  ~Checksum();
  Checksum(const Checksum&) = delete;
  Checksum& operator=(const Checksum&) = delete;

  void Add(const void* bytes, size_t count);
  // The checksum of everything added so far.
  uint64_t Value() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A 128-bit fingerprint of `bytes`, in the same family: what ties a build's
// volumes to its exe.
void Fingerprint(const void* bytes, size_t count, uint8_t (&out)[16]);

}  // namespace payload
