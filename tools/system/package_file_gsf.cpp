#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <memory>
#include <set>
#include <string>

#include "system/package_file.h"

namespace fs = std::filesystem;

namespace {

struct GObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

GObjectPtr<GsfInfile> OpenCompoundFile(const fs::path& path) {
  gsf_init();
  GObjectPtr<GsfInput> input(gsf_input_stdio_new(path.string().c_str(), nullptr));
  if (!input) return nullptr;
  return GObjectPtr<GsfInfile>(gsf_infile_msole_new(input.get(), nullptr));
}

bool IsStorage(GsfInput* child) {
  return GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0;
}

std::optional<std::vector<uint8_t>> ReadStream(GsfInput* stream) {
  std::vector<uint8_t> bytes(static_cast<size_t>(gsf_input_size(stream)));
  if (!bytes.empty() && gsf_input_read(stream, bytes.size(), bytes.data()) == nullptr)
    return std::nullopt;
  return bytes;
}

std::optional<StorageContent> ReadStorage(GsfInfile* storage) {
  StorageContent content;
  gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(storage), content.classId.data());
  for (int index = 0; index < gsf_infile_num_children(storage); ++index) {
    const WString name = Utf8ToUtf16(gsf_infile_name_by_index(storage, index));
    GObjectPtr<GsfInput> child(gsf_infile_child_by_index(storage, index));
    if (!child) return std::nullopt;
    if (IsStorage(child.get())) {
      std::optional<StorageContent> inner = ReadStorage(GSF_INFILE(child.get()));
      if (!inner) return std::nullopt;
      content.storages[name] = std::move(*inner);
    } else if (std::optional<std::vector<uint8_t>> bytes = ReadStream(child.get())) {
      content.streams[name] = std::move(*bytes);
    } else {
      return std::nullopt;
    }
  }
  return content;
}

bool WriteStream(GsfOutfile* parent, const WString& name, const std::vector<uint8_t>& bytes) {
  GObjectPtr<GsfOutput> stream(gsf_outfile_new_child(parent, Utf16ToUtf8(name).c_str(), FALSE));
  return stream && gsf_output_write(stream.get(), bytes.size(), bytes.data()) &&
         gsf_output_close(stream.get());
}

bool WriteStorage(GsfOutfile* parent, const WString& name, const StorageContent& content) {
  GObjectPtr<GsfOutput> storage(gsf_outfile_new_child(parent, Utf16ToUtf8(name).c_str(), TRUE));
  if (!storage) return false;
  gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(storage.get()), content.classId.data());
  for (const auto& [streamName, bytes] : content.streams) {
    if (!WriteStream(GSF_OUTFILE(storage.get()), streamName, bytes)) return false;
  }
  for (const auto& [storageName, inner] : content.storages) {
    if (!WriteStorage(GSF_OUTFILE(storage.get()), storageName, inner)) return false;
  }
  return gsf_output_close(storage.get());
}

// Copies every child of `from` into `to` but those named in `skipped`,
// streams in chunks: a package's embedded cabinet may be gigabytes.
bool CopyChildren(GsfInfile* from, GsfOutfile* to, const std::set<std::string>& skipped) {
  for (int index = 0; index < gsf_infile_num_children(from); ++index) {
    const char* name = gsf_infile_name_by_index(from, index);
    if (skipped.count(name) != 0) continue;
    GObjectPtr<GsfInput> child(gsf_infile_child_by_index(from, index));
    if (!child) return false;
    const bool storage = IsStorage(child.get());
    GObjectPtr<GsfOutput> copy(gsf_outfile_new_child(to, name, storage));
    if (!copy) return false;
    if (storage) {
      guint8 classId[16];
      if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child.get()), classId))
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(copy.get()), classId);
      if (!CopyChildren(GSF_INFILE(child.get()), GSF_OUTFILE(copy.get()), {})) return false;
    } else if (!gsf_input_copy(child.get(), copy.get())) {
      return false;
    }
    if (!gsf_output_close(copy.get())) return false;
  }
  return true;
}

}  // namespace

std::optional<StorageContent> ReadStorageFile(const fs::path& path) {
  GObjectPtr<GsfInfile> file = OpenCompoundFile(path);
  if (!file) return std::nullopt;
  return ReadStorage(file.get());
}

std::optional<std::vector<uint8_t>> ReadPackageStream(const fs::path& package, const WString& name) {
  GObjectPtr<GsfInfile> file = OpenCompoundFile(package);
  if (!file) return std::nullopt;
  GObjectPtr<GsfInput> stream(gsf_infile_child_by_name(file.get(), Utf16ToUtf8(name).c_str()));
  if (!stream || IsStorage(stream.get())) return std::nullopt;
  return ReadStream(stream.get());
}

std::optional<StorageContent> ReadPackageStorage(const fs::path& package, const WString& name) {
  GObjectPtr<GsfInfile> file = OpenCompoundFile(package);
  if (!file) return std::nullopt;
  GObjectPtr<GsfInput> storage(gsf_infile_child_by_name(file.get(), Utf16ToUtf8(name).c_str()));
  if (!storage || !IsStorage(storage.get())) return std::nullopt;
  return ReadStorage(GSF_INFILE(storage.get()));
}

bool UpdatePackage(const fs::path& package, const std::map<WString, std::vector<uint8_t>>& streams,
                   const std::map<WString, StorageContent>& storages) {
  GObjectPtr<GsfInfile> original = OpenCompoundFile(package);
  if (!original) return false;
  std::set<std::string> replaced;
  for (const auto& stream : streams) replaced.insert(Utf16ToUtf8(stream.first));
  for (const auto& storage : storages) replaced.insert(Utf16ToUtf8(storage.first));

  // Written beside the package and moved over it once complete.
  fs::path updated = package;
  updated += ".updating";
  bool written = false;
  {
    GObjectPtr<GsfOutput> sink(gsf_output_stdio_new(updated.string().c_str(), nullptr));
    if (!sink) return false;
    GObjectPtr<GsfOutfile> out(gsf_outfile_msole_new(sink.get()));
    guint8 classId[16];
    if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(original.get()), classId))
      gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out.get()), classId);
    written = CopyChildren(original.get(), out.get(), replaced);
    for (const auto& [name, bytes] : streams) written = written && WriteStream(out.get(), name, bytes);
    for (const auto& [name, content] : storages)
      written = written && WriteStorage(out.get(), name, content);
    // Closing the compound file writes its directory and closes the sink.
    written = gsf_output_close(GSF_OUTPUT(out.get())) && written;
  }
  std::error_code error;
  if (written) {
    std::error_code ignored;  // the package keeps its permissions where it can
    fs::permissions(updated, fs::status(package, ignored).permissions(), ignored);
    fs::rename(updated, package, error);
  }
  if (!written || error) {
    std::error_code ignored;
    fs::remove(updated, ignored);
  }
  return written && !error;
}
