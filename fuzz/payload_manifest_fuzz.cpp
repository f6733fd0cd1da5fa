// The payload manifest as a downloaded exe may carry it: any bytes.
#include "fuzz_check.h"
#include "payload/item_names.h"
#include "payload/manifest.h"
#include "workspace_steps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = payload::ManifestBytes(data, static_cast<uint32_t>(size));
  FUZZ_CHECK(bytes.size() <= size);
  FUZZ_CHECK(bytes.find('\0') == std::string_view::npos);

  const std::optional<WString> text = payload::DecodeManifest(bytes);
  if (!text) return 0;
  // Strict decoding keeps every character: encoding it again gives the bytes.
  FUZZ_CHECK(Utf16ToUtf8(*text) == bytes);

  const std::vector<WString> items = payload::ManifestItems(*text);
  std::vector<std::string> names;
  for (const WString& item : items) {
    FUZZ_CHECK(!item.empty() && item.find(u';') == WString::npos);

    WString joined;
    for (const WString& part : payload::SplitPathParts(item)) joined += part + u"\\";
    FUZZ_CHECK(joined == item + u"\\");

    if (!payload::ItemNameProblem(item)) CheckLandsInsideWorkspace(item);
    names.push_back(Utf16ToUtf8(item));
  }
  // What the product tool would write for these items reads back as them.
  const std::vector<uint8_t> encoded = payload::EncodeManifest(names);
  const std::optional<WString> again = payload::DecodeManifest(
      payload::ManifestBytes(encoded.data(), static_cast<uint32_t>(encoded.size())));
  FUZZ_CHECK(again && payload::ManifestItems(*again) == items);
  return 0;
}
