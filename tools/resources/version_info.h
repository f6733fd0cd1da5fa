// Encodes a version resource (VS_VERSIONINFO), so that the exe's file
// properties show the product, its publisher and its version.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "pe/resource.h"
#include "platform/text.h"

struct VersionInfo {
  std::array<uint16_t, 4> version{};  // major, minor, build, revision
  WString versionText;                // as written in product.toml; empty when none
  WString company;
  WString productName;
  WString fileName;  // "Autorun.exe" or "Installer.exe"
};

Bytes EncodeVersionInfo(const VersionInfo& info);
