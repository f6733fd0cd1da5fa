// Encodes a version resource (VS_VERSIONINFO), so that the exe's file
// properties show the product, its publisher and its version.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "exe/res_file.h"
#include "platform/text.h"

struct VersionInfo {
  std::array<uint16_t, 4> version{};  // major, minor, build, revision
  WString versionText;                // as written in product.toml; empty when none
  WString company;
  WString productName;
  WString fileName;  // "Autorun.exe" or "Installer.exe"
};

// "1", "1.2", "1.2.3" or "1.2.3.4", each part 0 to 65535; missing parts are 0.
std::optional<std::array<uint16_t, 4>> ParseVersion(const std::string& text);

Bytes EncodeVersionInfo(const VersionInfo& info);
