#include "install/workspace.h"

#include "platform/unique_handles.h"

namespace {

bool IsLink(uint32_t attributes) {
  return (attributes & platform::kFileAttributeReparsePoint) != 0;
}

bool IsFolder(uint32_t attributes) { return (attributes & platform::kFileAttributeDirectory) != 0; }

// A link is removed as what it looks like (a folder link with RemoveFolder,
// anything else with RemoveFile); its target is never touched.
void RemoveLink(const platform::Platform& os, const WString& path, uint32_t attributes) {
  if (IsFolder(attributes)) {
    os.files.RemoveFolder(path);
  } else {
    os.files.RemoveFile(path);
  }
}

}  // namespace

void DeleteDirectoryTree(const platform::Platform& os, WString path) {
  if (path.empty()) return;

  // The workspace itself may have been replaced by a link: listing through it
  // would empty the folder it points to.
  const uint32_t ownAttributes = os.files.Attributes(path);
  if (ownAttributes != platform::kInvalidFileAttributes && IsLink(ownAttributes)) {
    RemoveLink(os, path, ownAttributes);
    return;
  }

  platform::FindEntry entry;
  platform::UniqueFindHandle listing(os.files, os.files.FindFirst(path + u"\\*", &entry));
  if (!listing) return;

  do {
    if (entry.name == u"." || entry.name == u"..") continue;
    const WString child = path + u"\\" + entry.name;
    if (IsLink(entry.attributes)) {
      RemoveLink(os, child, entry.attributes);
    } else if (IsFolder(entry.attributes)) {
      DeleteDirectoryTree(os, child);
    } else {
      os.files.RemoveFile(child);
    }
  } while (os.files.FindNext(listing.get(), &entry));

  // The listing holds the folder open; close it before removing the folder.
  listing.Reset();
  os.files.RemoveFolder(path);
}
