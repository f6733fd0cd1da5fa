#include "product_definition.h"

#include <fstream>
#include <iterator>
#include <limits>
#include <set>

#define TOML_EXCEPTIONS 0  // parse errors come back as values
#include <toml++/toml.h>

#include "toml_text.h"

namespace fs = std::filesystem;

namespace {

class TomlReader {
 public:
  TomlReader(const toml::table& table, std::string tomlPath, Diagnostics& diagnostics)
      : table_(table), tomlPath_(std::move(tomlPath)), diagnostics_(diagnostics) {}

  std::string Where(const std::string& key) const { return tomlPath_ + ": " + key; }
  void Error(const std::string& key, const std::string& message) {
    diagnostics_.Error(Where(key), message);
  }

  // A string stored verbatim.
  std::optional<WString> RequiredString(const char* key) {
    const toml::node* node = table_.get(key);
    if (node == nullptr) {
      Error(key, "is missing");
      return std::nullopt;
    }
    if (const auto* text = node->as_string()) return Utf8ToUtf16(text->get());
    Error(key, "must be a string");
    return std::nullopt;
  }

  std::optional<std::string> OptionalString(const char* key) {
    const toml::node* node = table_.get(key);
    if (node == nullptr) return std::nullopt;
    if (const auto* text = node->as_string()) return text->get();
    Error(key, "must be a string");
    return std::nullopt;
  }

  // A string, or an array from which the ";"-terminated text is made:
  // integers for language_ids, strings for product_names.
  std::optional<WString> ListText(const char* key, bool integers) {
    const toml::node* node = table_.get(key);
    if (node == nullptr || node->is_string()) return RequiredString(key);
    const auto* array = node->as_array();
    if (array == nullptr) {
      Error(key, integers ? "must be a string or an array of integers"
                          : "must be a string or an array of strings");
      return std::nullopt;
    }
    WString text;
    for (size_t index = 0; index < array->size(); ++index) {
      const toml::node& item = *array->get(index);
      const std::string itemWhere = key + ("[" + std::to_string(index) + "]");
      if (integers) {
        const auto* number = item.as_integer();
        if (number == nullptr || number->get() < 0 ||
            number->get() > std::numeric_limits<int32_t>::max()) {
          Error(itemWhere, "must be an LCID, an integer from 0 to 2147483647");
          return std::nullopt;
        }
        text += Utf8ToUtf16(std::to_string(number->get()));
      } else {
        const auto* name = item.as_string();
        if (name == nullptr) {
          Error(itemWhere, "must be a string");
          return std::nullopt;
        }
        if (name->get().find(';') != std::string::npos) {
          Error(itemWhere, "holds \";\", which ends a name in the list");
          return std::nullopt;
        }
        text += Utf8ToUtf16(name->get());
      }
      text += u';';
    }
    return text;
  }

  // A path relative to the product folder, that must exist as a file or
  // as a folder.
  std::optional<fs::path> OptionalPath(const char* key, const fs::path& directory,
                                       bool wantFolder) {
    const std::optional<std::string> text = OptionalString(key);
    if (!text) return std::nullopt;
    const fs::path path = directory / fs::u8path(*text);
    std::error_code error;
    const bool ok = wantFolder ? fs::is_directory(path, error) : fs::is_regular_file(path, error);
    if (!ok) {
      Error(key, path.string() + (wantFolder ? " is not a folder" : " is not a file"));
      return std::nullopt;
    }
    return path;
  }

 private:
  const toml::table& table_;
  std::string tomlPath_;
  Diagnostics& diagnostics_;
};

const std::set<std::string> kKnownKeys = {
    "language_ids", "registry_key", "instance_mutex", "product_names", "package_name",
    "game_exe",     "website_url",  "background",     "icon",          "payload",
    "disc",         "version",      "company"};

}  // namespace

WString ProductDefinition::FirstProductName() const {
  const WString& names = strings.productNames;
  return names.substr(0, names.find(u';'));
}

std::optional<ProductDefinition> LoadProductDefinition(const fs::path& directory,
                                                       Diagnostics& diagnostics) {
  ProductDefinition product;
  product.directory = directory;
  product.tomlPath = directory / "product.toml";
  const std::string tomlShown = product.tomlPath.string();

  std::error_code existsError;
  if (!fs::is_regular_file(product.tomlPath, existsError)) {
    diagnostics.Error(tomlShown, "is missing: a product folder holds a product.toml");
    return std::nullopt;
  }
  std::ifstream tomlFile(product.tomlPath, std::ios::binary);
  const std::string tomlBytes((std::istreambuf_iterator<char>(tomlFile)),
                              std::istreambuf_iterator<char>());
  std::string refusal;
  const std::optional<std::string> tomlText = EscapeForTomlParser(tomlBytes, &refusal);
  if (!tomlText) {
    const size_t split = refusal.find(": ");
    diagnostics.Error(tomlShown + ":" + refusal.substr(0, split), refusal.substr(split + 2));
    return std::nullopt;
  }
  toml::parse_result parsed = toml::parse(*tomlText, tomlShown);
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    diagnostics.Error(tomlShown + ":" + std::to_string(error.source().begin.line) + ":" +
                          std::to_string(error.source().begin.column),
                      std::string(error.description()));
    return std::nullopt;
  }
  const toml::table& table = parsed.table();
  TomlReader reader(table, tomlShown, diagnostics);

  for (const auto& [key, value] : table) {
    if (kKnownKeys.count(std::string(key.str())) == 0) {
      diagnostics.Warning(reader.Where(std::string(key.str())),
                          "is not a known key and is ignored");
    }
  }

  ConfigurationStrings& strings = product.strings;
  bool complete = true;
  const auto take = [&](std::optional<WString> value, WString& field) {
    if (value)
      field = std::move(*value);
    else
      complete = false;
  };
  take(reader.ListText("language_ids", true), strings.languageIds);
  take(reader.RequiredString("registry_key"), strings.registryKey);
  take(reader.RequiredString("instance_mutex"), strings.instanceMutex);
  take(reader.ListText("product_names", false), strings.productNames);
  take(reader.RequiredString("package_name"), strings.packageName);
  take(reader.RequiredString("game_exe"), strings.gameExe);
  take(reader.RequiredString("website_url"), strings.websiteUrl);
  if (complete) CheckConfigurationStrings(strings, tomlShown, diagnostics);

  product.background = reader.OptionalPath("background", directory, false);
  product.icon = reader.OptionalPath("icon", directory, false);
  product.payload = reader.OptionalPath("payload", directory, true);
  product.disc = reader.OptionalPath("disc", directory, true);
  if (auto version = reader.OptionalString("version")) {
    product.version = ParseVersion(*version);
    product.versionText = *version;
    if (!product.version) {
      reader.Error("version", "\"" + *version +
                                  "\" is not a version of one to four numbers from 0 to 65535 "
                                  "joined by full stops, such as \"1.2.0.0\"");
    }
  }
  if (auto company = reader.OptionalString("company")) product.company = *company;

  if (diagnostics.HasErrors()) return std::nullopt;
  return product;
}
