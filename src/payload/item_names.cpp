#include "payload/item_names.h"

namespace payload {
namespace {

WChar AsciiUpper(WChar unit) { return unit >= u'a' && unit <= u'z' ? unit - u'a' + u'A' : unit; }

bool IsReservedDeviceName(WStringView part) {
  WString stem(part.substr(0, part.find(u'.')));
  for (WChar& unit : stem) unit = AsciiUpper(unit);
  for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL"}) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, u"COM") == 0 || stem.compare(0, 3, u"LPT") == 0) &&
         stem[3] >= u'1' && stem[3] <= u'9';
}

std::optional<std::string> PartProblem(WStringView part) {
  if (part.empty()) return "has an empty folder name (a leading, trailing or doubled backslash)";
  if (part == u"." || part == u"..")
    return "has a \"" + Utf16ToUtf8(part) + "\" component that leaves its folder";
  for (const WChar unit : part) {
    if (unit == u';')
      return std::string("holds \";\", which separates the items of the payload manifest");
    if (unit == u':') return std::string("holds \":\", which names a drive or a stream");
    if (unit < 0x20 || WStringView(u"<>\"/|?*").find(unit) != WStringView::npos)
      return std::string("holds a character that Windows does not allow in file names");
  }
  if (part.back() == u'.' || part.back() == u' ')
    return std::string("ends with a full stop or a blank, which Windows drops");
  if (IsReservedDeviceName(part)) return "uses the device name " + Utf16ToUtf8(part);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ItemNameProblem(WStringView name) {
  for (const WString& part : SplitPathParts(name)) {
    if (std::optional<std::string> problem = PartProblem(part)) return problem;
  }
  return std::nullopt;
}

std::vector<WString> SplitPathParts(WStringView name) {
  std::vector<WString> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = name.find(u'\\', start);
    if (end == WStringView::npos) {
      parts.emplace_back(name.substr(start));
      return parts;
    }
    parts.emplace_back(name.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace payload
