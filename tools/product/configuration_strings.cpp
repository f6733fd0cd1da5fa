#include "product/configuration_strings.h"

#include <cstdint>

#include "localization/catalogue.h"
#include "resource_ids.h"

namespace {

// What LoadStringW can hand the program: the buffer minus its terminator.
constexpr size_t kReadableUnits = 259;
constexpr size_t kReadableProductNameUnits = 2047;
// A string table entry stores its length in 16 bits.
constexpr size_t kStringTableEntryMaxUnits = 0xFFFF;

std::string Quoted(WStringView text) { return "\"" + Utf16ToUtf8(text) + "\""; }

bool IsAsciiDigit(WChar c) { return c >= u'0' && c <= u'9'; }

// True when wcstol finds digits in the token: blanks, then an optional sign,
// then at least one decimal digit.
bool HasLeadingNumber(WStringView token) {
  size_t pos = 0;
  while (pos < token.size() &&
         (token[pos] == u' ' || (token[pos] >= u'\t' && token[pos] <= u'\r'))) {
    ++pos;
  }
  if (pos < token.size() && (token[pos] == u'+' || token[pos] == u'-')) ++pos;
  return pos < token.size() && IsAsciiDigit(token[pos]);
}

bool HasTextAfterLastTerminator(WStringView text) {
  const size_t last = text.rfind(u';');
  return last == WStringView::npos ? !text.empty() : last + 1 < text.size();
}

void CheckLanguageIds(const WString& text, const std::string& where, Diagnostics& diagnostics) {
  const std::vector<WString> tokens = SplitTokens(text);
  if (tokens.empty()) {
    diagnostics.Warning(where, "yields no language: every LCID must be followed by \";\"");
  } else if (HasTextAfterLastTerminator(text)) {
    diagnostics.Warning(where,
                        "the text after the last \";\" is ignored: add \";\" after the last LCID");
  }
  for (const WString& token : tokens) {
    if (!HasLeadingNumber(token)) {
      diagnostics.Warning(where,
                          "the entry " + Quoted(token) + " is not a number and is read as LCID 0");
    } else if (const int32_t lcid = ConvertLcidToken(token); !HasOwnTexts(lcid)) {
      diagnostics.Warning(where, std::to_string(lcid) +
                                     " is not one of the program's languages: its players see "
                                     "the English texts");
    }
  }
}

void CheckProductNames(const ConfigurationStrings& strings, const std::string& where,
                       Diagnostics& diagnostics) {
  const size_t idCount = SplitTokens(strings.languageIds).size();
  const size_t nameCount = SplitTokens(strings.productNames).size();
  if (HasTextAfterLastTerminator(strings.productNames)) {
    diagnostics.Warning(where,
                        "the text after the last \";\" is ignored: add \";\" after the last name");
  }
  if (nameCount < idCount) {
    diagnostics.Warning(where,
                        std::to_string(nameCount) + " names for " + std::to_string(idCount) +
                            " language ids: the languages without a name show an empty title");
  } else if (nameCount > idCount) {
    diagnostics.Warning(where, std::to_string(nameCount) + " names for " + std::to_string(idCount) +
                                   " language ids: the extra names are never shown");
  }
}

}  // namespace

std::vector<ConfigurationString> ListConfigurationStrings(const ConfigurationStrings& strings) {
  return {
      {IDS_LANGUAGE_IDS, "language_ids", &strings.languageIds},
      {IDS_REGISTRY_KEY, "registry_key", &strings.registryKey},
      {IDS_INSTANCE_MUTEX, "instance_mutex", &strings.instanceMutex},
      {IDS_PRODUCT_NAMES, "product_names", &strings.productNames},
      {IDS_PACKAGE_NAME, "package_name", &strings.packageName},
      {IDS_GAME_EXE, "game_exe", &strings.gameExe},
      {IDS_WEBSITE_URL, "website_url", &strings.websiteUrl},
  };
}

bool IsUpperCaseGuid(WStringView text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
    const WChar c = text[i];
    const bool ok = hyphenPlace ? c == u'-' : (IsAsciiDigit(c) || (c >= u'A' && c <= u'F'));
    if (!ok) return false;
  }
  return true;
}

void CheckConfigurationStrings(const ConfigurationStrings& strings, const std::string& tomlPath,
                               Diagnostics& diagnostics) {
  const auto where = [&](const char* key) { return tomlPath + ": " + key; };

  for (const ConfigurationString& entry : ListConfigurationStrings(strings)) {
    const size_t units = entry.value->size();
    const size_t readable =
        entry.resourceId == IDS_PRODUCT_NAMES ? kReadableProductNameUnits : kReadableUnits;
    // The program reads a string up to its first NUL: what follows would be
    // in the exe but never seen, and a list would silently lose entries.
    if (entry.value->find(u'\0') != WString::npos) {
      diagnostics.Error(where(entry.key),
                        "holds a NUL character (\\u0000), which ends the text where the "
                        "program reads it");
    } else if (units > kStringTableEntryMaxUnits) {
      diagnostics.Error(where(entry.key),
                        "is " + std::to_string(units) +
                            " UTF-16 units long; a string resource holds at most 65535");
    } else if (units > readable) {
      diagnostics.Warning(where(entry.key),
                          "is " + std::to_string(units) +
                              " UTF-16 units long; the program reads only the first " +
                              std::to_string(readable));
    }
  }

  if (!IsUpperCaseGuid(strings.instanceMutex)) {
    diagnostics.Error(where("instance_mutex"),
                      Quoted(strings.instanceMutex) +
                          " is not a GUID of 36 characters in upper case without braces, such as "
                          "\"3F2504E0-4F89-41D3-9A0C-0305E82C3301\"");
  }
  CheckLanguageIds(strings.languageIds, where("language_ids"), diagnostics);
  CheckProductNames(strings, where("product_names"), diagnostics);
  if (!strings.registryKey.empty() && strings.registryKey.front() == u'\\') {
    diagnostics.Warning(
        where("registry_key"),
        "starts with a backslash; the key path below HKEY_LOCAL_MACHINE goes without one");
  }
  // The launcher opens the key below HKEY_LOCAL_MACHINE itself.
  const std::string registryKey = Utf16ToUtf8(strings.registryKey);
  for (const char* root : {"HKLM\\", "HKEY_", "HKCU\\", "HKCR\\", "HKU\\"}) {
    if (registryKey.rfind(root, 0) == 0) {
      diagnostics.Error(where("registry_key"),
                        Quoted(strings.registryKey) +
                            " names a root; the launcher looks below HKEY_LOCAL_MACHINE for the "
                            "key without it, such as 'Software\\Studio\\Game'");
      break;
    }
  }
  if (registryKey.find('/') != std::string::npos) {
    diagnostics.Warning(where("registry_key"),
                        "holds \"/\", which the registry takes as part of a key's name, not as "
                        "a separator between keys: write backslashes, in single quotes");
  }
  if (strings.websiteUrl.rfind(u"http://", 0) != 0 && strings.websiteUrl.rfind(u"https://", 0) != 0) {
    diagnostics.Error(where("website_url"),
                      Quoted(strings.websiteUrl) +
                          " is not an http:// or https:// address, which the website button "
                          "opens in the browser");
  }
  if (strings.packageName.empty()) diagnostics.Warning(where("package_name"), "is empty");
  if (strings.gameExe.empty()) diagnostics.Warning(where("game_exe"), "is empty");
}
