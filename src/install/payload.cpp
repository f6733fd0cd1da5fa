#include "install/payload.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "install/fatal_error.h"
#include "install/payload_manifest.h"
#include "install/progress_report.h"
#include "install/resource_bytes.h"
#include "install/workspace.h"
#include "platform/unique_handles.h"
#include "resource_ids.h"

namespace {

constexpr uint32_t kLargestResourceId = 0xFFFF;

// Error codes set for the failures that no system call reports itself.
constexpr uint32_t kErrorWriteFault = 29;              // ERROR_WRITE_FAULT
constexpr uint32_t kErrorBadPathname = 161;            // ERROR_BAD_PATHNAME
constexpr uint32_t kErrorNoUnicodeTranslation = 1113;  // ERROR_NO_UNICODE_TRANSLATION

struct PayloadEntry {
  WString name;
  int32_t resourceId = 0;
  platform::ResourceHandle resource = nullptr;
  uint32_t size = 0;
};

// Load and lock: the bytes stay readable for the rest of the process.
const void* LoadAndLock(const platform::Platform& os, const platform::UniqueLoadedResource& owner) {
  if (owner.get() == nullptr) FatalError(os, u"LoadResource");
  const void* bytes = os.resources.Lock(owner.get());
  if (bytes == nullptr) FatalError(os, u"LockResource");
  return bytes;
}

[[noreturn]] void FailWithError(const platform::Platform& os, uint32_t code, const WString& what) {
  os.process.SetLastError(code);
  FatalError(os, what);
}

// Looks up every item's resource before anything is written, so that a
// missing one is reported while the workspace is still empty.
std::vector<PayloadEntry> BuildEntryList(const platform::Platform& os,
                                         const std::vector<WString>& items, uint64_t* total) {
  std::vector<PayloadEntry> entries;
  *total = 0;
  int32_t nextId = IDR_PAYLOAD_FIRST;
  for (const WString& item : items) {
    if (!StaysInsideWorkspace(item)) {
      FailWithError(os, kErrorBadPathname, u"Unpacking " + item);
    }
    const WString missingText =
        u"FindResource failed trying to find resource ID " + DecimalText(nextId);
    // Resource ids are 16-bit: a larger one would silently name another file.
    if (nextId > static_cast<int32_t>(kLargestResourceId)) {
      FailWithError(os, platform::kErrorResourceNameNotFound, missingText);
    }
    platform::ResourceHandle resource = os.resources.FindData(static_cast<uint32_t>(nextId));
    if (resource == nullptr) FatalError(os, missingText);

    PayloadEntry entry;
    entry.name = item;
    entry.resourceId = nextId;
    entry.resource = resource;
    entry.size = os.resources.Size(resource);
    *total += entry.size;
    entries.push_back(std::move(entry));
    ++nextId;
  }
  return entries;
}

bool StopRequested(const LauncherState& state) { return state.cancelRequested.load(); }

}  // namespace

bool ExtractPayload(LauncherState& state, const platform::Platform& os, WString workspace) {
  platform::ResourceHandle manifest = os.resources.FindData(IDR_PAYLOAD_MANIFEST);
  if (manifest == nullptr) FatalError(os, u"FindResource");
  platform::UniqueLoadedResource loadedManifest(os.resources, os.resources.Load(manifest));
  const void* manifestData = LoadAndLock(os, loadedManifest);

  const std::optional<WString> manifestText =
      DecodeManifest(ManifestBytes(manifestData, os.resources.Size(manifest)));
  if (!manifestText) {
    FailWithError(os, kErrorNoUnicodeTranslation, u"Reading the payload manifest");
  }

  // Start-up leaves the workspace empty when the temporary folder is unusable;
  // the files must then not land in the current folder.
  if (workspace.empty()) FailWithError(os, platform::kErrorPathNotFound, u"GetTempPath");
  DeleteDirectoryTree(os, workspace);
  if (!os.files.MakeFolder(workspace)) FatalError(os, u"CreateDirectory");

  uint64_t total = 0;
  const std::vector<PayloadEntry> entries =
      BuildEntryList(os, ManifestItems(*manifestText), &total);

  ProgressReport progress(os, os.windows.DialogItem(state.mainWindow, IDC_PROGRESS), total);
  for (const PayloadEntry& entry : entries) {
    if (StopRequested(state)) return false;
    if (!CreateParentDirectories(os, workspace, entry.name)) return false;
    if (!WriteResourceToFile(state, os, entry.resource, entry.size, workspace + entry.name,
                             progress)) {
      return false;
    }
  }
  progress.Finish();
  return true;
}

bool CreateParentDirectories(const platform::Platform& os, WString baseFolder,
                             WString relativeName) {
  const std::vector<WString> parts = SplitPathParts(relativeName);
  if (parts.size() <= 1) return true;

  WString path = std::move(baseFolder);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const WString candidate = path + parts[i];
    // Whatever already stands there, folder or file, is left alone; a file
    // in the way makes the later CreateFile fail.
    if (os.files.Attributes(candidate) == platform::kInvalidFileAttributes &&
        !os.files.MakeFolder(candidate)) {
      FatalError(os, u"CreateDirectory");
    }
    path = candidate + u"\\";
  }
  return true;
}

bool WriteResourceToFile(LauncherState& state, const platform::Platform& os,
                         platform::ResourceHandle resource, uint32_t size, WString path,
                         ProgressReport& progress) {
  platform::UniqueLoadedResource loaded(os.resources, os.resources.Load(resource));
  ResourceBytes source(os, LoadAndLock(os, loaded), size);

  // A new file rather than one replaced: Wine replaces by truncating, and
  // ext4 then writes a truncated file's whole content to the disk when it
  // is closed, where a new one stays in the cache until it is removed. Only
  // a name listed twice finds its earlier copy there, and replaces it.
  using OpenMode = platform::FileSystem::OpenMode;
  platform::UniqueFileHandle file(os.files, os.files.OpenFile(path, OpenMode::kCreateNewWrite));
  if (!file && os.process.LastError() == platform::kErrorFileExists) {
    file = platform::UniqueFileHandle(os.files, os.files.OpenFile(path, OpenMode::kReplaceWrite));
  }
  if (!file) FatalError(os, u"CreateFile");

  // The error is kept, every handle closed, then the failure reported.
  auto fail = [&](uint32_t code, const char16_t* what) {
    file.Reset();
    source.Close();
    loaded.Reset();
    FailWithError(os, code, what);
  };

  uint32_t writtenTotal = 0;
  do {
    const uint32_t chunk = std::min(size - writtenTotal, ResourceBytes::kChunkBytes);
    const unsigned char* bytes = source.Next(chunk);
    if (bytes == nullptr) fail(os.process.LastError(), u"ReadFile");

    uint32_t chunkWritten = 0;
    do {
      const uint32_t left = chunk - chunkWritten;
      uint32_t written = 0;
      const bool ok = os.files.Write(file.get(), bytes + chunkWritten, left, &written);
      // A write that claims success without progress would repeat for ever.
      const bool stalled = ok && (written > left || (written == 0 && left != 0));
      if (!ok || stalled) fail(stalled ? kErrorWriteFault : os.process.LastError(), u"WriteFile");

      progress.Add(written);
      chunkWritten += written;
      writtenTotal += written;
      // Checked between writes so that the main thread can remove the
      // workspace once this thread has closed the file.
      if (writtenTotal != size && StopRequested(state)) return false;
    } while (chunkWritten != chunk);
  } while (writtenTotal != size);
  return true;
}
