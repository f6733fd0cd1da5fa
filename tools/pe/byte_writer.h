// Little-endian bytes for the binary resource and image formats: a growing
// buffer, and numbers read or patched in place.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/text.h"

// The little-endian number of `size` bytes (1 to 4) at `offset`.
inline uint32_t ReadLe(const std::vector<uint8_t>& bytes, size_t offset, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[offset + static_cast<size_t>(i)];
  return value;
}

// Writes `value` as `size` little-endian bytes at `offset`.
inline void PutLe(std::vector<uint8_t>& bytes, size_t offset, uint32_t value, int size) {
  for (int i = 0; i < size; ++i)
    bytes[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

class ByteWriter {
 public:
  void U8(uint8_t value) { bytes_.push_back(value); }
  void U16(uint16_t value) {
    U8(static_cast<uint8_t>(value));
    U8(static_cast<uint8_t>(value >> 8));
  }
  void U32(uint32_t value) {
    U16(static_cast<uint16_t>(value));
    U16(static_cast<uint16_t>(value >> 16));
  }
  // UTF-16 code units, without a terminator.
  void Text(WStringView text) {
    for (const WChar unit : text) U16(static_cast<uint16_t>(unit));
  }
  void Append(const std::vector<uint8_t>& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
  }
  void AlignTo4() {
    while (bytes_.size() % 4 != 0) U8(0);
  }
  void PatchU16(size_t offset, uint16_t value) {
    bytes_[offset] = static_cast<uint8_t>(value);
    bytes_[offset + 1] = static_cast<uint8_t>(value >> 8);
  }

  size_t Size() const { return bytes_.size(); }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};
