#include "system/file_digest.h"

#include <fstream>
#include <vector>

std::string LowercaseHex(const unsigned char* bytes, size_t count) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < count; ++i) {
    hex += kHex[bytes[i] >> 4];
    hex += kHex[bytes[i] & 15];
  }
  return hex;
}

std::optional<std::string> FileSha256(const std::filesystem::path& file) {
  constexpr size_t kReadChunk = 1 << 20;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  Sha256 digest;
  std::vector<char> chunk(kReadChunk);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    if (in.gcount() > 0) digest.Update(chunk.data(), static_cast<size_t>(in.gcount()));
  }
  if (!in.eof()) return std::nullopt;
  return digest.FinishHex();
}
