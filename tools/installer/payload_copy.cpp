#include "installer/payload_copy.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "payload/checksum.h"

namespace {

constexpr size_t kCopyChunk = 1 << 20;

}  // namespace

bool CopyPayloadFile(const PayloadFile& file, ByteSink& sink, uint64_t* checksum,
                     Diagnostics& diagnostics) {
  std::ifstream in(file.source, std::ios::binary);
  if (!in) {
    diagnostics.Error(file.source.string(), "cannot be read");
    return false;
  }
  const auto changed = [&] {
    diagnostics.Error(file.source.string(), "changed while it was being copied");
    return false;
  };
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(file.size, kCopyChunk)));
  payload::Checksum sum;
  for (uint64_t left = file.size; left > 0;) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
    if (!in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(wanted)))
      return changed();
    sum.Add(chunk.data(), wanted);
    if (!sink.Write(chunk.data(), wanted)) return false;
    left -= wanted;
  }
  // The file must still end where it ended when it was listed.
  if (in.peek() != std::char_traits<char>::eof()) return changed();
  *checksum = sum.Value();
  return true;
}
