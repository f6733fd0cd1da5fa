// The resources of a product's two exes, made in memory: the kit's base
// resources (dialogs and manifest), then the art, the icon, the string
// table and the version. The installer's payload is added when its exe is
// written (installer/installer_exe.h).
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "base/diagnostics.h"
#include "pe/resource.h"
#include "product/product_definition.h"

struct ResourceInputs {
  std::vector<Resource> base;  // the dialogs and the manifest, compiled
  // Our own art in each of its sizes, when the product has none.
  std::vector<std::filesystem::path> defaultBackgrounds;
  std::filesystem::path defaultIcon;
};

struct ExeResources {
  std::vector<Resource> autorun;
  std::vector<Resource> installer;  // made only for a product with a payload
};

// The resources of both exes, or nullopt, with every problem of the art and
// the icon reported, when they cannot be made.
std::optional<ExeResources> MakeExeResources(const ProductDefinition& product,
                                             const ResourceInputs& inputs,
                                             Diagnostics& diagnostics);
