// The first half of a build: checks a product folder and makes its exes'
// resources, in memory.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "installer/installer_payload.h"
#include "product/language_plan.h"
#include "product/payload_files.h"
#include "product/product_definition.h"
#include "resources/product_resources.h"

// What the rest of the build needs from the product.
struct PreparedProduct {
  ExeResources resources;
  // With a payload: its files, copied when the installer is written.
  std::optional<InstallerPayload> payload;
  std::optional<std::filesystem::path> discFolder;     // absolute
  std::optional<std::filesystem::path> payloadFolder;  // absolute
  std::string discLabel;                               // non-empty: make disc.iso
  std::optional<SigningSettings> signing;
  LanguagePlan languages;  // for the report
};

// Checks PRODUCT_DIR and makes the resources of its exes from `inputs`; every
// problem is reported, and nullopt returned when there is an error. With
// `checkOnly`, an unset signing password is only a warning.
std::optional<PreparedProduct> PrepareProduct(const std::filesystem::path& productDir,
                                              const ResourceInputs& inputs, bool checkOnly,
                                              Diagnostics& diagnostics);
