#include "exe/product_resources.h"

#include <fstream>
#include <iterator>
#include <map>

#include "exe/image_resources.h"
#include "exe/res_file.h"
#include "exe/string_table.h"
#include "install/payload_checksum.h"
#include "product/payload_files.h"
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
  std::vector<ArtFile> art;
  for (const fs::path& path : backgroundPaths) {
    if (std::optional<Bytes> bmp = ReadFile(path, diagnostics))
      art.push_back({std::move(*bmp), path.string()});
  }
  const std::optional<Bytes> ico = ReadFile(iconPath, diagnostics);
  if (art.size() != backgroundPaths.size() || !ico) return std::nullopt;
  std::optional<std::vector<Bytes>> bitmaps = BackgroundResources(art, diagnostics);
  std::optional<IconResources> icons = IconResourcesFromIco(*ico, iconPath.string(), diagnostics);
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

void AddCommon(const CommonResources& common, const ProductDefinition& product,
               const char16_t* fileName, ResFileWriter& res) {
  for (size_t index = 0; index < common.bitmaps.size(); ++index) {
    res.Add(kTypeBitmap, static_cast<uint16_t>(IDB_BACKGROUND + index), kLanguageEnglishUk,
            common.bitmaps[index]);
  }
  for (size_t index = 0; index < common.icons.images.size(); ++index) {
    res.Add(kTypeIcon, static_cast<uint16_t>(index + 1), kLanguageEnglishUk,
            common.icons.images[index]);
  }
  res.Add(kTypeGroupIcon, IDI_APP, kLanguageEnglishUk, common.icons.group);
  for (const auto& [blockId, block] : common.stringBlocks) {
    res.Add(kTypeString, blockId, kLanguageEnglishUk, block);
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
    res.Add(kTypeVersion, 1, kLanguageEnglishUk, EncodeVersionInfo(info));
  }
}

bool Finish(ResFileWriter& res, Diagnostics& diagnostics) {
  if (res.Finish()) return true;
  diagnostics.Error(res.Error(), "the resource file could not be written");
  return false;
}

void CheckDisc(const ProductDefinition& product, bool hasPayload, Diagnostics& diagnostics) {
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
  if (!fs::exists(disc / fs::u8path(Utf16ToUtf8(product.strings.packageName)), error)) {
    diagnostics.Warning(where, "does not hold the package \"" +
                                   Utf16ToUtf8(product.strings.packageName) +
                                   "\"; Install on the disc will not find it" +
                                   (hasPayload ? " (it is only in the installer exe)" : ""));
  }
}

}  // namespace

bool WriteProductResources(const ProductDefinition& product, const ResourceInputs& inputs,
                           const fs::path& outDir, Diagnostics& diagnostics,
                           InstallerPayload* installerPayload) {
  std::vector<PayloadFile> payload;
  if (product.payload) {
    const std::string where = product.tomlPath.string() + ": payload";
    payload = CollectPayloadFiles(*product.payload, diagnostics);
    if (!diagnostics.HasErrors()) {
      CheckPayload(payload, Utf16ToUtf8(product.strings.packageName), where, diagnostics);
    }
  }
  if (product.disc) CheckDisc(product, product.payload.has_value(), diagnostics);
  const std::optional<CommonResources> common = PrepareCommon(product, inputs, diagnostics);
  if (!common || diagnostics.HasErrors()) return false;

  ResFileWriter autorun(outDir / "autorun.res", &inputs.baseRes);
  AddCommon(*common, product, u"Autorun.exe", autorun);
  if (!Finish(autorun, diagnostics)) return false;
  if (!product.payload) return true;

  ResFileWriter installer(outDir / "installer.res", &inputs.baseRes);
  AddCommon(*common, product, u"Installer.exe", installer);
  const std::vector<uint8_t> manifest = EncodePayloadManifest(payload);
  installer.Add(kTypeRcData, IDR_PAYLOAD_MANIFEST, kLanguageEnglishUk, manifest);
  if (installerPayload != nullptr) {
    PayloadChecksum manifestChecksum;
    manifestChecksum.Add(manifest.data(), manifest.size() - 1);  // not its NUL
    installerPayload->files = payload;
    installerPayload->manifestChecksum = manifestChecksum.Value();
    installerPayload->volumeSize = product.volumeSize;
    installerPayload->signatureRoom = product.signing ? kSignatureRoom : 0;
    installerPayload->volumeSizeField = product.tomlPath.string() + ": volume_size";
  } else {
    uint16_t id = IDR_PAYLOAD_FIRST;
    for (const PayloadFile& file : payload)
      installer.AddFile(kTypeRcData, id++, kLanguageEnglishUk, file.source, file.size);
  }
  return Finish(installer, diagnostics);
}
