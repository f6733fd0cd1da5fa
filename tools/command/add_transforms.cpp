#include "command/add_transforms.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>

#include "product/language_transform.h"
#include "product/language_plan.h"
#include "product/product_definition.h"
#include "product/property_set.h"
#include "system/package_file.h"

namespace fs = std::filesystem;

namespace {

// What goes into one package.
struct PackageChanges {
  std::map<WString, StorageContent> storages;
  std::map<WString, Bytes> streams;
  std::vector<std::string> stored;  // "fr-fr.mst (1036 Français)"
  std::string languages;            // the summary's template: "Intel;1033,1036"
};

std::string Described(const std::string& transform, int32_t lcid) {
  return transform + " (" + DescribeLanguage(lcid) + ")";
}

// The languages the package's summary lists: its own first, then each
// language a transform installs, in the list's order.
std::vector<int32_t> SummaryLanguages(int32_t packageLanguage, const LanguagePlan& plan) {
  std::vector<int32_t> lcids = {packageLanguage};
  for (const int32_t lcid : plan.configuredIds) {
    const bool installedByTransform = plan.neededTransforms.count(CultureCode(lcid) + ".mst") != 0;
    if (installedByTransform && std::find(lcids.begin(), lcids.end(), lcid) == lcids.end())
      lcids.push_back(lcid);
  }
  return lcids;
}

bool PlanChanges(const fs::path& package, const LanguagePlan& plan,
                 const std::map<std::string, StorageContent>& given, PackageChanges* changes,
                 Diagnostics& diagnostics) {
  const std::string where = package.string();
  std::unique_ptr<PackageDatabase> database = PackageDatabase::Open(package);
  if (!database) {
    diagnostics.Error(where, "cannot be read as a Windows Installer database");
    return false;
  }
  const std::optional<PackageFacts> facts = ReadPackageFacts(*database);
  if (!facts) {
    diagnostics.Error(where, "has no ProductCode or ProductVersion property for a transform to name");
    return false;
  }
  std::vector<std::string> present;
  for (const PackageDatabase::Row& row :
       database->Select("SELECT `Name` FROM `_Storages`").value_or(std::vector<PackageDatabase::Row>()))
    present.push_back(row.at(0));
  database.reset();  // the file is read again, and written, below

  for (const auto& [transform, players] : plan.neededTransforms) {
    const WString name = Utf8ToUtf16(transform);
    const auto supplied = given.find(transform);
    if (supplied != given.end()) {
      if (ReadPackageStorage(package, name) == supplied->second) continue;
      changes->storages[name] = supplied->second;
    } else if (std::find(present.begin(), present.end(), transform) == present.end()) {
      changes->storages[name] = LanguageTransform(*facts, players.front());
    } else {
      continue;
    }
    changes->stored.push_back(Described(transform, players.front()));
  }

  const std::optional<Bytes> summary = ReadPackageStream(package, kSummaryStreamName);
  std::optional<PropertySet> set = summary ? DecodePropertySet(*summary) : std::nullopt;
  if (!set) {
    diagnostics.Error(where, "has no summary information that can be read");
    return false;
  }
  const std::string current = set->Text(kPropertyTemplate).value_or("");
  changes->languages = TemplateWithLanguages(
      current, SummaryLanguages(std::atoi(facts->language.c_str()), plan));
  // A summary that lists the languages already stays as it is, byte for byte.
  if (changes->languages != current) {
    set->SetText(kPropertyTemplate, changes->languages);
    changes->streams[kSummaryStreamName] = EncodePropertySet(*set);
  }
  return true;
}

}  // namespace

bool AddTransforms(const fs::path& productDir, const std::vector<GivenTransform>& given,
                   std::vector<std::string>* done, Diagnostics& diagnostics) {
  // Signing settings do not matter here: checked as check does.
  const std::optional<ProductDefinition> product = LoadProductDefinition(productDir, diagnostics, true);
  if (!product) return false;
  const LanguagePlan plan = PlanLanguages(product->strings.languageIds);

  std::map<std::string, StorageContent> givenContent;
  for (const GivenTransform& transform : given) {
    const std::string name = transform.culture + ".mst";
    if (plan.neededTransforms.count(name) == 0) {
      diagnostics.Error(transform.culture + "=" + transform.file.string(),
                        "\"" + transform.culture + "\" is not the culture of a language this "
                        "product offers after its first (see language_ids)");
    } else if (std::optional<StorageContent> content = ReadStorageFile(transform.file)) {
      givenContent[name] = std::move(*content);
    } else {
      diagnostics.Error(transform.file.string(), "is not a transform (a compound file) that can be read");
    }
  }

  const fs::path packageName = fs::u8path(Utf16ToUtf8(product->strings.packageName));
  std::vector<fs::path> packages;
  for (const auto& folder : {product->payload, product->disc}) {
    std::error_code error;
    if (folder && fs::is_regular_file(*folder / packageName, error))
      packages.push_back(*folder / packageName);
  }
  if (packages.empty()) {
    diagnostics.Error(product->tomlPath.string() + ": package_name",
                      "\"" + packageName.string() + "\" is in neither the payload nor the disc "
                      "folder: build the package into them first");
  }
  if (diagnostics.HasErrors()) return false;

  for (const fs::path& package : packages) {
    PackageChanges changes;
    if (!PlanChanges(package, plan, givenContent, &changes, diagnostics)) continue;
    if (changes.storages.empty() && changes.streams.empty()) {
      done->push_back(package.string() + ": has every transform its languages need");
      continue;
    }
    if (!UpdatePackage(package, changes.streams, changes.storages)) {
      diagnostics.Error(package.string(), "cannot be written");
      continue;
    }
    std::string line = package.string() + ":";
    if (!changes.stored.empty()) {
      line += " stored";
      for (size_t index = 0; index < changes.stored.size(); ++index)
        line += (index == 0 ? " " : ", ") + changes.stored[index];
      line += ";";
    }
    done->push_back(line + " its summary lists " + changes.languages);
  }
  return !diagnostics.HasErrors();
}
