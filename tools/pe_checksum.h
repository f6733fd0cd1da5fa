// The CheckSum of a PE file's optional header, over the file's bytes fed in
// order once: the file's 16-bit little-endian words added with their carries
// folded back in, plus the file's length. The checksum field itself must be
// fed as zeros.
#pragma once

#include <cstddef>
#include <cstdint>

class PeChecksum {
 public:
  void Add(const uint8_t* bytes, size_t count);
  uint32_t Finish() const;

 private:
  // Whole 64-bit words are added with end-around carry: as 2^16 leaves 1
  // over 0xFFFF, such a sum folds to the same 16 bits as the sum of the
  // words' 16-bit parts.
  void AddWord(uint64_t word);

  uint64_t sum_ = 0;
  uint64_t length_ = 0;
  uint8_t pending_[8] = {};  // the bytes of an unfinished word
  size_t pendingCount_ = 0;
};
