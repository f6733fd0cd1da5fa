#include "pe/resource.h"

#include <tuple>

bool ResourceName::operator<(const ResourceName& other) const {
  // Texts before numbers.
  if (isText != other.isText) return isText;
  return std::tie(number, text) < std::tie(other.number, other.text);
}

std::string ResourceName::Describe() const {
  return isText ? "\"" + Utf16ToUtf8(text) + "\"" : std::to_string(number);
}
