// The one process-wide state record of the launcher.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/platform.h"
#include "platform/text.h"
#include "platform/unique_handles.h"

// One folder or file this run made in its workspace, held open from when it
// was made (a file: from when it was written and checked) until the
// workspace is removed, so that no one can remove, rename or rewrite it.
struct WorkspaceEntry {
  WString path;
  bool folder = false;
  platform::UniqueFileHandle hold;
};

struct LauncherState {
  LauncherState() = default;
  LauncherState(const LauncherState&) = delete;
  LauncherState& operator=(const LauncherState&) = delete;

  platform::ModuleHandle instance = nullptr;
  platform::WindowHandle mainWindow = nullptr;
  platform::CursorHandle waitCursor = nullptr;
  bool launcherMode = false;
  bool pdfHandlerRegistered = false;
  WString registryKey;
  WString gameExeName;
  WString packagePath;
  // The folder of the program's own file, with a final backslash; empty
  // when the system does not say. The launcher's package and documents are
  // found there, never in the current folder.
  WString programFolder;
  // The run's own workspace, with a final backslash, once it is made.
  WString workspaceDir;
  WString websiteUrl;
  WString installDir;
  WString gameProbePath;
  WString gameExePath;
  std::vector<int32_t> languageIds;
  std::vector<WString> languageNames;
  std::vector<WString> productNames;
  int32_t selectedIndex = 0;
  int32_t selectedLcid = 0;
  // The user's default language until start-up stores the preference; the
  // owner of the record fills it in when the process starts.
  int32_t defaultLcid = 0;
  WString transformName;
  std::map<int32_t, WString> countryCodes;
  platform::ThreadHandle workerThread = nullptr;
  uint32_t workerThreadId = 0;
  // Set by the main thread when it ends the program while the worker runs;
  // the worker checks it between chunks and while it waits for msiexec.
  std::atomic<bool> cancelRequested{false};
  // Set by the fatal error reporter before it shows its box: a worker that
  // only shows that box has nothing left to finish, so the ending does not
  // wait for it.
  std::atomic<bool> fatalErrorShown{false};
  // What this run made in its workspace, oldest first: made by the worker,
  // removed by whichever thread ends the program, each under the lock.
  std::vector<WorkspaceEntry> workspaceEntries;
  std::atomic_flag workspaceLock = ATOMIC_FLAG_INIT;
  bool workspaceRemoved = false;
};
