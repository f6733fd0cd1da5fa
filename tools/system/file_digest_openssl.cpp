#include <openssl/evp.h>

#include <fstream>
#include <memory>
#include <vector>

#include "system/file_digest.h"

namespace {

struct DigestContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

constexpr size_t kReadChunk = 1 << 20;

}  // namespace

std::optional<std::string> FileSha256(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
  if (!in || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
    return std::nullopt;
  std::vector<char> chunk(kReadChunk);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const std::streamsize count = in.gcount();
    if (count > 0 && EVP_DigestUpdate(context.get(), chunk.data(), static_cast<size_t>(count)) != 1)
      return std::nullopt;
  }
  if (!in.eof()) return std::nullopt;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return std::nullopt;
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}
