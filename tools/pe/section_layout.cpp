#include "pe/section_layout.h"

#include <map>

#include "pe/byte_writer.h"

namespace {

constexpr uint32_t kSubdirectory = 0x80000000;
constexpr uint32_t kNameIsText = 0x80000000;
constexpr uint64_t kDataAlignment = 8;

using Languages = std::map<uint16_t, size_t>;  // language -> entry index
using Names = std::map<ResourceName, Languages>;
using Types = std::map<ResourceName, Names>;

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

uint64_t DirectoryBytes(size_t entryCount) { return 16 + 8 * uint64_t{entryCount}; }

template <typename Map>
void DirectoryHeader(ByteWriter& out, const Map& children) {
  uint16_t named = 0;
  for (const auto& child : children) named += child.first.isText ? 1 : 0;
  out.U32(0);  // characteristics
  out.U32(0);  // time stamp: none, so that the same resources make the same bytes
  out.U32(0);  // major and minor version
  out.U16(named);
  out.U16(static_cast<uint16_t>(children.size() - named));
}

// The name field of a directory entry: the number, or where its text lies.
uint32_t NameField(const ResourceName& name, const std::map<const ResourceName*, uint32_t>& texts) {
  return name.isText ? kNameIsText | texts.at(&name) : name.number;
}

}  // namespace

bool LayOutResourceSection(const std::vector<Resource>& entries, uint32_t sectionRva,
                           const std::string& where, ResourceSectionLayout* result,
                           Diagnostics& diagnostics) {
  ResourceSectionLayout layout;
  Types types;
  for (size_t index = 0; index < entries.size(); ++index) {
    const Resource& entry = entries[index];
    if (!types[entry.type][entry.name].emplace(entry.language, index).second) {
      diagnostics.Error(where, "holds two resources of type " + entry.type.Describe() + ", name " +
                                   entry.name.Describe() + " and language " +
                                   std::to_string(entry.language));
      return false;
    }
  }

  // Where everything goes: the root, the type directories, the name
  // directories, the data entries, the texts, then the data.
  uint64_t at = DirectoryBytes(types.size());
  std::vector<uint64_t> typeDirectories;
  for (const auto& type : types) {
    typeDirectories.push_back(at);
    at += DirectoryBytes(type.second.size());
  }
  std::vector<uint64_t> nameDirectories;
  for (const auto& type : types) {
    for (const auto& name : type.second) {
      nameDirectories.push_back(at);
      at += DirectoryBytes(name.second.size());
    }
  }
  const uint64_t dataEntries = at;
  at += 16 * uint64_t{entries.size()};
  std::map<const ResourceName*, uint32_t> texts;
  const auto placeText = [&](const ResourceName& name) {
    if (!name.isText) return;
    texts[&name] = static_cast<uint32_t>(at);
    at += 2 + 2 * uint64_t{name.text.size()};
  };
  for (const auto& type : types) {
    placeText(type.first);
    for (const auto& name : type.second) placeText(name.first);
  }
  at = AlignUp(at, kDataAlignment);
  const uint64_t headSize = at;
  for (const Resource& entry : entries) {
    at = AlignUp(at, kDataAlignment);
    layout.dataOffsets.push_back(static_cast<uint32_t>(at));
    at += entry.DataSize();
  }
  if (at > UINT32_MAX - uint64_t{sectionRva}) {
    diagnostics.Error(where, "holds more than fits in one exe (4 GiB)");
    return false;
  }
  layout.size = static_cast<uint32_t>(at);

  ByteWriter out;
  DirectoryHeader(out, types);
  size_t directory = 0;
  for (const auto& type : types) {
    out.U32(NameField(type.first, texts));
    out.U32(kSubdirectory | static_cast<uint32_t>(typeDirectories[directory++]));
  }
  directory = 0;
  for (const auto& type : types) {
    DirectoryHeader(out, type.second);
    for (const auto& name : type.second) {
      out.U32(NameField(name.first, texts));
      out.U32(kSubdirectory | static_cast<uint32_t>(nameDirectories[directory++]));
    }
  }
  std::vector<size_t> leaves;  // entry indexes in the order of their data entries
  for (const auto& type : types) {
    for (const auto& name : type.second) {
      out.U32(0);  // characteristics
      out.U32(0);  // time stamp
      out.U32(0);  // version
      out.U16(0);  // languages are numbers
      out.U16(static_cast<uint16_t>(name.second.size()));
      for (const auto& [language, index] : name.second) {
        out.U32(language);
        out.U32(static_cast<uint32_t>(dataEntries + 16 * leaves.size()));
        leaves.push_back(index);
      }
    }
  }
  for (const size_t index : leaves) {
    out.U32(sectionRva + layout.dataOffsets[index]);
    out.U32(entries[index].DataSize());
    out.U32(0);  // code page
    out.U32(0);  // reserved
  }
  // A directory string: its length in UTF-16 units, then the units. Text
  // names come from a .res header, which holds at most 64 KiB: the length
  // fits.
  const auto writeText = [&](const ResourceName& name) {
    if (!name.isText) return;
    out.U16(static_cast<uint16_t>(name.text.size()));
    out.Text(name.text);
  };
  for (const auto& type : types) {
    writeText(type.first);
    for (const auto& name : type.second) writeText(name.first);
  }
  while (out.Size() < headSize) out.U8(0);
  layout.head = out.Take();
  *result = std::move(layout);
  return true;
}
