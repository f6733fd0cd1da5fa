#include "product/package_checks.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "system/package_database.h"

namespace {

using Rows = std::vector<PackageDatabase::Row>;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Registry keys and value names ignore case; a key's trailing backslash
// names the same key.
std::string KeyForm(std::string key) {
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return Lower(key);
}

Rows Select(PackageDatabase& package, const char* query) {
  // A table the package does not have holds no rows.
  return package.Select(query).value_or(Rows());
}

std::string RootName(const std::string& root, bool perMachine) {
  if (root == "0") return "HKEY_CLASSES_ROOT";
  if (root == "1" || (root == "-1" && !perMachine)) return "HKEY_CURRENT_USER";
  if (root == "3") return "HKEY_USERS";
  return "HKEY_LOCAL_MACHINE";
}

void CheckTransforms(const std::set<std::string>& storages, const std::string& where,
                     const LanguagePlan& plan, bool warnOnly, const std::string& tomlFolder,
                     Diagnostics& diagnostics) {
  for (const auto& [transform, players] : plan.neededTransforms) {
    if (storages.count(transform) != 0) continue;
    std::string languages;
    for (const int32_t lcid : players)
      languages += (languages.empty() ? "" : ", ") + DescribeLanguage(lcid);
    const std::string message = "lacks the embedded transform " + transform + ": installing in " +
                                languages + " would fail; disc-launcher transforms " + tomlFolder +
                                " makes it";
    if (warnOnly)
      diagnostics.Warning(where, message);
    else
      diagnostics.Error(where, message);
  }
}

// PathVal and LanguageVal, which the launcher reads, under registry_key in
// HKEY_LOCAL_MACHINE; and LanguageVal from the property the transforms set.
void CheckRegistry(PackageDatabase& package, const std::string& where,
                   const ProductDefinition& product, const LanguagePlan& plan,
                   Diagnostics& diagnostics) {
  const Rows allUsers = Select(package, "SELECT `Value` FROM `Property` WHERE `Property` = 'ALLUSERS'");
  const bool perMachine = !allUsers.empty() && allUsers.front().at(0) == "1";
  const std::string wantedKey = Utf16ToUtf8(product.strings.registryKey);
  std::vector<std::string> missing;
  std::set<std::string> writtenUnder;
  std::string languageValue;
  for (const char* value : {"PathVal", "LanguageVal"}) {
    bool found = false;
    for (const PackageDatabase::Row& row :
         Select(package, "SELECT `Root`, `Key`, `Name`, `Value` FROM `Registry`")) {
      if (row.size() < 4 || Lower(row[2]) != Lower(value)) continue;
      const std::string root = RootName(row[0], perMachine);
      writtenUnder.insert(root + "\\" + row[1]);
      if (root != "HKEY_LOCAL_MACHINE" || KeyForm(row[1]) != KeyForm(wantedKey)) continue;
      found = true;
      if (std::string(value) == "LanguageVal") languageValue = row[3];
    }
    if (!found) missing.push_back(value);
  }
  if (!missing.empty()) {
    std::string under;
    for (const std::string& key : writtenUnder) under += (under.empty() ? "" : " and ") + key;
    diagnostics.Error(where, "does not write " +
                                 (missing.size() == 2 ? "PathVal and LanguageVal" : missing.front()) +
                                 " under HKEY_LOCAL_MACHINE\\" + wantedKey +
                                 ", where the launcher looks (registry_key in product.toml): " +
                                 (under.empty() ? std::string("it writes neither value anywhere")
                                                : "it writes them under " + under));
    return;
  }
  const bool fromTransforms = languageValue.find("[LANGUAGEVAL]") != std::string::npos ||
                              languageValue.find("[ProductLanguage]") != std::string::npos;
  if (plan.configuredIds.size() > 1 && !fromTransforms) {
    diagnostics.Warning(where, "writes LanguageVal as \"" + languageValue +
                                   "\", not from [LANGUAGEVAL], which each language transform "
                                   "sets: the language a player installed in would not be "
                                   "remembered");
  }
}

void CheckGameExe(PackageDatabase& package, const std::string& where,
                  const ProductDefinition& product, Diagnostics& diagnostics) {
  const std::string gameExe = Utf16ToUtf8(product.strings.gameExe);
  const std::string fileName = Lower(gameExe.substr(gameExe.find_last_of("\\/") + 1));
  if (fileName.empty()) return;
  for (const PackageDatabase::Row& row : Select(package, "SELECT `FileName` FROM `File`")) {
    // "SHORT~1.EXE|Long name.exe", or one name.
    const std::string& names = row.at(0);
    if (Lower(names.substr(names.find('|') + 1)) == fileName) return;
  }
  diagnostics.Warning(where, "installs no file named as game_exe \"" + gameExe +
                                 "\" is: Play would find nothing to start");
}

// Uninstall opens the package on the installed game: it must then offer a
// Remove (a maintenance dialog) or remove the game by itself.
void CheckRemoval(PackageDatabase& package, const std::string& where, Diagnostics& diagnostics) {
  for (const PackageDatabase::Row& row : Select(package, "SELECT `Event` FROM `ControlEvent`")) {
    if (row.at(0) == "Remove") return;
  }
  for (const PackageDatabase::Row& row :
       Select(package, "SELECT `Type`, `Source`, `Target` FROM `CustomAction`")) {
    const bool setsProperty = (std::atoi(row.at(0).c_str()) & 0x3F) == 51;
    if (setsProperty && Lower(row.at(1)) == "remove" && Lower(row.at(2)) == "all") return;
  }
  diagnostics.Warning(where,
                      "has no maintenance dialog with a Remove and does not set REMOVE=ALL when "
                      "the game is installed: Uninstall, which opens the package again, cannot "
                      "remove the game (see the package/game.wxs of disc-launcher new)");
}

}  // namespace

void CheckPackage(const std::filesystem::path& package, const ProductDefinition& product,
                  const LanguagePlan& plan, Diagnostics& diagnostics) {
  const std::string where = package.string();
  const std::unique_ptr<PackageDatabase> database = PackageDatabase::Open(package);
  if (!database) {
    // Only a package the language list needs transforms of must be read.
    const std::string message = "cannot be read as a Windows Installer database, so it cannot be "
                                "checked against the product";
    if (!plan.neededTransforms.empty() && !product.missingTransformsWarn)
      diagnostics.Error(where, message);
    else
      diagnostics.Warning(where, message);
    return;
  }
  std::set<std::string> storages;
  for (const PackageDatabase::Row& row : Select(*database, "SELECT `Name` FROM `_Storages`"))
    storages.insert(row.at(0));
  CheckTransforms(storages, where, plan, product.missingTransformsWarn,
                  product.directory.string(), diagnostics);
  CheckRegistry(*database, where, product, plan, diagnostics);
  CheckGameExe(*database, where, product, diagnostics);
  CheckRemoval(*database, where, diagnostics);
}
