#include "command/product_files.h"

#include "product/disc_folder.h"
#include "product/package_checks.h"

namespace fs = std::filesystem;

namespace {

// The packages the build places: at the payload's root and at the disc's.
void CheckPackages(const ProductDefinition& product, const LanguagePlan& plan,
                   Diagnostics& diagnostics) {
  const fs::path packageName = fs::u8path(Utf16ToUtf8(product.strings.packageName));
  for (const auto& folder : {product.payload, product.disc}) {
    std::error_code error;
    if (folder && !packageName.empty() && fs::is_regular_file(*folder / packageName, error))
      CheckPackage(*folder / packageName, product, plan, diagnostics);
  }
}

// The path made absolute, or left as it is when the working folder is gone.
fs::path Absolute(const fs::path& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return error ? path : absolute;
}

InstallerPayload PayloadOf(const ProductDefinition& product, std::vector<PayloadFile> files) {
  InstallerPayload payload;
  payload.files = std::move(files);
  payload.volumeSize = product.volumeSize;
  payload.signatureRoom = product.signing ? kSignatureRoom : 0;
  payload.payloadField = product.tomlPath.string() + ": payload";
  payload.volumeSizeField = product.tomlPath.string() + ": volume_size";
  return payload;
}

}  // namespace

std::optional<PreparedProduct> PrepareProduct(const fs::path& productDir, const ResourceInputs& inputs,
                                              bool checkOnly, Diagnostics& diagnostics) {
  // Every check runs, whatever an earlier one found, so that one run names
  // every mistake; only a product.toml that cannot be read stops them.
  const std::optional<ProductDefinition> product =
      ReadProductDefinition(productDir, diagnostics, checkOnly);
  if (!product) return std::nullopt;
  PreparedProduct prepared;
  prepared.languages = PlanLanguages(product->strings.languageIds);
  CheckPackages(*product, prepared.languages, diagnostics);
  if (product->payload) {
    const size_t errorsBefore = diagnostics.ErrorCount();
    std::vector<PayloadFile> files = CollectPayloadFiles(*product->payload, product->directory, diagnostics);
    if (diagnostics.ErrorCount() == errorsBefore) {
      CheckPayload(files, Utf16ToUtf8(product->strings.packageName),
                   product->tomlPath.string() + ": payload", diagnostics);
    }
    prepared.payload = PayloadOf(*product, std::move(files));
  }
  CheckDiscFolder(*product, diagnostics);
  std::optional<ExeResources> resources = MakeExeResources(*product, inputs, diagnostics);
  if (!resources || diagnostics.HasErrors()) return std::nullopt;
  prepared.resources = std::move(*resources);

  if (product->disc) prepared.discFolder = Absolute(*product->disc);
  if (product->payload) prepared.payloadFolder = Absolute(*product->payload);
  prepared.discLabel = product->discLabel;
  prepared.signing = product->signing;
  if (prepared.signing && prepared.signing->pkcs12)
    prepared.signing->pkcs12 = Absolute(*prepared.signing->pkcs12);
  return prepared;
}
