#include "install/payload.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "config/product_config.h"
#include "install/disk_room.h"
#include "install/fatal_error.h"
#include "install/payload_sources.h"
#include "install/payload_stream.h"
#include "install/payload_writer.h"
#include "install/progress_report.h"
#include "install/resource_bytes.h"
#include "install/workspace.h"
#include "payload/item_names.h"
#include "payload/locations.h"
#include "payload/manifest.h"
#include "payload/table.h"
#include "platform/unique_handles.h"
#include "resource_ids.h"

namespace {

struct PayloadEntry {
  FileToUnpack file;
  // Its own resource, or null when its bytes are in the stream from here on.
  platform::ResourceHandle resource = nullptr;
  uint64_t streamPosition = 0;
};

// The resource of the item at `index` among the non-empty ones.
platform::ResourceHandle FindItemResource(const platform::Platform& os, size_t index) {
  // No manifest holds 2^31 items; the clamp only keeps the text's number sane.
  const int32_t id = index < static_cast<size_t>(INT32_MAX - IDR_PAYLOAD_FIRST)
                         ? static_cast<int32_t>(IDR_PAYLOAD_FIRST + index)
                         : INT32_MAX;
  const WString missingText = u"FindResource failed trying to find resource ID " + DecimalText(id);
  // Resource ids are 16-bit: a larger one would silently name another file.
  const std::optional<uint16_t> resourceId = payload::FileResourceId(index);
  if (!resourceId) FailWithError(os, platform::kErrorResourceNameNotFound, missingText);
  platform::ResourceHandle resource = os.resources.FindData(*resourceId);
  if (resource == nullptr) FatalError(os, missingText);
  return resource;
}

// Finds every item's bytes before anything is written, so that a missing or
// mis-sized one is reported while the workspace is still empty.
std::vector<PayloadEntry> BuildEntryList(const platform::Platform& os,
                                         const std::vector<WString>& items,
                                         const payload::Table* table, uint64_t* total) {
  std::vector<PayloadEntry> entries;
  *total = 0;
  for (size_t index = 0; index < items.size(); ++index) {
    const WString& name = items[index];
    if (payload::ItemNameProblem(name)) {
      FailWithError(os, platform::kErrorBadPathname, u"Unpacking " + name);
    }

    PayloadEntry entry;
    entry.file.name = name;
    const payload::Item* item = table != nullptr ? &table->items[index] : nullptr;
    if (item != nullptr && item->place == payload::Place::kData) {
      entry.file.size = item->size;
      entry.streamPosition = payload::StreamPosition(*table, *item);
    } else {
      entry.resource = FindItemResource(os, index);
      entry.file.size = os.resources.Size(entry.resource);
      if (item != nullptr && entry.file.size != item->size) {
        FailWithError(os, platform::kErrorCrc, u"Verifying " + name);
      }
    }
    if (item != nullptr) entry.file.checksum = item->checksum;
    // Saturating: only the bar's range depends on it.
    *total = entry.file.size > UINT64_MAX - *total ? UINT64_MAX : *total + entry.file.size;
    entries.push_back(std::move(entry));
  }
  return entries;
}

bool StopRequested(const LauncherState& state) { return state.cancelRequested.load(); }

// Folders are told apart as Windows does for ASCII names.
WString FolderKey(WString path) {
  for (WChar& unit : path) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<WChar>(unit - u'A' + u'a');
  }
  return path;
}

}  // namespace

bool ExtractPayload(LauncherState& state, const platform::Platform& os) {
  platform::ResourceHandle manifest = os.resources.FindData(IDR_PAYLOAD_MANIFEST);
  if (manifest == nullptr) FatalError(os, u"FindResource");
  platform::UniqueLoadedResource loadedManifest(os.resources, os.resources.Load(manifest));
  const void* manifestData = LockLoadedResource(os, loadedManifest);
  const std::string_view manifestBytes =
      payload::ManifestBytes(manifestData, os.resources.Size(manifest));

  const std::optional<WString> manifestText = payload::DecodeManifest(manifestBytes);
  if (!manifestText) {
    FailWithError(os, platform::kErrorNoUnicodeTranslation, u"Reading the payload manifest");
  }

  const std::vector<WString> items = payload::ManifestItems(*manifestText);
  const std::optional<payload::Table> table = LoadPayloadTable(os, manifestBytes, items.size());
  uint64_t total = 0;
  const std::vector<PayloadEntry> entries =
      BuildEntryList(os, items, table ? &*table : nullptr, &total);
  PayloadStream stream(os, table ? OpenPayloadData(os, *table) : std::vector<StreamFile>());

  // Every check that needs no disk is done: now the workspace. Without a
  // usable temporary folder the files must not land in the current one.
  const std::optional<WString> tempFolder = UsableTempFolder(os);
  if (!tempFolder) {
    stream.Close();
    FailWithError(os, platform::kErrorPathNotFound, u"GetTempPath");
  }
  // Room for every byte before the first is written.
  const uint64_t needed = RoomNeeded(total, entries.size());
  if (!HasRoom(os, *tempFolder, needed)) {
    stream.Close();
    FailWithError(os, platform::kErrorDiskFull,
                  u"Unpacking " + SizeText(needed) + u" to " + *tempFolder);
  }
  if (!CreateWorkspace(state, os, *tempFolder)) {
    if (StopRequested(state)) return false;
    stream.Close();
    FatalError(os, u"CreateDirectory");
  }
  const WString workspace = state.workspaceDir;
  state.packagePath = workspace + state.packagePath;

  std::set<WString> madeFolders;
  ProgressReport progress(os, os.windows.DialogItem(state.mainWindow, IDC_PROGRESS), total);
  for (const PayloadEntry& entry : entries) {
    if (StopRequested(state)) return false;
    if (!CreateParentDirectories(state, os, workspace, entry.file.name, madeFolders)) return false;
    const WString path = workspace + entry.file.name;
    // Never one that stands there already: whatever it is, this run did not
    // make it. (A new file is also the fast one: Wine replaces by
    // truncating, and ext4 then writes a truncated file's whole content to
    // the disk when it is closed, where a new one stays in the cache until
    // it is removed.)
    platform::UniqueFileHandle output = CreateWorkspaceFile(state, os, path);
    if (!output) {
      if (StopRequested(state)) return false;
      const uint32_t code = os.process.LastError();
      stream.Close();
      FailWithError(os, code, u"CreateFile");
    }
    WriteOutcome outcome;
    if (entry.resource != nullptr) {
      // A resource's size is 32-bit.
      ResourceBytes source(os, entry.resource, static_cast<uint32_t>(entry.file.size));
      outcome =
          WritePayloadFile(state.cancelRequested, os, entry.file, output.get(), source, progress);
    } else {
      stream.MoveTo(entry.streamPosition);
      outcome =
          WritePayloadFile(state.cancelRequested, os, entry.file, output.get(), stream, progress);
    }
    if (outcome.kind == WriteOutcome::Kind::kStopped) return false;
    // The error is kept, every handle closed, then the failure reported.
    if (outcome.kind == WriteOutcome::Kind::kFailed) {
      output.Reset();
      stream.Close();
      FailWithError(os, outcome.code, outcome.what);
    }
    if (!HoldWrittenFile(state, os, path, std::move(output))) {
      if (StopRequested(state)) return false;
      const uint32_t code = os.process.LastError();
      stream.Close();
      FailWithError(os, code, u"Holding " + entry.file.name);
    }
  }
  if (!stream.VerifyRest()) {
    const WString what = stream.FailedRead();
    stream.Close();
    FailWithError(os, platform::kErrorCrc, what);
  }
  progress.Finish();
  return true;
}

bool CreateParentDirectories(LauncherState& state, const platform::Platform& os,
                             const WString& baseFolder, const WString& relativeName,
                             std::set<WString>& madeFolders) {
  const std::vector<WString> parts = payload::SplitPathParts(relativeName);
  if (parts.size() <= 1) return true;

  WString path = baseFolder;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const WString candidate = path + parts[i];
    // Made by this run for an earlier file, or nowhere yet: whatever else
    // stands there, this run did not make it.
    if (madeFolders.insert(FolderKey(candidate)).second &&
        !MakeWorkspaceFolder(state, os, candidate)) {
      if (StopRequested(state)) return false;
      FatalError(os, u"CreateDirectory");
    }
    path = candidate + u"\\";
  }
  return true;
}
