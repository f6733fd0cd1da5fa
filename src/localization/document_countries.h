// Where each language's documents lie on the disc: folders are named by
// country, not by language (Docs\GB\Readme.txt for 2057), so that the
// product tool checks and makes the same folders the launcher opens.
#pragma once

#include <cstdint>

#include "platform/text.h"

struct DocumentCountry {
  int32_t lcid;
  const WChar* code;
};

extern const DocumentCountry kDocumentCountries[18];

// The country code of `lcid`'s folder, or null for an LCID without one.
const WChar* DocumentCountryOf(int32_t lcid);
