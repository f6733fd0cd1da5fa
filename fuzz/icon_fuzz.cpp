// A publisher's icon: any bytes read as an ICO file.
#include "resources/image_resources.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Bytes file(data, data + size);
  Diagnostics diagnostics;
  const std::optional<IconResources> icons = IconResourcesFromIco(file, "app.ico", diagnostics);
  CheckReadOrRefused(icons, diagnostics, "app.ico");
  if (!icons) return 0;

  // One group entry of 14 bytes per image after the 6-byte header, and every
  // image a non-empty piece of the file.
  const size_t count = icons->images.size();
  FUZZ_CHECK(count > 0 && count == size_t{file[4]} + (size_t{file[5]} << 8));
  FUZZ_CHECK(icons->group.size() == 6 + 14 * count);
  for (const Bytes& image : icons->images) FUZZ_CHECK(!image.empty() && image.size() <= size);
  return 0;
}
