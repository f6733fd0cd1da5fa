// A resource as an exe's resource section holds it: a type, a name, a
// language and data. The data is held in memory, or, for data too large for
// that, written by a function of the caller's when the exe is written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/text.h"

using Bytes = std::vector<uint8_t>;

// Resource types, by their Windows numbers.
constexpr uint16_t kTypeBitmap = 2;
constexpr uint16_t kTypeIcon = 3;
constexpr uint16_t kTypeString = 6;
constexpr uint16_t kTypeRcData = 10;
constexpr uint16_t kTypeGroupIcon = 14;
constexpr uint16_t kTypeVersion = 16;

// English (United Kingdom): the language of every resource the tool makes.
constexpr uint16_t kLanguageEnglishUk = 2057;

// A resource's type or name: a number, or a text.
struct ResourceName {
  bool isText = false;
  uint16_t number = 0;
  WString text;

  static ResourceName Number(uint16_t number) { return ResourceName{false, number, {}}; }
  static ResourceName Text(WString text) { return ResourceName{true, 0, std::move(text)}; }

  // The order of a resource directory's entries, in which the system
  // searches them: texts first, by their UTF-16 code units, then numbers,
  // ascending.
  bool operator<(const ResourceName& other) const;
  bool operator==(const ResourceName& other) const {
    return isText == other.isText && number == other.number && text == other.text;
  }

  // For messages: 10, or "NAME" in quotes.
  std::string Describe() const;
};

// Where the bytes of an exe go as it is written.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // False when the bytes could not be written; the sink has reported why.
  virtual bool Write(const uint8_t* bytes, size_t count) = 0;
};

struct Resource {
  ResourceName type;
  ResourceName name;
  uint16_t language = kLanguageEnglishUk;
  Bytes data;
  // Set for data that is not held in memory: writes exactly `streamedSize`
  // bytes to the sink, each time the exe is written (a digest of the exe
  // made on the way writes it twice); false when it could not, with the
  // reason reported.
  std::function<bool(ByteSink&)> writeData;
  uint32_t streamedSize = 0;

  uint32_t DataSize() const {
    return writeData ? streamedSize : static_cast<uint32_t>(data.size());
  }
};

// A numbered resource of the tool's language, with its data in memory.
inline Resource NumberedResource(uint16_t type, uint16_t id, Bytes data) {
  Resource resource;
  resource.type = ResourceName::Number(type);
  resource.name = ResourceName::Number(id);
  resource.data = std::move(data);
  return resource;
}
