#include "pe/exe_writer.h"

#include <algorithm>
#include <iterator>

#include "pe/byte_writer.h"

namespace fs = std::filesystem;

namespace {

// Initialized data, readable.
constexpr uint32_t kResourceSectionCharacteristics = 0x40000040;
// Offsets in the optional header that both layouts share.
constexpr size_t kSizeOfInitializedData = 8;
constexpr size_t kSizeOfImage = 56;

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// The linked exe's bytes with the headers updated for the new section, the
// checksum field set to `checksum`.
Bytes UpdatedHeaders(const LinkedExe& exe, const SectionPlan& plan, uint32_t checksum) {
  Bytes image = exe.image;
  const size_t section = exe.newSectionHeader;
  const char name[8] = {'.', 'r', 's', 'r', 'c'};
  std::copy(std::begin(name), std::end(name), image.begin() + static_cast<std::ptrdiff_t>(section));
  const uint32_t size = plan.layout.size;
  PutLe(image, section + 8, size, 4);
  PutLe(image, section + 12, static_cast<uint32_t>(plan.rva), 4);
  PutLe(image, section + 16, static_cast<uint32_t>(plan.rawSize), 4);
  PutLe(image, section + 20, static_cast<uint32_t>(plan.rawData), 4);
  PutLe(image, section + 36, kResourceSectionCharacteristics, 4);
  PutLe(image, exe.sectionCountField, ReadLe(image, exe.sectionCountField, 2) + 1, 2);
  const size_t optional = exe.optionalHeader;
  // PlanSection saw to it that these fit in 32 bits.
  PutLe(image, optional + kSizeOfImage,
        static_cast<uint32_t>(AlignUp(plan.rva + size, exe.sectionAlignment)), 4);
  PutLe(image, optional + kSizeOfInitializedData,
        static_cast<uint32_t>(ReadLe(image, optional + kSizeOfInitializedData, 4) + plan.rawSize),
        4);
  PutLe(image, exe.resourceDirectory, static_cast<uint32_t>(plan.rva), 4);
  PutLe(image, exe.resourceDirectory + 4, size, 4);
  PutLe(image, exe.checksumField, checksum, 4);
  return image;
}

// Counts what passes to another sink, so that the image can be padded to
// its boundaries and a resource's writer held to its size.
class CountingSink : public ByteSink {
 public:
  explicit CountingSink(ByteSink& to) : to_(to) {}
  bool Write(const uint8_t* bytes, size_t count) override {
    position_ += count;
    return to_.Write(bytes, count);
  }
  bool ZerosTo(uint64_t end) {
    static const Bytes zeros(64 * 1024);
    while (position_ < end) {
      if (!Write(zeros.data(), static_cast<size_t>(std::min<uint64_t>(end - position_, zeros.size()))))
        return false;
    }
    return true;
  }
  uint64_t Position() const { return position_; }

 private:
  ByteSink& to_;
  uint64_t position_ = 0;
};

// Everything up to the section's end, in file order.
bool EmitImage(const Bytes& headers, const SectionPlan& plan, const std::vector<Resource>& resources,
               ByteSink& sink, const std::string& where, Diagnostics& diagnostics) {
  CountingSink out(sink);
  if (!out.Write(headers.data(), headers.size()) || !out.ZerosTo(plan.rawData) ||
      !out.Write(plan.layout.head.data(), plan.layout.head.size()))
    return false;
  for (size_t index = 0; index < resources.size(); ++index) {
    const Resource& resource = resources[index];
    const uint64_t start = plan.rawData + plan.layout.dataOffsets[index];
    if (!out.ZerosTo(start)) return false;
    if (!resource.writeData) {
      if (!out.Write(resource.data.data(), resource.data.size())) return false;
      continue;
    }
    if (!resource.writeData(out)) return false;
    if (out.Position() != start + resource.streamedSize) {
      diagnostics.Error(where, "resource " + resource.name.Describe() +
                                   " was not written at the size it was planned with");
      return false;
    }
  }
  return out.ZerosTo(plan.End());
}

// Sums the checksum of what would be written, without writing it.
class ChecksumSink : public ByteSink {
 public:
  bool Write(const uint8_t* bytes, size_t count) override {
    checksum.Add(bytes, count);
    return true;
  }
  PeChecksum checksum;
};

}  // namespace

bool PlanSection(const LinkedExe& exe, const std::vector<Resource>& resources,
                 const std::string& where, SectionPlan* plan, Diagnostics& diagnostics) {
  plan->rva = AlignUp(exe.imageEnd, exe.sectionAlignment);
  plan->rawData = AlignUp(exe.image.size(), exe.fileAlignment);
  if (plan->rva > UINT32_MAX) {
    diagnostics.Error(where, "the linked exe has no room for another section");
    return false;
  }
  if (!LayOutResourceSection(resources, static_cast<uint32_t>(plan->rva), where, &plan->layout,
                             diagnostics))
    return false;
  plan->rawSize = AlignUp(plan->layout.size, exe.fileAlignment);
  const uint64_t imageSize = AlignUp(plan->rva + plan->layout.size, exe.sectionAlignment);
  const uint64_t initializedData =
      uint64_t{ReadLe(exe.image, exe.optionalHeader + kSizeOfInitializedData, 4)} + plan->rawSize;
  if (plan->End() > UINT32_MAX || imageSize > UINT32_MAX || initializedData > UINT32_MAX) {
    diagnostics.Error(where, "its resources make an exe larger than 4 GiB");
    return false;
  }
  return true;
}

ExeWriter::ExeWriter(const fs::path& path, BackgroundDigest* digest, Diagnostics& diagnostics)
    : path_(path), out_(path, std::ios::binary | std::ios::trunc), digest_(digest),
      diagnostics_(diagnostics) {}

bool ExeWriter::Failed(const std::string& message) {
  diagnostics_.Error(path_.string(), message);
  return false;
}

bool ExeWriter::Write(const uint8_t* bytes, size_t count) {
  out_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
  if (!out_) return Failed("cannot be written");
  checksum_.Add(bytes, count);
  if (digest_ != nullptr) digest_->Add(bytes, count);
  return true;
}

bool ExeWriter::Overwrite(uint64_t at, const Bytes& bytes) {
  const std::streamoff end = out_.tellp();
  out_.seekp(static_cast<std::streamoff>(at));
  out_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out_.seekp(end);
  return out_ ? true : Failed("cannot be written");
}

bool ExeWriter::WriteImage(const LinkedExe& exe, const SectionPlan& plan,
                           const std::vector<Resource>& resources,
                           std::optional<uint32_t> checksum) {
  if (!out_) return Failed("cannot be created");
  exe_ = &exe;
  sectionStart_ = plan.rawData;
  dataOffsets_ = plan.layout.dataOffsets;
  // A linker that left the checksum out gets none; one that wrote it gets
  // it over the new file, the field counting as zeros.
  checksumDue_ = exe.HasChecksum() && !checksum;
  return EmitImage(UpdatedHeaders(exe, plan, checksum.value_or(0)), plan, resources, *this,
                   path_.string(), diagnostics_);
}

void ExeWriter::PatchResource(size_t index, const Bytes& bytes) {
  if (!Overwrite(sectionStart_ + dataOffsets_[index], bytes)) return;
  // The zeros there added nothing: the new words add to the sum as they
  // would have in their place, both being 8-byte aligned.
  PeChecksum part;
  part.Add(bytes.data(), bytes.size());
  checksum_.Merge(part);
}

bool ExeWriter::Finish() {
  if (checksumDue_) {
    Bytes value(4);
    PutLe(value, 0, checksum_.Finish(), 4);
    if (!Overwrite(exe_->checksumField, value)) return false;
  }
  out_.close();
  if (!out_) return Failed("cannot be written");
  // Executable, as the linker left its exe.
  std::error_code error;
  fs::permissions(path_, exe_->permissions, error);
  return error ? Failed(error.message()) : true;
}

void ExeWriter::Discard() {
  out_.close();
  std::error_code ignored;
  fs::remove(path_, ignored);
}

bool WriteExe(const LinkedExe& exe, const std::vector<Resource>& resources, const fs::path& path,
              std::string* sha256, Diagnostics& diagnostics) {
  SectionPlan plan;
  if (!PlanSection(exe, resources, path.string(), &plan, diagnostics)) return false;
  // With a digest, the checksum goes into the header before the first byte
  // is hashed: it is summed in a pass of its own.
  std::optional<uint32_t> checksum;
  if (sha256 != nullptr && exe.HasChecksum()) {
    ChecksumSink sum;
    if (!EmitImage(UpdatedHeaders(exe, plan, 0), plan, resources, sum, path.string(), diagnostics))
      return false;
    checksum = sum.checksum.Finish();
  }
  std::optional<BackgroundDigest> digest;
  if (sha256 != nullptr) digest.emplace();
  ExeWriter writer(path, digest ? &*digest : nullptr, diagnostics);
  if (!writer.WriteImage(exe, plan, resources, checksum) || !writer.Finish()) {
    writer.Discard();
    return false;
  }
  if (digest) {
    const std::optional<std::string> hex = digest->Finish();
    if (!hex) {
      diagnostics.Error(path.string(), "its digest could not be made");
      writer.Discard();
      return false;
    }
    *sha256 = *hex;
  }
  return true;
}
