// The payload manifest as a downloaded exe may carry it: any bytes.
#include <algorithm>

#include "fuzz_check.h"
#include "install/payload_manifest.h"

namespace {

bool IsSeparator(WChar unit) { return unit == u'\\' || unit == u'/'; }

// How many folders above the workspace `name` reaches at its deepest, taking
// every component of only dots and blanks with two dots or more as a step
// up, as Windows may (it drops trailing dots and blanks).
int StepsAboveWorkspace(const WString& name) {
  int depth = 0;
  int lowest = 0;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const WString part = name.substr(start, end - start);
    const bool onlyDotsAndBlanks = part.find_first_not_of(u". ") == WString::npos;
    const size_t dots = static_cast<size_t>(std::count(part.begin(), part.end(), u'.'));
    if (onlyDotsAndBlanks && dots >= 2) {
      --depth;
    } else if (!part.empty() && !(onlyDotsAndBlanks && dots == 1)) {
      ++depth;
    }
    if (depth < lowest) lowest = depth;
    start = end + 1;
  }
  return -lowest;
}

}  // namespace

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

    if (StaysInsideWorkspace(item)) {
      FUZZ_CHECK(!IsSeparator(item.front()));
      FUZZ_CHECK(item.find(u':') == WString::npos);
      FUZZ_CHECK(StepsAboveWorkspace(item) == 0);
    }
  }
  return 0;
}
