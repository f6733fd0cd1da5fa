#include "resources/string_table.h"

#include "pe/byte_writer.h"

std::map<uint16_t, Bytes> EncodeStringTable(const std::map<uint16_t, WString>& strings) {
  std::map<uint16_t, std::map<uint16_t, const WString*>> blocks;
  for (const auto& [id, text] : strings) {
    blocks[static_cast<uint16_t>(id / 16 + 1)][static_cast<uint16_t>(id % 16)] = &text;
  }
  std::map<uint16_t, Bytes> encoded;
  for (const auto& [blockId, members] : blocks) {
    ByteWriter block;
    for (uint16_t slot = 0; slot < 16; ++slot) {
      const auto found = members.find(slot);
      if (found == members.end()) {
        block.U16(0);
        continue;
      }
      block.U16(static_cast<uint16_t>(found->second->size()));
      block.Text(*found->second);
    }
    encoded[blockId] = block.Take();
  }
  return encoded;
}
