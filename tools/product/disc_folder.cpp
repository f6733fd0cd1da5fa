#include "product/disc_folder.h"

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
}
