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
  // Adds the words of `part`, bytes that replace zeros this checksum was
  // fed at an offset that is a multiple of 8; `part` must hold a multiple
  // of 8 bytes. The length stays this checksum's.
  void Merge(const PeChecksum& part) { sum_ += part.sum_; }

 private:
  // The file is summed in 32-bit parts: as 2^16 leaves 1 over 0xFFFF, the
  // sum folds to the same 16 bits as the sum of 16-bit words, with a quarter
  // as many additions. A PE file is under 4 GiB, so 64 bits never overflow.
  void AddWord(uint64_t word) { sum_ += (word & 0xFFFFFFFF) + (word >> 32); }

  uint64_t sum_ = 0;
  uint64_t length_ = 0;
  uint8_t pending_[8] = {};  // the bytes of an unfinished word
  size_t pendingCount_ = 0;
};
