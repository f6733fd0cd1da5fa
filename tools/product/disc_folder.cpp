#include "product/disc_folder.h"

#include "localization/config_tokens.h"
#include "localization/document_countries.h"
#include "product/language_plan.h"

namespace fs = std::filesystem;

void CheckDiscFolder(const ProductDefinition& product, Diagnostics& diagnostics) {
  if (!product.disc) return;
  const fs::path& disc = *product.disc;
  const std::string where = product.tomlPath.string() + ": disc";
  std::error_code error;
  for (const char* generated : {"Autorun.exe", "autorun.inf"}) {
    if (fs::exists(disc / generated, error)) {
      diagnostics.Warning(where,
                          (disc / generated).string() + " is replaced by the one the build makes");
    }
  }
  // The launcher opens the package relative to the disc's root.
  const std::string packageName = Utf16ToUtf8(product.strings.packageName);
  if (!fs::exists(disc / fs::u8path(packageName), error)) {
    diagnostics.Warning(where, "does not hold the package \"" + packageName +
                                   "\"; Install on the disc will not find it" +
                                   (product.payload ? " (it is only in the installer exe)" : ""));
  }
  for (const WString& token : SplitTokens(product.strings.languageIds)) {
    const int32_t lcid = ConvertLcidToken(token);
    const std::string language = DescribeLanguage(lcid);
    const WChar* country = DocumentCountryOf(lcid);
    if (country == nullptr) {
      diagnostics.Warning(where, language + " has no documentation folder of its own: View "
                                            "Readme opens nothing in it before the game is installed");
    } else if (!fs::is_directory(disc / "Docs" / Utf16ToUtf8(country), error)) {
      diagnostics.Warning(where, (disc / "Docs" / Utf16ToUtf8(country)).string() + "/ is missing: View Readme in " + language +
                                     " opens nothing before the game is installed");
    }
  }
}
