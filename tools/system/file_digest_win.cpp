#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <fstream>
#include <vector>

#include "system/file_digest.h"

namespace {

class AlgorithmHandle {
 public:
  AlgorithmHandle() {
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
      handle_ = nullptr;
  }
  ~AlgorithmHandle() {
    if (handle_ != nullptr) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  AlgorithmHandle(const AlgorithmHandle&) = delete;
  AlgorithmHandle& operator=(const AlgorithmHandle&) = delete;
  BCRYPT_ALG_HANDLE Get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class HashHandle {
 public:
  explicit HashHandle(BCRYPT_ALG_HANDLE algorithm) {
    if (algorithm == nullptr ||
        !BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &handle_, nullptr, 0, nullptr, 0, 0)))
      handle_ = nullptr;
  }
  ~HashHandle() {
    if (handle_ != nullptr) BCryptDestroyHash(handle_);
  }
  HashHandle(const HashHandle&) = delete;
  HashHandle& operator=(const HashHandle&) = delete;
  BCRYPT_HASH_HANDLE Get() const { return handle_; }

 private:
  BCRYPT_HASH_HANDLE handle_ = nullptr;
};

constexpr size_t kReadChunk = 1 << 20;
constexpr ULONG kSha256Size = 32;

}  // namespace

std::optional<std::string> FileSha256(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const AlgorithmHandle algorithm;
  const HashHandle hash(algorithm.Get());
  if (!in || hash.Get() == nullptr) return std::nullopt;
  std::vector<char> chunk(kReadChunk);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const std::streamsize count = in.gcount();
    if (count > 0 &&
        !BCRYPT_SUCCESS(BCryptHashData(hash.Get(), reinterpret_cast<PUCHAR>(chunk.data()),
                                       static_cast<ULONG>(count), 0)))
      return std::nullopt;
  }
  if (!in.eof()) return std::nullopt;
  UCHAR digest[kSha256Size];
  if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.Get(), digest, kSha256Size, 0))) return std::nullopt;
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const UCHAR byte : digest) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 15];
  }
  return hex;
}
