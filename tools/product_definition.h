// A product folder: product.toml and the files it names.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "configuration_strings.h"
#include "diagnostics.h"
#include "version_info.h"

struct ProductDefinition {
  std::filesystem::path directory;
  std::filesystem::path tomlPath;
  ConfigurationStrings strings;
  // Optional files and folders, resolved against the product folder.
  std::optional<std::filesystem::path> background;
  std::optional<std::filesystem::path> icon;
  std::optional<std::filesystem::path> payload;
  std::optional<std::filesystem::path> disc;
  std::optional<std::array<uint16_t, 4>> version;
  std::string versionText;
  std::string company;

  // The name of the first language's entry of product_names, for the file
  // properties.
  WString FirstProductName() const;
};

// Reads and checks PRODUCT_DIR/product.toml. Every problem is reported, not
// only the first; the result is nullopt when there is any error.
std::optional<ProductDefinition> LoadProductDefinition(const std::filesystem::path& directory,
                                                       Diagnostics& diagnostics);
