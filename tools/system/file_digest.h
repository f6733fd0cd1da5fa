// The SHA-256 digests of the build's outputs, for the build report: from
// OpenSSL's libcrypto on Linux and the system's CNG on Windows, both of
// which use the processor's SHA instructions where it has them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The SHA-256 digest of the file's bytes in lowercase hex, or nullopt when
// it cannot be read.
std::optional<std::string> FileSha256(const std::filesystem::path& file);
