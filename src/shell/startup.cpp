#include "shell/startup.h"

#include "config/install_state.h"
#include "config/product_config.h"
#include "localization/catalogue.h"
#include "localization/language_list.h"
#include "resource_ids.h"
#include "ui/background_art.h"
#include "ui/dialog_proc.h"
#include "ui/passive_controls.h"
#include "ui/readme_viewer.h"
#include "ui/refresh_window.h"

bool InitInstance(LauncherState& state, const platform::Platform& os,
                  platform::ModuleHandle instance, int showCommand) {
  FillCountryCodes(state);

  // Only the existence of the name matters: the handle is never closed, so
  // the name lives exactly as long as this process.
  const WString mutexName = os.resources.LoadText(IDS_INSTANCE_MUTEX, kStringRoom);
  bool alreadyRunning = false;
  os.process.CreateInstanceMutex(mutexName, &alreadyRunning);
  if (alreadyRunning) return false;

  state.instance = instance;
  state.pdfHandlerRegistered = IsPdfHandlerRegistered(os);
  state.launcherMode = IsLauncherMode(os);

  state.mainWindow = os.windows.CreateDialogWindow(
      state.launcherMode ? IDD_LAUNCHER : IDD_INSTALLER, LauncherDialogProc);
  if (state.mainWindow == nullptr) return false;
  QuietenPassiveControls(os, state.mainWindow);

  // The launcher's package lies beside it; the installer's lies in its
  // workspace, which the unpacking makes and puts before the name.
  state.programFolder = ProgramFolder(os);
  state.packagePath = os.resources.LoadText(IDS_PACKAGE_NAME, kStringRoom);
  if (state.launcherMode) state.packagePath = state.programFolder + state.packagePath;
  state.gameExeName = os.resources.LoadText(IDS_GAME_EXE, kStringRoom);
  state.websiteUrl = os.resources.LoadText(IDS_WEBSITE_URL, kStringRoom);

  // Icons and art at the sizes of the window's DPI, before it is shown.
  os.windows.SetIcons(state.mainWindow, IDI_APP);
  ShowBackgroundArt(state, os);

  state.registryKey = os.resources.LoadText(IDS_REGISTRY_KEY, kStringRoom);
  state.selectedLcid = ReadLanguagePreference(os, state.registryKey);
  SetDefaultLanguage(state, state.selectedLcid);

  const WString languageIdsText = os.resources.LoadText(IDS_LANGUAGE_IDS, kStringRoom);
  state.selectedIndex = -1;
  BuildLanguageList(state, os, languageIdsText);

  const bool installed = DetectInstallation(state, os);
  RefreshWindow(state, os, installed);

  os.windows.Show(state.mainWindow, showCommand);
  os.windows.Update(state.mainWindow);
  state.waitCursor = os.windows.LoadWaitCursor();
  return true;
}
