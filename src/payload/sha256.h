// SHA-256 (FIPS 180-4): what ties the volumes beside Installer.exe to the
// signed exe. Each volume's SHA-256 is in the payload table, inside the
// signature, so a volume that was swapped or forged is refused however its
// checksum (checksum.h) was made to match.
//
// Our own rather than the system's: the program loads no further library
// for it, and where the processor has the SHA instructions (every x86
// processor since 2017 or so) it uses them, several times as fast as the
// portable rounds and as Windows' own CNG under Wine.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace payload {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
 public:
  Sha256();

  void Add(const void* bytes, size_t count);
  // The digest of everything added; ends the digest (Add no more after it).
  Sha256Digest Finish();

 private:
  void Compress(const uint8_t* blocks, size_t count);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> pending_{};
  size_t pendingBytes_ = 0;
  uint64_t totalBytes_ = 0;
};

}  // namespace payload
