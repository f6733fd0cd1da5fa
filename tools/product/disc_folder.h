// The checks of a product's disc folder, whose files go on the disc beside
// the launcher.
#pragma once

#include "base/diagnostics.h"
#include "product/product_definition.h"

// Warns about files the build replaces (Autorun.exe, autorun.inf) and about
// a package the launcher would not find at the disc's root.
void CheckDiscFolder(const ProductDefinition& product, Diagnostics& diagnostics);
