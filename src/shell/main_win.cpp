// The program's entry point on Windows.
//
// A disc front end is often started from a download folder, where other
// downloads can leave a planted version.dll or uxtheme.dll beside it. So the
// exe imports only libraries the system always loads from its own folder, and
// the first thing it does is to restrict every later library load to the
// system folder; the common controls are loaded only after that.
#include "launcher.h"
#include "launcher_state.h"
#include "platform/message_loop.h"
#include "platform/windows_include.h"
#include "platform/windows_platform.h"
#include "shell/startup.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

// The one state record of the process; it exists before the entry point runs.
LauncherState launcherState;

// Looks up a function of an already loaded library, for calls that older
// systems lack or that must not be static imports.
template <typename Function>
Function LookUp(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Returns whether the system folder is now the only place libraries are
// loaded from by name. Systems without SetDefaultDllDirectories (Windows 7
// before its 2011 loader update) at least lose the current folder.
bool RestrictLibrarySearchToSystemFolder() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  auto setDefaultDllDirectories = LookUp<SetDefaultDllDirectoriesFunction>(
      GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  if (setDefaultDllDirectories != nullptr &&
      setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return true;
  }
  SetDllDirectoryW(L"");
  return false;
}

// Loads the common controls library (version 6 through the manifest) and
// registers the progress bar and the standard control classes.
void InitCommonControlsFromSystemFolder(bool searchRestricted) {
  HMODULE commonControls =
      searchRestricted ? LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)
                       : LoadLibraryW(L"comctl32.dll");
  using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto initCommonControlsEx =
      LookUp<InitCommonControlsExFunction>(commonControls, "InitCommonControlsEx");
  if (initCommonControlsEx == nullptr) return;
  INITCOMMONCONTROLSEX classes{};
  classes.dwSize = sizeof(classes);
  classes.dwICC = ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
  initCommonControlsEx(&classes);
  // The library stays loaded for the life of the process: the window's
  // controls belong to it.
}

// Loads, from the system folder, the libraries that the visual styles pull in
// as delay-loaded imports. Some loaders (Wine's, for one) resolve delayed
// imports with the default search order, which still starts in the exe's
// folder; a library already loaded is never searched for again.
void PreloadDelayedSystemLibraries(bool searchRestricted) {
  if (!searchRestricted) return;
  LoadLibraryExW(L"msimg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  const bool searchRestricted = RestrictLibrarySearchToSystemFolder();
  PreloadDelayedSystemLibraries(searchRestricted);
  InitCommonControlsFromSystemFolder(searchRestricted);

  static platform::WindowsPlatform windowsPlatform;
  const platform::Platform& os = windowsPlatform.os;
  launcherState.defaultLcid = static_cast<int32_t>(os.process.UserDefaultLanguage());
  static Launcher launcher{launcherState, os};
  SetActiveLauncher(&launcher);

  if (!InitInstance(launcherState, os, instance, showCommand)) return 0;
  RunMainLoop(os, launcherState.mainWindow);
}
