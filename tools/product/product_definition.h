// A product folder: product.toml and the files it names.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "product/configuration_strings.h"

// How the exes are signed: with a PKCS#12 file and osslsigncode, or with
// an external command (each argument one string, "{file}" replaced by the
// exe's path).
struct SigningSettings {
  std::optional<std::filesystem::path> pkcs12;
  std::string passwordEnv;  // the environment variable holding the password
  std::vector<std::string> command;
  std::string timestampUrl;  // RFC 3161, pkcs12 only; empty: no time stamp
};

// Just under 4 GB: a signed exe stays well below the 4 GiB that Windows
// refuses to start.
constexpr uint64_t kDefaultVolumeSize = 4000000000;
// Room for the signature that signing appends, below 4 GiB.
constexpr uint64_t kMaxVolumeSize = 4290000000;
// A volume holds its trailer and at least this much data.
constexpr uint64_t kMinVolumeSize = 4096;

struct ProductDefinition {
  std::filesystem::path directory;
  std::filesystem::path tomlPath;
  ConfigurationStrings strings;
  // Optional files and folders, resolved against the product folder.
  // The art in each size it is given in; empty: our default art.
  std::vector<std::filesystem::path> backgrounds;
  std::optional<std::filesystem::path> icon;
  std::optional<std::filesystem::path> payload;
  std::optional<std::filesystem::path> disc;
  // The most bytes Installer.exe and each of its volumes may hold before
  // signing: payload data past it goes into Installer-1.bin, Installer-2.bin
  // ... beside the exe.
  uint64_t volumeSize = kDefaultVolumeSize;
  std::optional<std::array<uint16_t, 4>> version;
  std::string versionText;
  std::string company;
  // missing_transforms = "warning": a package without the transforms the
  // language list needs is built with a warning instead of refused.
  bool missingTransformsWarn = false;
  std::string discLabel;  // non-empty: OUT_DIR/disc.iso is made with it
  std::optional<SigningSettings> signing;

  // The name of the first language's entry of product_names, for the file
  // properties.
  WString FirstProductName() const;
};

// "1", "1.2", "1.2.3" or "1.2.3.4", each part 0 to 65535; missing parts are 0.
std::optional<std::array<uint16_t, 4>> ParseVersion(const std::string& text);

// Reads and checks PRODUCT_DIR/product.toml. Every problem is reported, not
// only the first; the result is nullopt only when the file is missing or is
// not TOML, and a field that is wrong is left at its default, so that the
// other checks of a product can still run. With `checkOnly` an unset
// signing password variable is a warning: build engineers check on machines
// that do not hold the key.
std::optional<ProductDefinition> ReadProductDefinition(const std::filesystem::path& directory,
                                                       Diagnostics& diagnostics,
                                                       bool checkOnly = false);

// The same, nullopt when product.toml has any error.
std::optional<ProductDefinition> LoadProductDefinition(const std::filesystem::path& directory,
                                                       Diagnostics& diagnostics,
                                                       bool checkOnly = false);
