#include "command/product_files.h"

#include "product/package_transforms.h"
#include "product/payload_files.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kResourceFiles[] = {"autorun.res", "installer.res"};

void RemoveResourceFiles(const fs::path& workDir) {
  std::error_code error;
  for (const char* file : kResourceFiles) fs::remove(workDir / file, error);
}

// The packages the build places: at the payload's root and at the disc's.
void CheckPackages(const ProductDefinition& product, const LanguagePlan& plan,
                   Diagnostics& diagnostics) {
  const fs::path packageName = fs::u8path(Utf16ToUtf8(product.strings.packageName));
  for (const auto& folder : {product.payload, product.disc}) {
    std::error_code error;
    if (folder && !packageName.empty() && fs::is_regular_file(*folder / packageName, error))
      CheckPackageTransforms(*folder / packageName, plan, product.missingTransformsWarn,
                             diagnostics);
  }
}

}  // namespace

std::optional<PreparedProduct> PrepareProduct(const fs::path& productDir, const fs::path& workDir,
                                              const ResourceInputs& inputs, bool checkOnly,
                                              Diagnostics& diagnostics) {
  RemoveResourceFiles(workDir);
  const std::optional<ProductDefinition> product =
      LoadProductDefinition(productDir, diagnostics, checkOnly);
  if (!product) return std::nullopt;
  const LanguagePlan plan = PlanLanguages(product->strings.languageIds);
  CheckPackages(*product, plan, diagnostics);

  PreparedProduct prepared;
  // With checkOnly the resources are made and dropped again, for the checks
  // of the art, the icon and the payload that go with making them; WORK_DIR
  // is then a scratch folder of the caller's.
  const bool written =
      !diagnostics.HasErrors() &&
      WriteProductResources(*product, inputs, workDir, diagnostics, &prepared.payload);
  if (!written || checkOnly) {
    RemoveResourceFiles(workDir);
    if (!written || diagnostics.HasErrors()) return std::nullopt;
  }
  prepared.hasInstaller = product->payload.has_value();
  if (product->disc) prepared.discFolder = fs::absolute(*product->disc);
  if (product->payload) prepared.payloadFolder = fs::absolute(*product->payload);
  prepared.discLabel = product->discLabel;
  prepared.signing = product->signing;
  if (prepared.signing && prepared.signing->pkcs12)
    prepared.signing->pkcs12 = fs::absolute(*prepared.signing->pkcs12);
  Diagnostics quiet;  // the payload's problems were reported while writing it
  const std::vector<PayloadFile> payload =
      product->payload ? CollectPayloadFiles(*product->payload, quiet) : std::vector<PayloadFile>();
  prepared.report = ProductReport(plan, payload, diagnostics);
  return prepared;
}
