#include "exe/res_file.h"

#include <array>

#include "exe/byte_writer.h"

namespace {

// MOVEABLE | PURE, as the resource compiler marks data resources.
constexpr uint16_t kMemoryFlags = 0x0030;
constexpr size_t kCopyChunk = 1 << 20;

bool StartsWithEmptyEntry(const Bytes& res) {
  const Bytes empty = ResEntryHeader(0, 0, 0, 0);
  return res.size() >= empty.size() && std::equal(empty.begin(), empty.end(), res.begin());
}

Bytes ReadWholeFile(const std::filesystem::path& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  *ok = static_cast<bool>(in) || in.eof();
  return bytes;
}

}  // namespace

Bytes ResEntryHeader(uint32_t dataSize, uint16_t type, uint16_t id, uint16_t language) {
  ByteWriter header;
  header.U32(dataSize);
  header.U32(32);  // header size
  header.U16(0xFFFF);
  header.U16(type);
  header.U16(0xFFFF);
  header.U16(id);
  header.U32(0);  // data version
  header.U16(type == 0 ? 0 : kMemoryFlags);
  header.U16(language);
  header.U32(0);  // version
  header.U32(0);  // characteristics
  return header.Take();
}

ResFileWriter::ResFileWriter(const std::filesystem::path& path, const std::filesystem::path* base)
    : path_(path), out_(path, std::ios::binary | std::ios::trunc) {
  if (!out_) {
    Fail("cannot be created");
    return;
  }
  if (base == nullptr) {
    const Bytes empty = ResEntryHeader(0, 0, 0, 0);
    out_.write(reinterpret_cast<const char*>(empty.data()),
               static_cast<std::streamsize>(empty.size()));
    return;
  }
  bool readOk = false;
  const Bytes baseBytes = ReadWholeFile(*base, &readOk);
  if (!readOk || !StartsWithEmptyEntry(baseBytes) || baseBytes.size() % 4 != 0) {
    Fail(base->string() + " is not a resource file");
    return;
  }
  out_.write(reinterpret_cast<const char*>(baseBytes.data()),
             static_cast<std::streamsize>(baseBytes.size()));
}

void ResFileWriter::WriteHeader(uint32_t dataSize, uint16_t type, uint16_t id, uint16_t language) {
  const Bytes header = ResEntryHeader(dataSize, type, id, language);
  out_.write(reinterpret_cast<const char*>(header.data()),
             static_cast<std::streamsize>(header.size()));
}

void ResFileWriter::Pad(uint64_t dataSize) {
  static const std::array<char, 3> zeros{};
  const size_t padding = static_cast<size_t>((4 - dataSize % 4) % 4);
  out_.write(zeros.data(), static_cast<std::streamsize>(padding));
}

void ResFileWriter::Add(uint16_t type, uint16_t id, uint16_t language, const Bytes& data) {
  if (!Ok()) return;
  WriteHeader(static_cast<uint32_t>(data.size()), type, id, language);
  out_.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  Pad(data.size());
}

void ResFileWriter::AddFile(uint16_t type, uint16_t id, uint16_t language,
                            const std::filesystem::path& source, uint64_t size) {
  if (!Ok()) return;
  if (size > UINT32_MAX) {
    Fail(source.string() + " is too large for one resource");
    return;
  }
  std::ifstream in(source, std::ios::binary);
  if (!in) {
    Fail(source.string() + " cannot be read");
    return;
  }
  WriteHeader(static_cast<uint32_t>(size), type, id, language);
  std::vector<char> chunk(kCopyChunk);
  uint64_t left = size;
  while (left > 0) {
    const size_t wanted = left < chunk.size() ? static_cast<size_t>(left) : chunk.size();
    in.read(chunk.data(), static_cast<std::streamsize>(wanted));
    if (static_cast<size_t>(in.gcount()) != wanted) {
      Fail(source.string() + " changed while it was being embedded");
      return;
    }
    out_.write(chunk.data(), static_cast<std::streamsize>(wanted));
    left -= wanted;
  }
  if (in.peek() != std::char_traits<char>::eof()) {
    Fail(source.string() + " changed while it was being embedded");
    return;
  }
  Pad(size);
}

bool ResFileWriter::Finish() {
  if (out_.is_open()) {
    out_.close();
    if (!out_ && Ok()) Fail("cannot be written");
  }
  return Ok();
}

void ResFileWriter::Fail(std::string message) {
  if (error_.empty()) error_ = path_.string() + ": " + message;
}
