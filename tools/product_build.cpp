#include "product_build.h"

#include <fstream>

#include "build_report.h"
#include "package_transforms.h"
#include "payload_files.h"
#include "product_definition.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kWorkFiles[] = {"autorun.res",    "installer.res", "disc-folder.txt",
                                      "disc-label.txt", "signing.txt",   "product-report.json"};

bool WriteText(const fs::path& path, const std::string& text, Diagnostics& diagnostics) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  if (file) return true;
  diagnostics.Error(path.string(), "cannot be written");
  return false;
}

std::string SigningText(const SigningSettings& signing) {
  std::string text;
  if (signing.pkcs12) {
    text = "pkcs12\n" + fs::absolute(*signing.pkcs12).string() + "\n" + signing.passwordEnv + "\n" +
           signing.timestampUrl + "\n";
  } else {
    text = "command\n";
    for (const std::string& argument : signing.command) text += argument + "\n";
  }
  return text;
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

bool BuildProductFiles(const fs::path& productDir, const fs::path& workDir,
                       const ResourceInputs& inputs, bool checkOnly, Diagnostics& diagnostics) {
  std::error_code error;
  if (!checkOnly)
    for (const char* stale : kWorkFiles) fs::remove(workDir / stale, error);

  const std::optional<ProductDefinition> product =
      LoadProductDefinition(productDir, diagnostics, checkOnly);
  if (!product) return false;
  const LanguagePlan plan = PlanLanguages(product->strings.languageIds);
  CheckPackages(*product, plan, diagnostics);
  if (checkOnly) {
    // The resources are made and dropped again, for the checks of the art,
    // the icon and the payload that go with making them; WORK_DIR is then
    // a scratch folder of the caller's.
    WriteProductResources(*product, inputs, workDir, diagnostics);
    for (const char* made : kWorkFiles) fs::remove(workDir / made, error);
    return !diagnostics.HasErrors();
  }
  bool ok =
      !diagnostics.HasErrors() && WriteProductResources(*product, inputs, workDir, diagnostics);
  if (ok && product->disc)
    ok = WriteText(workDir / "disc-folder.txt", fs::absolute(*product->disc).string() + "\n",
                   diagnostics);
  if (ok && !product->discLabel.empty())
    ok = WriteText(workDir / "disc-label.txt", product->discLabel + "\n", diagnostics);
  if (ok && product->signing)
    ok = WriteText(workDir / "signing.txt", SigningText(*product->signing), diagnostics);
  if (ok) {
    Diagnostics quiet;  // the payload's problems were reported while writing it
    const std::vector<PayloadFile> payload = product->payload
                                                 ? CollectPayloadFiles(*product->payload, quiet)
                                                 : std::vector<PayloadFile>();
    ok = WriteText(workDir / "product-report.json",
                   ProductReportJson(plan, payload, diagnostics) + "\n", diagnostics);
  }
  if (!ok) {
    for (const char* partial : kWorkFiles) fs::remove(workDir / partial, error);
  }
  return ok;
}
