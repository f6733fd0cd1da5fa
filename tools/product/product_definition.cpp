#include "product/product_definition.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>

#define TOML_EXCEPTIONS 0  // parse errors come back as values
#include <toml++/toml.h>

#include "product/outside_paths.h"
#include "product/toml_text.h"

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
    return ExistingPath(key, *text, directory, wantFolder);
  }

  // A file name or an array of them, each relative to the product folder and
  // an existing file; empty when the key is absent or anything is wrong.
  std::vector<fs::path> OptionalFiles(const char* key, const fs::path& directory) {
    const toml::node* node = table_.get(key);
    if (node == nullptr || node->is_string()) {
      std::optional<fs::path> path = OptionalPath(key, directory, false);
      return path ? std::vector<fs::path>{*path} : std::vector<fs::path>{};
    }
    const auto* array = node->as_array();
    if (array == nullptr || array->empty()) {
      Error(key, "must be a file name or a non-empty array of file names");
      return {};
    }
    std::vector<fs::path> paths;
    for (size_t index = 0; index < array->size(); ++index) {
      const std::string itemWhere = key + ("[" + std::to_string(index) + "]");
      const auto* name = array->get(index)->as_string();
      if (name == nullptr) {
        Error(itemWhere, "must be a string");
        continue;
      }
      if (std::optional<fs::path> path = ExistingPath(itemWhere, name->get(), directory, false))
        paths.push_back(*path);
    }
    if (paths.size() != array->size()) paths.clear();
    return paths;
  }

 private:
  std::optional<fs::path> ExistingPath(const std::string& key, const std::string& text,
                                       const fs::path& directory, bool wantFolder) {
    const fs::path path = directory / fs::u8path(text);
    std::error_code error;
    const bool ok = wantFolder ? fs::is_directory(path, error) : fs::is_regular_file(path, error);
    if (!ok) {
      Error(key, path.string() + (wantFolder ? " is not a folder" : " is not a file"));
      return std::nullopt;
    }
    if (LiesOutside(path, directory))
      diagnostics_.Warning(Where(key), path.string() + " lies outside the product folder");
    return path;
  }

  const toml::table& table_;
  std::string tomlPath_;
  Diagnostics& diagnostics_;
};

const std::set<std::string> kKnownKeys = {"language_ids",   "registry_key",
                                          "instance_mutex", "product_names",
                                          "package_name",   "game_exe",
                                          "website_url",    "background",
                                          "icon",           "payload",
                                          "disc",           "version",
                                          "volume_size",
                                          "company",        "missing_transforms",
                                          "disc_label",     "signing"};

const std::set<std::string> kSigningKeys = {"pkcs12", "password_env", "command", "timestamp_url"};

// The edits that turn one text into the other: letters added, dropped,
// changed or swapped with their neighbour.
size_t EditDistance(const std::string& from, const std::string& to) {
  std::vector<std::vector<size_t>> cost(from.size() + 1, std::vector<size_t>(to.size() + 1));
  for (size_t i = 0; i <= from.size(); ++i) cost[i][0] = i;
  for (size_t j = 0; j <= to.size(); ++j) cost[0][j] = j;
  for (size_t i = 1; i <= from.size(); ++i) {
    for (size_t j = 1; j <= to.size(); ++j) {
      cost[i][j] = std::min({cost[i - 1][j] + 1, cost[i][j - 1] + 1,
                             cost[i - 1][j - 1] + (from[i - 1] == to[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && from[i - 1] == to[j - 2] && from[i - 2] == to[j - 1])
        cost[i][j] = std::min(cost[i][j], cost[i - 2][j - 2] + 1);
    }
  }
  return cost[from.size()][to.size()];
}

// An unknown key is an error: a misspelt optional key would otherwise leave
// its setting at its default without a word.
void CheckKnownKey(const std::string& key, const std::set<std::string>& known, TomlReader& reader) {
  if (known.count(key) != 0) return;
  std::string nearest;
  size_t nearestDistance = 3;  // farther than two edits is no longer a misspelling
  for (const std::string& candidate : known) {
    const size_t distance = EditDistance(key, candidate);
    if (distance < nearestDistance && distance < candidate.size()) {
      nearest = candidate;
      nearestDistance = distance;
    }
  }
  reader.Error(key, nearest.empty() ? "is not a known key" : "is not a known key; did you mean " + nearest + "?");
}

// The volume label is stored twice: in the ISO 9660 descriptor (32
// d-characters) and in the Joliet one, which Windows shows (16 UTF-16
// units). A label that fits both is shown alike everywhere.
constexpr size_t kMaxDiscLabel = 16;

bool IsEnvironmentName(const std::string& name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

void CheckDiscLabel(const std::string& label, TomlReader& reader) {
  const bool dCharacters = std::all_of(label.begin(), label.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
  if (label.empty() || label.size() > kMaxDiscLabel) {
    reader.Error("disc_label", "\"" + label + "\" is " + std::to_string(label.size()) +
                                   " characters; a disc label holds 1 to 16 (the Joliet volume "
                                   "name Windows shows; ISO 9660 allows 32)");
  } else if (!dCharacters) {
    reader.Error("disc_label",
                 "\"" + label + "\" may hold only A to Z, 0 to 9 and _ (ISO 9660 d-characters)");
  }
}

std::optional<SigningSettings> ReadSigning(const toml::node* node, const fs::path& directory,
                                           bool checkOnly, TomlReader& reader,
                                           Diagnostics& diagnostics) {
  const toml::table* table = node->as_table();
  if (table == nullptr) {
    reader.Error("signing", "must be a table: [signing]");
    return std::nullopt;
  }
  SigningSettings signing;
  TomlReader inner(*table, reader.Where("signing"), diagnostics);
  for (const auto& [key, value] : *table) CheckKnownKey(std::string(key.str()), kSigningKeys, inner);
  signing.pkcs12 = inner.OptionalPath("pkcs12", directory, false);
  if (auto env = inner.OptionalString("password_env")) signing.passwordEnv = *env;
  if (const toml::node* command = table->get("command")) {
    const toml::array* array = command->as_array();
    bool hasFile = false;
    for (size_t index = 0; array != nullptr && index < array->size(); ++index) {
      const auto* argument = array->get(index)->as_string();
      if (argument == nullptr || argument->get().find('\n') != std::string::npos) {
        array = nullptr;
        break;
      }
      signing.command.push_back(argument->get());
      hasFile = hasFile || argument->get().find("{file}") != std::string::npos;
    }
    if (array == nullptr || signing.command.empty() || !hasFile)
      inner.Error("command",
                  "must be an array of strings, one per argument, one of them holding {file}, "
                  "such as [\"sign-tool\", \"--in\", \"{file}\"]");
    else {
      // The product folder runs a program on the build machine: said
      // aloud, as a makefile's commands are seen.
      std::string line;
      for (const std::string& argument : signing.command) line += (line.empty() ? "" : " ") + argument;
      diagnostics.Warning(inner.Where("command"), "build runs this for each exe: " + line);
    }
  }
  if (auto url = inner.OptionalString("timestamp_url")) {
    signing.timestampUrl = *url;
    if (url->rfind("http://", 0) != 0 && url->rfind("https://", 0) != 0)
      inner.Error("timestamp_url", "\"" + *url + "\" is not an http:// or https:// address");
  }
  const bool hasPkcs12 = table->get("pkcs12") != nullptr;
  const bool hasCommand = table->get("command") != nullptr;
  if (hasPkcs12 == hasCommand) {
    reader.Error("signing", "needs either pkcs12 (with password_env) or command, not both");
  } else if (hasPkcs12) {
    if (!IsEnvironmentName(signing.passwordEnv)) {
      inner.Error("password_env",
                  "must name the environment variable that holds the PKCS#12 "
                  "password, such as \"SIGNING_PASSWORD\"");
    } else if (std::getenv(signing.passwordEnv.c_str()) == nullptr) {
      const std::string message = "the environment variable " + signing.passwordEnv + " is not set";
      if (checkOnly)
        diagnostics.Warning(inner.Where("password_env"), message);
      else
        inner.Error("password_env", message);
    }
  } else if (!signing.timestampUrl.empty()) {
    inner.Error("timestamp_url", "applies to pkcs12 only; a signing command time-stamps by itself");
  }
  return signing;
}

}  // namespace

std::optional<std::array<uint16_t, 4>> ParseVersion(const std::string& text) {
  std::array<uint16_t, 4> parts{};
  size_t count = 0;
  size_t pos = 0;
  while (true) {
    if (count == parts.size()) return std::nullopt;
    uint32_t value = 0;
    size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
      if (value > 0xFFFF) return std::nullopt;
      ++pos, ++digits;
    }
    if (digits == 0) return std::nullopt;
    parts[count++] = static_cast<uint16_t>(value);
    if (pos == text.size()) return parts;
    if (text[pos] != '.') return std::nullopt;
    ++pos;
  }
}

WString ProductDefinition::FirstProductName() const {
  const WString& names = strings.productNames;
  return names.substr(0, names.find(u';'));
}

std::optional<ProductDefinition> LoadProductDefinition(const fs::path& directory,
                                                       Diagnostics& diagnostics, bool checkOnly) {
  const size_t errorsBefore = diagnostics.ErrorCount();
  std::optional<ProductDefinition> product =
      ReadProductDefinition(directory, diagnostics, checkOnly);
  if (diagnostics.ErrorCount() > errorsBefore) return std::nullopt;
  return product;
}

std::optional<ProductDefinition> ReadProductDefinition(const fs::path& directory,
                                                       Diagnostics& diagnostics, bool checkOnly) {
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
  const std::optional<std::string> tomlText =
      EscapeForTomlParser(tomlBytes, tomlShown, diagnostics);
  if (!tomlText) return std::nullopt;
  toml::parse_result parsed = toml::parse(*tomlText, tomlShown);
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    std::string description(error.description());
    // Windows paths in double quotes are the usual cause.
    if (description.find("scape") != std::string::npos)
      description += "; a backslash in \"...\" starts an escape: write Windows paths in single "
                     "quotes, such as 'Software\\Studio\\Game'";
    diagnostics.Error(tomlShown + ":" + std::to_string(error.source().begin.line) + ":" +
                          std::to_string(error.source().begin.column),
                      description);
    return std::nullopt;
  }
  const toml::table& table = parsed.table();
  TomlReader reader(table, tomlShown, diagnostics);

  for (const auto& [key, value] : table) CheckKnownKey(std::string(key.str()), kKnownKeys, reader);

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

  product.backgrounds = reader.OptionalFiles("background", directory);
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
  if (const toml::node* volumeSize = table.get("volume_size")) {
    const auto* number = volumeSize->as_integer();
    if (number == nullptr || number->get() < static_cast<int64_t>(kMinVolumeSize) ||
        number->get() > static_cast<int64_t>(kMaxVolumeSize)) {
      reader.Error("volume_size", "must be a number of bytes from " +
                                      std::to_string(kMinVolumeSize) + " to " +
                                      std::to_string(kMaxVolumeSize) +
                                      ", which keeps a signed exe under 4 GiB");
    } else {
      product.volumeSize = static_cast<uint64_t>(number->get());
    }
  }
  if (auto company = reader.OptionalString("company")) product.company = *company;
  if (auto missing = reader.OptionalString("missing_transforms")) {
    product.missingTransformsWarn = *missing == "warning";
    if (*missing != "warning" && *missing != "error")
      reader.Error("missing_transforms", "\"" + *missing + "\" is not \"error\" or \"warning\"");
  }
  if (auto label = reader.OptionalString("disc_label")) {
    product.discLabel = *label;
    CheckDiscLabel(*label, reader);
    if (table.get("disc") == nullptr)
      reader.Error("disc_label", "needs a disc folder: the image is made from it");
  }
  if (const toml::node* signing = table.get("signing"))
    product.signing = ReadSigning(signing, directory, checkOnly, reader, diagnostics);

  return product;
}
