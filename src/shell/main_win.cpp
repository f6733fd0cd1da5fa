// The program's entry point on Windows.
//
// A disc front end is often started from a download folder, where other
// downloads can leave a planted version.dll or uxtheme.dll beside it. So the
// exe imports only libraries the system always loads from its own folder, and
// the first thing it does is to restrict every later library load to the
// system folder; the common controls and the shell are loaded only after
// that.
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

// Loads a library from the system folder only, once the search is
// restricted; before that (an old Windows 7) without naming the folder, the
// current folder at least being off the search.
HMODULE LoadFromSystemFolder(const wchar_t* name, bool searchRestricted) {
  return searchRestricted ? LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)
                          : LoadLibraryW(name);
}

// Loads the common controls library (version 6 through the manifest) and
// registers the progress bar and the standard control classes.
void InitCommonControlsFromSystemFolder(bool searchRestricted) {
  HMODULE commonControls = LoadFromSystemFolder(L"comctl32.dll", searchRestricted);
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

// Loads, from the system folder, the libraries that the visual styles and
// the shell pull in as delay-loaded imports. Some loaders (Wine's, for one)
// resolve delayed imports with the default search order, which still starts
// in the exe's folder; a library already loaded is never searched for again.
void PreloadDelayedSystemLibraries(bool searchRestricted) {
  if (!searchRestricted) return;
  for (const wchar_t* name : {L"msimg32.dll", L"ole32.dll", L"oleaut32.dll", L"shcore.dll"}) {
    LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

// shell32 is not imported: it pulls in shlwapi, shcore and more, which the
// loader would find before the search is restricted. Loaded here, its own
// imports come from the system folder too.
void LoadShellFromSystemFolder(bool searchRestricted) {
  platform::UseShellLibrary(LoadFromSystemFolder(L"shell32.dll", searchRestricted));
  // Kept for the life of the process: documents and msiexec start through it.
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  const bool searchRestricted = RestrictLibrarySearchToSystemFolder();
  PreloadDelayedSystemLibraries(searchRestricted);
  InitCommonControlsFromSystemFolder(searchRestricted);
  LoadShellFromSystemFolder(searchRestricted);

  static platform::WindowsPlatform windowsPlatform;
  const platform::Platform& os = windowsPlatform.os;
  launcherState.defaultLcid = static_cast<int32_t>(os.process.UserDefaultLanguage());
  static Launcher launcher{launcherState, os};
  SetActiveLauncher(&launcher);

  if (!InitInstance(launcherState, os, instance, showCommand)) return 0;
  RunMainLoop(os, launcherState.mainWindow);
}
