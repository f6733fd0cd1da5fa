// The seven configuration strings a product's exe carries in its string
// table (ids 144 to 150), and the checks on them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "localization/config_tokens.h"
#include "platform/text.h"
#include "base/diagnostics.h"

struct ConfigurationStrings {
  WString languageIds;
  WString registryKey;
  WString instanceMutex;
  WString productNames;
  WString packageName;
  WString gameExe;
  WString websiteUrl;
};

// One string with its resource id and its product.toml key.
struct ConfigurationString {
  int resourceId;
  const char* key;
  const WString* value;
};
std::vector<ConfigurationString> ListConfigurationStrings(const ConfigurationStrings& strings);

// True for a GUID written as 36 characters: groups of 8, 4, 4, 4 and 12
// upper-case hexadecimal digits joined by hyphens.
bool IsUpperCaseGuid(WStringView text);

// Refuses what cannot be built and warns about what the program tolerates
// but is probably a mistake. `tomlPath` names product.toml in the messages.
void CheckConfigurationStrings(const ConfigurationStrings& strings, const std::string& tomlPath,
                               Diagnostics& diagnostics);
