// The SHA-256 digests of the build's outputs, for the build report: from
// OpenSSL's libcrypto on Linux and the system's CNG on Windows, both of
// which use the processor's SHA instructions where it has them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

// A digest fed in pieces.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const void* bytes, size_t count);
  // The digest in lowercase hex, or nullopt when the system's digest failed.
  // Ends the digest: no Update after it.
  std::optional<std::string> FinishHex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Bytes in lowercase hex, as the report writes digests.
std::string LowercaseHex(const unsigned char* bytes, size_t count);

// The SHA-256 digest of the file's bytes in lowercase hex, or nullopt when
// it cannot be read.
std::optional<std::string> FileSha256(const std::filesystem::path& file);
