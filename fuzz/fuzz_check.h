// What every fuzz target shares: a check that reports a broken invariant as
// a crash, so libFuzzer keeps the input, and a reader that cuts the input
// into the pieces a target needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"

// Unlike assert, it stays on in every build type.
#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "broken invariant at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                            \
    }                                                                                          \
  } while (0)

// A reader of a publisher's file either gives its result or reports an
// error, never both, and every message it writes names that file.
template <typename Result, typename Diagnostics>
void CheckReadOrRefused(const Result& result, const Diagnostics& diagnostics,
                        const std::string& file) {
  FUZZ_CHECK(result.has_value() != diagnostics.HasErrors());
  for (const auto& entry : diagnostics.All()) FUZZ_CHECK(entry.where == file);
}

// The bytes in a heap block of exactly their size, so that AddressSanitizer
// reports a read even one byte past them (a vector may hold spare room).
inline std::unique_ptr<uint8_t[]> ExactCopy(const uint8_t* bytes, size_t size) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
  if (size != 0) std::memcpy(copy.get(), bytes, size);
  return copy;
}
inline std::unique_ptr<uint8_t[]> ExactCopy(const std::vector<uint8_t>& bytes) {
  return ExactCopy(bytes.data(), bytes.size());
}

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t U32() {
    uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) value |= uint32_t{Byte()} << shift;
    return value;
  }
  uint64_t U64() {
    const uint64_t low = U32();
    return low | uint64_t{U32()} << 32;
  }
  // Up to `count` bytes, fewer when the input ends.
  std::vector<uint8_t> Bytes(size_t count) {
    const size_t taken = count < size_ - pos_ ? count : size_ - pos_;
    std::vector<uint8_t> bytes(data_ + pos_, data_ + pos_ + taken);
    pos_ += taken;
    return bytes;
  }
  std::vector<uint8_t> Rest() { return Bytes(size_ - pos_); }
  // UTF-16LE units up to the next U+FFFF (a unit no text of ours holds) or
  // the end; NULs and unpaired surrogates come through as they are.
  WString Text() {
    WString text;
    while (pos_ + 1 < size_) {
      const auto unit = static_cast<WChar>(data_[pos_] | (data_[pos_ + 1] << 8));
      pos_ += 2;
      if (unit == 0xFFFF) break;
      text.push_back(unit);
    }
    if (pos_ + 1 == size_) ++pos_;  // an odd last byte is no unit
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};
