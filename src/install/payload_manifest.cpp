#include "install/payload_manifest.h"

#include <cstring>

namespace {

bool IsSeparator(WChar unit) { return unit == u'\\' || unit == u'/'; }

// Windows drops trailing dots and blanks from a path component, so ".. " and
// "..." can name the parent folder as well as "..".
bool NamesParentFolder(WStringView component) {
  size_t dots = 0;
  for (WChar unit : component) {
    if (unit == u'.') {
      ++dots;
    } else if (unit != u' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

std::string_view ManifestBytes(const void* data, uint32_t size) {
  const char* bytes = static_cast<const char*>(data);
  if (bytes == nullptr) return {};
  const void* terminator = std::memchr(bytes, 0, size);
  const size_t length = terminator != nullptr
                            ? static_cast<size_t>(static_cast<const char*>(terminator) - bytes)
                            : size;
  return std::string_view(bytes, length);
}

std::optional<WString> DecodeManifest(std::string_view bytes) {
  WString text;
  if (!DecodeUtf8Strict(bytes, &text)) return std::nullopt;
  return text;
}

std::vector<WString> ManifestItems(const WString& text) {
  std::vector<WString> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u';', start);
    if (end == WString::npos) end = text.size();
    if (end > start) items.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

std::vector<WString> SplitPathParts(const WString& name) {
  std::vector<WString> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = name.find(u'\\', start);
    if (end == WString::npos) {
      parts.push_back(name.substr(start));
      return parts;
    }
    parts.push_back(name.substr(start, end - start));
    start = end + 1;
  }
}

bool StaysInsideWorkspace(const WString& item) {
  if (item.empty() || IsSeparator(item.front())) return false;
  if (item.find(u':') != WString::npos) return false;
  size_t start = 0;
  while (start <= item.size()) {
    size_t end = start;
    while (end < item.size() && !IsSeparator(item[end])) ++end;
    if (NamesParentFolder(WStringView(item).substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}
