// The language transforms a product's package carries, made by the tool:
// each a storage inside the package that msiexec applies for
// TRANSFORMS=":<culture>.mst", setting the properties ProductLanguage and
// LANGUAGEVAL to the language's LCID.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "system/package_database.h"
#include "system/package_file.h"

// What a transform must name of the package it applies to.
struct PackageFacts {
  std::string productCode;
  std::string productVersion;
  std::string upgradeCode;
  std::string language;  // ProductLanguage, the LCID of the package as built
};

// The facts, or nullopt when the package has no ProductCode or
// ProductVersion.
std::optional<PackageFacts> ReadPackageFacts(PackageDatabase& package);

// The transform that installs the package in `lcid`. The same facts and
// LCID make the same bytes on every host.
StorageContent LanguageTransform(const PackageFacts& facts, int32_t lcid);

// A package summary's template ("Intel;1033") with `lcids` as the languages
// the package supports, its platform kept.
std::string TemplateWithLanguages(const std::string& current, const std::vector<int32_t>& lcids);

// The name of a package's summary information stream.
extern const WString kSummaryStreamName;
