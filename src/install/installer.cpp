#include "install/installer.h"

#include "platform/message_loop.h"
#include "platform/unique_handles.h"

namespace {

constexpr uint32_t kInstallerPollMilliseconds = 5;

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
  // It starts in the program's own folder, not in whatever folder the
  // program was started from.
  platform::UniqueProcessHandle installer(
      os.process, os.shell.StartProcess(systemFolder + u"msiexec.exe", parameters,
                                        state.programFolder, platform::kShowNormal));
  if (!installer) return false;

  os.windows.Show(state.mainWindow, platform::kShowHide);
  uint32_t waitState = platform::kWaitTimeout;
  while (waitState == platform::kWaitTimeout) {
    os.process.Sleep(kInstallerPollMilliseconds);
    waitState = os.process.WaitForProcess(installer.get(), 0);
    PumpMessages(os, state.mainWindow);
    // The program is ending: stop waiting and leave the installer running.
    if (state.cancelRequested.load()) break;
  }
  return true;
}
