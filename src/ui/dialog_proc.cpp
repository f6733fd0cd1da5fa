#include "ui/dialog_proc.h"

#include "config/install_state.h"
#include "install/installer.h"
#include "install/lifetime.h"
#include "launcher.h"
#include "localization/catalogue.h"
#include "resource_ids.h"
#include "ui/background_art.h"
#include "ui/readme_viewer.h"
#include "ui/refresh_window.h"

namespace {

void Install(LauncherState& state, const platform::Platform& os) {
  const platform::WindowHandle button = os.windows.DialogItem(state.mainWindow, IDC_INSTALL);
  os.windows.SetText(button, GetLocalizedString(state, STR_INSTALL, state.selectedLcid));
  os.windows.Enable(button, false);
  os.windows.SetCursor(state.waitCursor);
  // The installer hides the window only once msiexec has started.
  if (RunInstaller(state, os)) os.windows.Show(state.mainWindow, platform::kShowNormal);
  // The installer's exit code says nothing reliable; the registry and the
  // disk decide what the window offers next.
  RefreshWindow(state, os, DetectInstallation(state, os));
}

void Uninstall(LauncherState& state, const platform::Platform& os) {
  // The package's default action is its maintenance mode; the launcher does
  // not wait for it and ends whether or not the shell could open it.
  os.shell.Execute(WString(), state.packagePath, WString(), state.programFolder,
                   platform::kShowNormal);
  ExitLauncher(state, os, 0, false);
}

void OpenWebsite(const LauncherState& state, const platform::Platform& os) {
  os.shell.Execute(u"open", state.websiteUrl, WString(), WString(), platform::kShowNormal);
}

// A player who steps through the list with the keys or the wheel, closed or
// dropped down, stays in it: the refresh neither takes the focus away nor
// closes the list. A mouse click that chose an entry passes the focus on to
// the button that leads, as start-up does.
RefreshFocus FocusAfterLanguageChange(const platform::Platform& os, platform::WindowHandle combo) {
  const bool choiceInTheList = os.windows.HasFocus(combo) && !os.windows.HandlingMouseClick();
  return choiceInTheList ? RefreshFocus::kUnchanged : RefreshFocus::kLeadingControl;
}

void ChangeLanguage(LauncherState& state, const platform::Platform& os) {
  const platform::WindowHandle combo = os.windows.DialogItem(state.mainWindow, IDC_LANGUAGE);
  const int selection = os.windows.ComboSelection(combo);
  int32_t index = selection == platform::kComboError ? 0 : selection;
  if (index < 0 || static_cast<size_t>(index) >= state.languageIds.size()) index = 0;
  // Without any entry there is no language to change to.
  if (!state.languageIds.empty()) {
    state.selectedIndex = index;
    state.selectedLcid = state.languageIds[static_cast<size_t>(index)];
  }
  RefreshWindow(state, os, DetectInstallation(state, os), FocusAfterLanguageChange(os, combo));
}

void Continue(LauncherState& state, const platform::Platform& os) {
  const platform::WindowHandle continueButton =
      os.windows.DialogItem(state.mainWindow, IDC_CONTINUE);
  const platform::WindowHandle combo = os.windows.DialogItem(state.mainWindow, IDC_LANGUAGE);
  // From here on the worker reads the selection and the transform without a
  // lock, so nothing may change them any more.
  os.windows.Enable(continueButton, false);
  os.windows.Enable(combo, false);
  os.windows.SetCursor(state.waitCursor);
  // The worker ends the process itself; its handle is kept so that an exit
  // from the main thread can stop it and wait for it (StopInstallWorker).
  state.workerThread = os.process.StartThread(InstallWorker, nullptr, &state.workerThreadId);
}

void HandleCommand(LauncherState& state, const platform::Platform& os, int controlId,
                   unsigned notification) {
  switch (controlId) {
    case IDC_INSTALL:
      Install(state, os);
      break;
    case IDC_PLAY:
      ExitLauncher(state, os, 0, true);
    case IDC_UNINSTALL:
      Uninstall(state, os);
      break;
    case IDC_README:
      ShowReadme(state, os);
      break;
    case IDC_EXIT:
      ExitLauncher(state, os, 0, false);
    case IDC_WEBSITE:
      OpenWebsite(state, os);
      break;
    case IDC_LANGUAGE:
      // Opening or closing the list without a new choice changes nothing.
      if (notification == platform::kComboSelectionChanged) ChangeLanguage(state, os);
      break;
    case IDC_CONTINUE:
      Continue(state, os);
      break;
    default:
      // IDOK and IDCANCEL (Enter and Escape) deliberately do nothing: only
      // Exit and the close box end the launcher.
      break;
  }
}

}  // namespace

void HandleDialogMessage(LauncherState& state, const platform::Platform& os, uint32_t message,
                         uintptr_t wParam, intptr_t /*lParam*/) {
  switch (message) {
    case platform::kMessageClose:
      ExitLauncher(state, os, 0, false);
    case platform::kMessageCommand:
      HandleCommand(state, os, static_cast<int>(wParam & 0xFFFF),
                    static_cast<unsigned>((wParam >> 16) & 0xFFFF));
      break;
    case platform::kMessageDpiChanged:
      // The dialog manager lays the window out at the new DPI once this
      // message is done with; the art and the icons follow after that.
      os.windows.Post(state.mainWindow, platform::kMessageLayoutChanged);
      break;
    case platform::kMessageLayoutChanged:
      os.windows.SetIcons(state.mainWindow, IDI_APP);
      ShowBackgroundArt(state, os);
      break;
    default:
      // WM_INITDIALOG included: the refresh sets the first focus itself.
      break;
  }
}

intptr_t LauncherDialogProc(platform::WindowHandle /*window*/, uint32_t message, uintptr_t wParam,
                            intptr_t lParam) {
  // Messages sent while the dialog is being created arrive before start-up
  // has made the launcher active.
  if (Launcher* launcher = ActiveLauncher()) {
    HandleDialogMessage(launcher->state, launcher->os, message, wParam, lParam);
  }
  return 0;
}
