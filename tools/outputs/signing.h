// Signs an exe in place, last of all, so that the signature covers every
// byte: with osslsigncode and the product's PKCS#12 file, or with the
// product's own command (signtool, a cloud signing client), "{file}" in its
// arguments replaced by the exe's path. SHA-256 digests only.
#pragma once

#include <filesystem>

#include "base/diagnostics.h"
#include "product/product_definition.h"

// False when signing failed, with what failed reported, naming the exe, and
// what the signing program printed. `logFolder` holds the program's log.
bool SignExe(const std::filesystem::path& exe, const SigningSettings& signing,
             const std::filesystem::path& logFolder, Diagnostics& diagnostics);
