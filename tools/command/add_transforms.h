// disc-launcher transforms: gives a product's package the language
// transforms its language list needs, in every copy of it in the product
// folder (the payload's and the disc's).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/diagnostics.h"

// A transform made elsewhere (by WiX from localized packages, say), stored
// as the transform of `culture`.
struct GivenTransform {
  std::string culture;  // "fr-fr"
  std::filesystem::path file;
};

// For each language after the first that has no transform yet, stores one
// made here (it sets ProductLanguage and LANGUAGEVAL to the language's
// LCID), or the given one; sets the package's summary languages. A package
// that needs nothing is left untouched, byte for byte. `done` gets one line
// per package saying what was stored. False, with every problem reported,
// when a package could not be read or written.
bool AddTransforms(const std::filesystem::path& productDir, const std::vector<GivenTransform>& given,
                   std::vector<std::string>* done, Diagnostics& diagnostics);
