// The payload manifest as a downloaded exe may carry it: any bytes.
#include "fuzz_check.h"
#include "install/payload_manifest.h"
#include "workspace_steps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = ManifestBytes(data, static_cast<uint32_t>(size));
  FUZZ_CHECK(bytes.size() <= size);
  FUZZ_CHECK(bytes.find('\0') == std::string_view::npos);

  const std::optional<WString> text = DecodeManifest(bytes);
  if (!text) return 0;
  // Strict decoding keeps every character: encoding it again gives the bytes.
  FUZZ_CHECK(Utf16ToUtf8(*text) == bytes);

  for (const WString& item : ManifestItems(*text)) {
    FUZZ_CHECK(!item.empty() && item.find(u';') == WString::npos);

    WString joined;
    for (const WString& part : SplitPathParts(item)) joined += part + u"\\";
    FUZZ_CHECK(joined == item + u"\\");

    if (StaysInsideWorkspace(item)) CheckLandsInsideWorkspace(item);
  }
  return 0;
}
