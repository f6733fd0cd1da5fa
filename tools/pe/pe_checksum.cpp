#include "pe/pe_checksum.h"

#include <cstring>

namespace {

uint64_t LittleEndianWord(const uint8_t* bytes) {
  uint64_t word = 0;
  for (int i = 7; i >= 0; --i) word = (word << 8) | bytes[i];
  return word;
}

bool HostIsLittleEndian() {
  const uint16_t probe = 1;
  uint8_t first = 0;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

}  // namespace

void PeChecksum::Add(const uint8_t* bytes, size_t count) {
  length_ += count;
  while (pendingCount_ > 0 && pendingCount_ < 8 && count > 0) {
    pending_[pendingCount_++] = *bytes++;
    --count;
    if (pendingCount_ == 8) {
      AddWord(LittleEndianWord(pending_));
      pendingCount_ = 0;
    }
  }
  // The bulk of a large file goes through here: plain loads on the
  // little-endian hosts the tool runs on, summed in a local.
  uint64_t sum = sum_;
  if (HostIsLittleEndian()) {
    for (; count >= 8; bytes += 8, count -= 8) {
      uint64_t word;
      std::memcpy(&word, bytes, 8);
      sum += (word & 0xFFFFFFFF) + (word >> 32);
    }
  }
  sum_ = sum;
  for (; count >= 8; bytes += 8, count -= 8) AddWord(LittleEndianWord(bytes));  // other hosts
  if (count > 0) std::memcpy(pending_ + pendingCount_, bytes, count);
  pendingCount_ += count;
}

uint32_t PeChecksum::Finish() const {
  uint8_t last[8] = {};
  if (pendingCount_ > 0) std::memcpy(last, pending_, pendingCount_);
  PeChecksum folded = *this;
  // An odd last byte counts as a word whose high byte is zero.
  folded.AddWord(LittleEndianWord(last));
  uint64_t sum = folded.sum_;
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + length_);
}
