#include "install/lifetime.h"

#include <cstdlib>

#include "install/installer.h"
#include "install/payload.h"
#include "install/workspace.h"
#include "launcher.h"
#include "platform/message_loop.h"

namespace {

constexpr uint32_t kStopWaitSliceMilliseconds = 10;
// 300 slices of 10 ms: the stop waits about three seconds at most.
constexpr int kStopWaitSlices = 300;

}  // namespace

uint32_t InstallWorker(void* /*parameter*/) {
  Launcher* launcher = ActiveLauncher();
  if (launcher == nullptr) return 0;
  LauncherState& state = launcher->state;
  const platform::Platform& os = launcher->os;

  bool started = ExtractPayload(state, os);
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
    // A worker that only shows its fatal error box holds nothing in the
    // workspace and has nothing left to finish; the box goes with the process.
    if (state.fatalErrorShown.load()) return;
    if (os.process.WaitForThread(state.workerThread, kStopWaitSliceMilliseconds)) return;
    // A worker blocked in a message sent to this thread (the bar's range,
    // hiding the window) goes on only once this thread handles it.
    PumpMessages(os, state.mainWindow);
  }
}

void ExitLauncher(LauncherState& state, const platform::Platform& os, int32_t exitCode,
                  bool launchGame) {
  if (!state.launcherMode) {
    // On the main thread a running worker is stopped first, so that it
    // writes nothing into the workspace after the removal.
    const bool onWorker =
        state.workerThread != nullptr && os.process.CurrentThreadId() == state.workerThreadId;
    if (state.workerThread != nullptr && !onWorker) StopInstallWorker(state, os);
    RemoveWorkspace(state, os);
  }
  os.windows.Destroy(state.mainWindow);
  if (launchGame) {
    os.shell.Execute(WString(), state.gameExePath, WString(), state.installDir,
                     platform::kShowNormal);
  }
  // The process ends without exit-time destruction: the worker thread may
  // still read the state record while this thread ends the process.
  os.process.Terminate(static_cast<uint32_t>(exitCode));
  std::abort();  // not reached: compilers do not carry [[noreturn]] through a virtual call
}
