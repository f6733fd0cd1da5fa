// A publisher's background art: any bytes read as a BMP file.
#include <algorithm>

#include "resources/image_resources.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Bytes file(data, data + size);
  Diagnostics diagnostics;
  const std::optional<Bytes> bitmap = BitmapResourceFromBmp(file, "art.bmp", diagnostics);
  CheckReadOrRefused(bitmap, diagnostics, "art.bmp");
  if (!bitmap) return 0;

  // The resource is the file less its 14-byte header and any gap before the
  // pixels, and begins with the information header.
  FUZZ_CHECK(bitmap->size() >= 40 && bitmap->size() <= size - 14);
  FUZZ_CHECK(std::equal(bitmap->begin(), bitmap->begin() + 40, file.begin() + 14));
  return 0;
}
