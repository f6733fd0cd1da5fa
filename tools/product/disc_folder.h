// The checks of a product's disc folder, whose files go on the disc beside
// the launcher.
#pragma once

#include "base/diagnostics.h"
#include "product/product_definition.h"

// Warns about files the build replaces (Autorun.exe, autorun.inf), about a
// package the launcher would not find at the disc's root, and about an
// offered language without the documentation folder View Readme opens
// before the game is installed (Docs/<country>/).
void CheckDiscFolder(const ProductDefinition& product, Diagnostics& diagnostics);
