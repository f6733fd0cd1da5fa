// Start-up order, the single-instance guard and the mode decision.
#include "shell/startup.h"

#include <gtest/gtest.h>

#include "config/product_config.h"
#include "fake_platform.h"
#include "resource_ids.h"

namespace {

const WString kMutex = u"0F8E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B";

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() {
    fake.resources.strings = {
        {IDS_LANGUAGE_IDS, u"2057;1036;"},
        {IDS_REGISTRY_KEY, u"Software\\Quillmark\\Skyforge2"},
        {IDS_INSTANCE_MUTEX, kMutex},
        {IDS_PRODUCT_NAMES, u"Skyforge 2;Skyforge 2 FR;"},
        {IDS_PACKAGE_NAME, u"Skyforge2.msi"},
        {IDS_GAME_EXE, u"Skyforge2.exe"},
        {IDS_WEBSITE_URL, u"https://example.com/"},
    };
  }
  void UseInstallerMode() {
    fake.resources.SetData(IDR_PAYLOAD_MANIFEST, std::string("a.msi;\0", 7));
  }

  FakePlatform fake;
  LauncherState state;
};

TEST_F(StartupTest, SecondCopyIsRefusedBeforeAnythingIsShown) {
  fake.process.existingMutexes.insert(kMutex);
  EXPECT_FALSE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  EXPECT_EQ(fake.CallCount("CreateDialogParamW"), 0);
  EXPECT_EQ(fake.windows.Dialog(), nullptr);
  EXPECT_EQ(fake.process.createdMutexes, std::vector<WString>{kMutex});
  // The documentation table is filled before the guard runs.
  EXPECT_EQ(state.countryCodes.size(), 18u);
}

TEST_F(StartupTest, MutexFailureForAnotherReasonDoesNotStopStartUp) {
  fake.FailNext("CreateMutexW", platform::kErrorAccessDenied);
  EXPECT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
}

// The package lies beside the program, whatever folder it was started from.
TEST_F(StartupTest, LauncherModeUsesTheLauncherTemplateAndThePackageBesideIt) {
  fake.resources.programPath = u"E:\\Disc\\Autorun.exe";
  fake.files.currentFolder = u"C:\\Users\\Jane Doe\\Downloads\\";
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  EXPECT_TRUE(state.launcherMode);
  EXPECT_EQ(fake.windows.templateId, static_cast<uint32_t>(IDD_LAUNCHER));
  EXPECT_EQ(state.programFolder, u"E:\\Disc\\");
  EXPECT_EQ(state.packagePath, u"E:\\Disc\\Skyforge2.msi");
  EXPECT_TRUE(state.workspaceDir.empty());
  EXPECT_EQ(state.gameExeName, u"Skyforge2.exe");
  EXPECT_EQ(state.websiteUrl, u"https://example.com/");
  EXPECT_EQ(state.registryKey, u"Software\\Quillmark\\Skyforge2");
  EXPECT_EQ(fake.windows.Dialog()->iconId, static_cast<uint32_t>(IDI_APP));
  EXPECT_EQ(state.waitCursor, fake.windows.waitCursor);
  EXPECT_EQ(fake.windows.Dialog()->text, u"Skyforge 2");
}

// The workspace is made when the payload is unpacked, not at start-up.
TEST_F(StartupTest, InstallerModeMakesNoWorkspaceYet) {
  UseInstallerMode();
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  EXPECT_FALSE(state.launcherMode);
  EXPECT_EQ(fake.windows.templateId, static_cast<uint32_t>(IDD_INSTALLER));
  EXPECT_TRUE(state.workspaceDir.empty());
  EXPECT_EQ(state.packagePath, u"Skyforge2.msi");
  EXPECT_EQ(fake.CallCount("CreateDirectoryW"), 0);
}

TEST_F(StartupTest, UnusableTemporaryFolderNeverYieldsARelativeWorkspace) {
  struct Case {
    const char* what;
    WString tempPath;
    std::optional<uint32_t> reported;
  };
  const Case cases[] = {
      {"call failed", u"C:\\Temp\\", 0u},
      {"longer than the buffer", u"C:\\Temp\\", 300u},
      {"relative", u"Temp\\", std::nullopt},
      {"no final backslash", u"C:\\Temp", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fake.files.tempPath = c.tempPath;
    fake.files.tempPathResult = c.reported;
    EXPECT_EQ(UsableTempFolder(fake.os), std::nullopt);
  }
  fake.files.tempPath = kTempFolder;
  fake.files.tempPathResult.reset();
  EXPECT_EQ(UsableTempFolder(fake.os), kTempFolder);
}

TEST_F(StartupTest, WindowCreationFailureRefusesStartUp) {
  fake.FailNext("CreateDialogParamW", 1813);
  EXPECT_FALSE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
}

TEST_F(StartupTest, ShowCommandIsAppliedAfterTheWindowIsSetUp) {
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowMinimized));
  EXPECT_EQ(fake.windows.Dialog()->showCommand, platform::kShowMinimized);
  const size_t show = fake.FirstCall("ShowWindow");
  EXPECT_LT(fake.FirstCall("RegOpenKeyExW"), show);
  EXPECT_LT(fake.FirstCall("CB_SETCURSEL"), show);
  EXPECT_LT(fake.FirstCall("SetWindowTextW"), show);
  EXPECT_LT(show, fake.FirstCall("UpdateWindow"));
  EXPECT_LT(show, fake.FirstCall("LoadCursorW"));
}

TEST_F(StartupTest, PreferenceFromTheRegistrySelectsItsEntry) {
  fake.registry.SetDword(u"Software\\Quillmark\\Skyforge2", u"LanguageVal", 1036);
  ASSERT_TRUE(InitInstance(state, fake.os, nullptr, platform::kShowNormal));
  EXPECT_EQ(state.defaultLcid, 1036);
  EXPECT_EQ(state.selectedLcid, 1036);
  EXPECT_EQ(state.selectedIndex, 1);
  EXPECT_EQ(state.transformName, u"fr-fr");
}

// The controls arrow keys move among from each control: the dialog
// manager's group, which starts at a control with WS_GROUP and runs on,
// past the last control into the first ones, up to the next such control.
std::vector<std::vector<const FakeWindow*>> ArrowKeyGroups(const FakeWindow& dialog) {
  const std::vector<FakeWindow*>& controls = dialog.children;
  const size_t count = controls.size();
  size_t start = 0;
  while (start < count && !(controls[start]->style & platform::kStyleGroup)) ++start;
  if (start == count) start = 0;
  std::vector<std::vector<const FakeWindow*>> groups;
  for (size_t step = 0; step < count; ++step) {
    const FakeWindow* control = controls[(start + step) % count];
    if (groups.empty() || (control->style & platform::kStyleGroup)) groups.emplace_back();
    groups.back().push_back(control);
  }
  return groups;
}

// Whatever takes no focus from Tab takes none from the arrow keys either,
// while the arrow keys still move among all the others; the tab order and
// every other style stay as the template has them. The picture has no name
// for a screen reader to read.
TEST_F(StartupTest, ControlsThatTakeNoFocusAreOutOfReachOfTheArrowKeys) {
  for (const bool launcherMode : {true, false}) {
    SCOPED_TRACE(launcherMode ? "launcher" : "installer");
    FakePlatform localFake;
    localFake.resources.strings = fake.resources.strings;
    if (!launcherMode) {
      localFake.resources.SetData(IDR_PAYLOAD_MANIFEST, std::string("a.msi;\0", 7));
    }
    std::vector<uint32_t> templateStyles;
    const auto* untouched = static_cast<FakeWindow*>(
        localFake.windows.MakeDialog(launcherMode ? IDD_LAUNCHER : IDD_INSTALLER));
    for (const FakeWindow* control : untouched->children) templateStyles.push_back(control->style);

    LauncherState localState;
    ASSERT_TRUE(InitInstance(localState, localFake.os, nullptr, platform::kShowNormal));
    const FakeWindow& dialog = *localFake.windows.Dialog();
    size_t tabStops = 0;
    for (size_t index = 0; index < dialog.children.size(); ++index) {
      const uint32_t style = dialog.children[index]->style;
      EXPECT_EQ(style & ~platform::kStyleGroup, templateStyles[index] & ~platform::kStyleGroup);
      if (style & platform::kStyleTabStop) ++tabStops;
    }
    for (const auto& group : ArrowKeyGroups(dialog)) {
      const bool focusable = group.front()->style & platform::kStyleTabStop;
      // The passive ones alone; every focusable control in one group.
      EXPECT_EQ(group.size(), focusable ? tabStops : 1u)
          << "group of control " << group.front()->controlId;
      for (const FakeWindow* control : group) {
        EXPECT_EQ(static_cast<bool>(control->style & platform::kStyleTabStop), focusable);
      }
    }
    if (launcherMode) {
      EXPECT_EQ(dialog.children[1]->text, u"");  // the picture
    }
  }
}

}  // namespace
