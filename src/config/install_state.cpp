#include "config/install_state.h"

#include <algorithm>

#include "platform/unique_handles.h"

namespace {

using platform::Registry;
using platform::UniqueHKey;

constexpr int32_t kEnglishUnitedStates = 1033;

// Room of the PathVal buffer in UTF-16 units (MAX_PATH), terminator included.
constexpr uint32_t kPathValRoom = 260;

UniqueHKey OpenQueryKey(Registry& registry, Registry::Root root, const WString& path) {
  platform::KeyHandle key = nullptr;
  if (registry.OpenKey(root, path, &key) != platform::kErrorSuccess) return UniqueHKey();
  return UniqueHKey(registry, key);
}

// Reads PathVal as text ending at its terminator. A value stored without a
// terminator is cut at its own length, never read past; one that fills the
// whole buffer without one would need a 261st unit for it, so it does not
// fit. nullopt when the value is missing, empty or does not fit.
std::optional<WString> ReadPathValue(Registry& registry, platform::KeyHandle key) {
  WChar buffer[kPathValRoom] = {};
  uint32_t size = sizeof(buffer);
  if (registry.QueryValue(key, u"PathVal", buffer, &size) != platform::kErrorSuccess) {
    return std::nullopt;
  }
  if (size == 0) return std::nullopt;
  // An odd trailing byte is not part of any UTF-16 unit.
  const size_t units = std::min<size_t>(size / sizeof(WChar), kPathValRoom);
  WChar* const end = std::find(buffer, buffer + units, u'\0');
  if (end == buffer + kPathValRoom) return std::nullopt;
  return WString(buffer, static_cast<size_t>(end - buffer));
}

}  // namespace

int32_t ReadLanguagePreference(const platform::Platform& os, const WString& keyPath) {
  UniqueHKey key = OpenQueryKey(os.registry, Registry::Root::kLocalMachine, keyPath);
  if (!key) return static_cast<int32_t>(os.process.UserDefaultLanguage());

  // A value shorter than four bytes lands in the low bytes, as it would in
  // the DWORD itself; a value that cannot be read leaves US English.
  int32_t stored = kEnglishUnitedStates;
  uint32_t size = sizeof(stored);
  if (os.registry.QueryValue(key.get(), u"LanguageVal", &stored, &size) !=
      platform::kErrorSuccess) {
    return kEnglishUnitedStates;
  }
  return stored;
}

bool DetectInstallation(LauncherState& state, const platform::Platform& os) {
  bool installed = false;
  UniqueHKey key = OpenQueryKey(os.registry, Registry::Root::kLocalMachine, state.registryKey);
  if (key) {
    if (std::optional<WString> pathValue = ReadPathValue(os.registry, key.get())) {
      state.installDir = *pathValue;
      // PathVal ends with a backslash, so nothing is put between the two.
      state.gameProbePath = *pathValue + state.gameExeName;
      // A wildcard names no one file: the probe would match some other file,
      // and Play would then start a pattern. Such a value finds no game.
      const bool namesOneFile = state.gameProbePath.find_first_of(u"*?") == WString::npos;
      platform::FindEntry entry;
      platform::UniqueFindHandle found;
      if (namesOneFile) {
        found =
            platform::UniqueFindHandle(os.files, os.files.FindFirst(state.gameProbePath, &entry));
      }
      if (!found) state.gameProbePath.clear();
      // A probe that misses keeps the executable an earlier probe found.
      if (!state.gameProbePath.empty()) state.gameExePath = state.gameProbePath;
      installed = !state.gameExePath.empty();
    }
  }
  if (!installed) {
    state.gameProbePath.clear();
    state.gameExePath.clear();
  }
  return installed;
}

bool IsPdfHandlerRegistered(const platform::Platform& os) {
  // Only the key's existence counts; whatever program stands behind it.
  return OpenQueryKey(os.registry, Registry::Root::kClassesRoot, u".pdf").valid();
}
