// A launcher after start-up, for tests of the window, the commands and the
// readme: a three-entry language list, the product's registry key and a
// dialog of the chosen layout in the fake.
#pragma once

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "launcher_state.h"
#include "resource_ids.h"

inline const WString kProductKey = u"SOFTWARE\\Forge\\Skyforge2";
inline const WString kProductName = u"Skyforge 2: Iron Vale";
inline const WString kInstallDir = u"C:\\Games\\Skyforge 2\\";
inline const WString kGameExe = u"C:\\Games\\Skyforge 2\\Skyforge2.exe";
// The launcher's own folder; the fake's current folder (D:\\) is another.
inline const WString kDiscFolder = u"E:\\Disc\\";

class LauncherWindowTest : public ::testing::Test {
 protected:
  // English (United Kingdom), French and German, English selected.
  void StartLauncher(bool launcherMode) {
    state.launcherMode = launcherMode;
    state.mainWindow = fake.windows.MakeDialog(launcherMode ? IDD_LAUNCHER : IDD_INSTALLER);
    state.waitCursor = fake.windows.waitCursor;
    state.registryKey = kProductKey;
    state.gameExeName = u"Skyforge2.exe";
    state.programFolder = kDiscFolder;
    state.packagePath = kDiscFolder + u"Skyforge2.msi";
    state.websiteUrl = u"https://skyforge.example/";
    state.defaultLcid = 2057;
    state.languageIds = {2057, 1036, 1031};
    state.languageNames = {u"English", u"Fran\u00e7ais", u"Deutsch"};
    state.productNames = {kProductName, u"Skyforge 2 : Val de Fer", u"Skyforge 2 Eisental"};
    state.selectedIndex = 0;
    state.selectedLcid = 2057;
  }

  // What the product's package leaves behind.
  void InstallGame() {
    fake.registry.SetString(kProductKey, u"PathVal", kInstallDir);
    fake.files.AddFile(kGameExe);
  }

  FakeWindow& Control(int controlId) { return *fake.windows.Control(controlId); }
  FakeWindow& Dialog() { return *fake.windows.Dialog(); }
  platform::WindowHandle Handle(int controlId) {
    return fake.windows.DialogItem(state.mainWindow, controlId);
  }

  FakePlatform fake;
  LauncherState state;
};
