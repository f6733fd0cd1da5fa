#include "install/installer.h"

#include "install/payload.h"
#include "platform/unique_handles.h"
#include "shell/launcher.h"
#include "shell/startup.h"

namespace {

constexpr uint32_t kInstallerPollMilliseconds = 5;
constexpr uint32_t kStopWaitSliceMilliseconds = 10;
// 300 slices of 10 ms: the stop waits about three seconds at most.
constexpr int kStopWaitSlices = 300;

}  // namespace

WString BuildInstallerParameters(const WString& packagePath, const WString& transformName) {
  // The path is quoted so that a workspace or disc path with blanks stays
  // one argument.
  WString parameters = u"/i \"" + packagePath + u"\"";
  if (!transformName.empty()) {
    // The leading colon names a transform stored inside the package.
    parameters += u" TRANSFORMS=\":" + transformName + u".mst\"";
  }
  return parameters;
}

bool RunInstaller(LauncherState& state, const platform::Platform& os) {
  const WString parameters = BuildInstallerParameters(state.packagePath, state.transformName);

  // Named by its full path: a search would look in the current folder first,
  // which may be a disc or download folder holding a planted msiexec.exe.
  const WString systemFolder = os.process.SystemFolder();
  if (systemFolder.empty()) return false;
  platform::UniqueProcessHandle installer(
      os.process,
      os.shell.StartProcess(systemFolder + u"msiexec.exe", parameters, platform::kShowNormal));
  if (!installer) return false;

  os.windows.Show(state.mainWindow, platform::kShowHide);
  uint32_t waitState = platform::kWaitTimeout;
  while (waitState == platform::kWaitTimeout) {
    os.process.Sleep(kInstallerPollMilliseconds);
    waitState = os.process.WaitForProcess(installer.get(), 0);
    PumpMessages(state, os);
    // The program is ending: stop waiting and leave the installer running.
    if (state.cancelRequested.load()) break;
  }
  return true;
}

uint32_t InstallWorker(void* /*parameter*/) {
  Launcher* launcher = ActiveLauncher();
  if (launcher == nullptr) return 0;
  LauncherState& state = launcher->state;
  const platform::Platform& os = launcher->os;

  bool started = ExtractPayload(state, os, state.workspaceDir);
  if (started && !state.cancelRequested.load()) started = RunInstaller(state, os);
  // The main thread is ending the program and removes the workspace itself.
  if (state.cancelRequested.load()) return 0;
  if (started) ExitLauncher(state, os, 0, false);

  os.windows.MessageBox(state.mainWindow, u"Error launching installation.", u"Error",
                        platform::kMessageBoxIconError);
  return 0;
}

void StopInstallWorker(LauncherState& state, const platform::Platform& os) {
  state.cancelRequested.store(true);
  if (state.workerThread == nullptr) return;
  // The worker itself cannot wait for its own end.
  if (os.process.CurrentThreadId() == state.workerThreadId) return;

  for (int slice = 0; slice < kStopWaitSlices; ++slice) {
    if (os.process.WaitForThread(state.workerThread, kStopWaitSliceMilliseconds)) return;
    // A worker blocked in a progress message sent to this thread goes on
    // only once this thread handles it.
    PumpMessages(state, os);
  }
}
