#include "resources/product_resources.h"

#include <fstream>
#include <iterator>
#include <map>

#include "resources/image_resources.h"
#include "resources/string_table.h"
#include "resources/version_info.h"
#include "resource_ids.h"

namespace fs = std::filesystem;

namespace {

std::optional<Bytes> ReadFile(const fs::path& path, Diagnostics& diagnostics) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    diagnostics.Error(path.string(), "cannot be read");
    return std::nullopt;
  }
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Everything both exes carry beside the dialogs: art, icon, string table
// and version.
struct CommonResources {
  std::vector<Bytes> bitmaps;  // the art's sizes, smallest first
  IconResources icons;
  std::map<uint16_t, Bytes> stringBlocks;
};

std::optional<CommonResources> PrepareCommon(const ProductDefinition& product,
                                             const ResourceInputs& inputs,
                                             Diagnostics& diagnostics) {
  CommonResources common;
  const std::vector<fs::path>& backgroundPaths =
      product.backgrounds.empty() ? inputs.defaultBackgrounds : product.backgrounds;
  const fs::path iconPath = product.icon.value_or(inputs.defaultIcon);
  // A product's own art is named with its field; our default art by its path.
  const auto where = [&](const char* field, const fs::path& path, bool own) {
    return own ? product.tomlPath.string() + ": " + field + ": " + path.string() : path.string();
  };
  std::vector<ArtFile> art;
  for (const fs::path& path : backgroundPaths) {
    if (std::optional<Bytes> bmp = ReadFile(path, diagnostics))
      art.push_back({std::move(*bmp), where("background", path, !product.backgrounds.empty())});
  }
  const std::optional<Bytes> ico = ReadFile(iconPath, diagnostics);
  if (art.size() != backgroundPaths.size() || !ico) return std::nullopt;
  std::optional<std::vector<Bytes>> bitmaps = BackgroundResources(art, diagnostics);
  std::optional<IconResources> icons =
      IconResourcesFromIco(*ico, where("icon", iconPath, product.icon.has_value()), diagnostics);
  if (!bitmaps || !icons) return std::nullopt;
  common.bitmaps = std::move(*bitmaps);
  common.icons = std::move(*icons);

  std::map<uint16_t, WString> strings;
  for (const ConfigurationString& entry : ListConfigurationStrings(product.strings)) {
    strings[static_cast<uint16_t>(entry.resourceId)] = *entry.value;
  }
  common.stringBlocks = EncodeStringTable(strings);
  return common;
}

// The base resources and the common ones, with the version naming
// `fileName`.
std::vector<Resource> ExeResourceList(const CommonResources& common, const ProductDefinition& product,
                                      const ResourceInputs& inputs, const char16_t* fileName) {
  std::vector<Resource> resources = inputs.base;
  for (size_t index = 0; index < common.bitmaps.size(); ++index) {
    resources.push_back(NumberedResource(
        kTypeBitmap, static_cast<uint16_t>(IDB_BACKGROUND + index), common.bitmaps[index]));
  }
  for (size_t index = 0; index < common.icons.images.size(); ++index) {
    resources.push_back(NumberedResource(kTypeIcon, static_cast<uint16_t>(index + 1),
                                         common.icons.images[index]));
  }
  resources.push_back(NumberedResource(kTypeGroupIcon, IDI_APP, common.icons.group));
  for (const auto& [blockId, block] : common.stringBlocks) {
    resources.push_back(NumberedResource(kTypeString, blockId, block));
  }
  if (product.version || !product.company.empty()) {
    VersionInfo info;
    if (product.version) {
      info.version = *product.version;
      info.versionText = Utf8ToUtf16(product.versionText);
    }
    info.company = Utf8ToUtf16(product.company);
    info.productName = product.FirstProductName();
    info.fileName = fileName;
    resources.push_back(NumberedResource(kTypeVersion, 1, EncodeVersionInfo(info)));
  }
  return resources;
}

}  // namespace

std::optional<ExeResources> MakeExeResources(const ProductDefinition& product,
                                             const ResourceInputs& inputs,
                                             Diagnostics& diagnostics) {
  const std::optional<CommonResources> common = PrepareCommon(product, inputs, diagnostics);
  if (!common) return std::nullopt;
  ExeResources resources;
  resources.autorun = ExeResourceList(*common, product, inputs, u"Autorun.exe");
  if (product.payload) resources.installer = ExeResourceList(*common, product, inputs, u"Installer.exe");
  return resources;
}
