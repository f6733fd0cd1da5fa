#include "product_build.h"

#include <fstream>

#include "product_definition.h"

namespace fs = std::filesystem;

bool BuildProductFiles(const fs::path& productDir, const fs::path& workDir,
                       const ResourceInputs& inputs, Diagnostics& diagnostics) {
  std::error_code error;
  for (const char* stale : {"autorun.res", "installer.res", "disc-folder.txt"})
    fs::remove(workDir / stale, error);

  const std::optional<ProductDefinition> product = LoadProductDefinition(productDir, diagnostics);
  bool ok = product && WriteProductResources(*product, inputs, workDir, diagnostics);
  if (ok && product->disc) {
    std::ofstream discFile(workDir / "disc-folder.txt");
    discFile << fs::absolute(*product->disc).string() << "\n";
    ok = static_cast<bool>(discFile);
    if (!ok) diagnostics.Error((workDir / "disc-folder.txt").string(), "cannot be written");
  }
  if (!ok) {
    for (const char* partial : {"autorun.res", "installer.res"})
      fs::remove(workDir / partial, error);
  }
  return ok;
}
