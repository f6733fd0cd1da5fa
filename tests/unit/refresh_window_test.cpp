#include "ui/refresh_window.h"

#include <gtest/gtest.h>

#include "launcher_window_fixture.h"

namespace {

TEST(ComposeWebsiteLabel, PlaceholderAndFirstColonRules) {
  struct Case {
    const char* why;
    WString websiteText;
    WString productName;
    WString label;
  };
  const Case cases[] = {
      {"the colon of the name breaks the line", u"{P}\nWebsite", u"Skyforge 2: Iron Vale",
       u"Skyforge 2:\n Iron Vale\nWebsite"},
      {"without a colon only the name goes in", u"{P}\nWebsite", u"Skyforge", u"Skyforge\nWebsite"},
      {"only the first of two colons breaks", u"{P}\nWebsite", u"A: B: C", u"A:\n B: C\nWebsite"},
      {"name last, its colon splits the last line", u"Site Web de\n{P}", u"Skyforge 2: Iron Vale",
       u"Site Web de\nSkyforge 2:\n Iron Vale"},
      {"only the first placeholder is replaced", u"{P} {P}", u"X", u"X {P}"},
      {"text without placeholder is used as it is", u"???", u"Skyforge 2: Iron Vale", u"???"},
      {"a colon in the text itself counts too", u"Site: {P}", u"A: B", u"Site:\n A: B"},
      {"an empty name removes the placeholder", u"{P}\nWebsite", u"", u"\nWebsite"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComposeWebsiteLabel(c.websiteText, c.productName), c.label) << c.why;
  }
}

TEST(ReplaceProductPlaceholder, LeavesTextWithoutPlaceholderUnchanged) {
  EXPECT_EQ(ReplaceProductPlaceholder(u"The {P} eManual", u"Skyforge"), u"The Skyforge eManual");
  EXPECT_EQ(ReplaceProductPlaceholder(u"???", u"Skyforge"), u"???");
  EXPECT_EQ(ReplaceProductPlaceholder(u"{P", u"Skyforge"), u"{P");
}

class RefreshLauncherTest : public LauncherWindowTest {
 protected:
  void SetUp() override { StartLauncher(/*launcherMode=*/true); }
};

// Install before the game is there, Play and Uninstall after, with the
// language then fixed; readme, website and exit stay usable in both. The
// last pass shows that an uninstallation gives Install back.
TEST_F(RefreshLauncherTest, InstallationStateChoosesTheButtonsAndTheFocus) {
  Control(IDC_WEBSITE).enabled = false;
  for (const bool installed : {false, true, false}) {
    SCOPED_TRACE(installed ? "installed" : "not installed");
    RefreshWindow(state, fake.os, installed);

    EXPECT_EQ(Control(IDC_INSTALL).enabled, !installed);
    EXPECT_EQ(Control(IDC_PLAY).enabled, installed);
    EXPECT_EQ(Control(IDC_UNINSTALL).enabled, installed);
    EXPECT_EQ(Control(IDC_LANGUAGE).enabled, !installed);
    EXPECT_EQ(fake.windows.focus, Handle(installed ? IDC_PLAY : IDC_INSTALL));
    EXPECT_TRUE(Control(IDC_README).enabled);
    EXPECT_TRUE(Control(IDC_WEBSITE).enabled);
    EXPECT_TRUE(Control(IDC_EXIT).enabled);
  }
}

TEST_F(RefreshLauncherTest, EnglishTextsAndThreeLineWebsiteLabel) {
  RefreshWindow(state, fake.os, false);

  EXPECT_EQ(Dialog().text, kProductName);
  EXPECT_EQ(Control(IDC_INSTALL).text, u"Install");
  EXPECT_EQ(Control(IDC_PLAY).text, u"Play");
  EXPECT_EQ(Control(IDC_UNINSTALL).text, u"Uninstall");
  EXPECT_EQ(Control(IDC_README).text, u"View Readme");
  EXPECT_EQ(Control(IDC_WEBSITE).text, u"Skyforge 2:\n Iron Vale\nWebsite");
  EXPECT_EQ(Control(IDC_EXIT).text, u"Exit");
}

TEST_F(RefreshLauncherTest, ComboHoldsTheListInOrderWithTheSelectionShown) {
  Control(IDC_LANGUAGE).items = {u"stale"};
  state.selectedIndex = 2;
  state.selectedLcid = 1031;
  for (int pass = 0; pass < 2; ++pass) {
    RefreshWindow(state, fake.os, false);
    EXPECT_EQ(Control(IDC_LANGUAGE).items, state.languageNames);
    EXPECT_EQ(Control(IDC_LANGUAGE).selection, 2);
  }
}

// A language chosen inside the list, closed or dropped down, leaves the list
// as the player has it: focused, open, not refilled; the texts follow at
// once all the same. Once an installation locks the list, the focus moves on.
TEST_F(LauncherWindowTest, ChangeFromInsideTheListLeavesTheFocusAndTheOpenList) {
  for (const bool launcherMode : {true, false}) {
    SCOPED_TRACE(launcherMode ? "launcher" : "installer");
    StartLauncher(launcherMode);
    RefreshWindow(state, fake.os, false);
    FakeWindow& combo = Control(IDC_LANGUAGE);
    fake.windows.focus = Handle(IDC_LANGUAGE);
    combo.dropped = true;
    combo.selection = 1;
    state.selectedIndex = 1;
    state.selectedLcid = 1036;
    const int refills = fake.CallCount("CB_RESETCONTENT");
    const int selects = fake.CallCount("CB_SETCURSEL");

    RefreshWindow(state, fake.os, false, RefreshFocus::kUnchanged);
    EXPECT_EQ(fake.windows.focus, Handle(IDC_LANGUAGE));
    EXPECT_TRUE(combo.dropped);
    EXPECT_EQ(fake.CallCount("CB_RESETCONTENT"), refills);
    EXPECT_EQ(fake.CallCount("CB_SETCURSEL"), selects);
    EXPECT_EQ(combo.items, state.languageNames);
    EXPECT_EQ(combo.selection, 1);
    EXPECT_EQ(Dialog().text, u"Skyforge 2 : Val de Fer");
    EXPECT_EQ(Control(IDC_EXIT).text, u"Quitter");
    EXPECT_EQ(state.transformName, u"fr-fr");

    RefreshWindow(state, fake.os, true, RefreshFocus::kUnchanged);
    EXPECT_FALSE(combo.enabled);
    EXPECT_EQ(fake.windows.focus, Handle(launcherMode ? IDC_PLAY : IDC_EXIT));
  }
}

TEST_F(RefreshLauncherTest, OtherLanguageSwitchesTitleTextsAndTransform) {
  state.selectedIndex = 1;
  state.selectedLcid = 1036;
  RefreshWindow(state, fake.os, false);

  EXPECT_EQ(Dialog().text, u"Skyforge 2 : Val de Fer");
  EXPECT_EQ(Control(IDC_INSTALL).text, u"Installer");
  EXPECT_EQ(Control(IDC_EXIT).text, u"Quitter");
  EXPECT_EQ(Control(IDC_WEBSITE).text, u"Site Web de\nSkyforge 2 :\n Val de Fer");
  EXPECT_EQ(state.transformName, u"fr-fr");
}

TEST_F(RefreshLauncherTest, FirstEntryInstallsWithoutTransform) {
  state.transformName = u"fr-fr";
  RefreshWindow(state, fake.os, false);
  EXPECT_EQ(state.transformName, u"");

  // Even when the first entry is not the package's base language.
  state.languageIds = {1031, 2057};
  state.selectedLcid = 1031;
  RefreshWindow(state, fake.os, false);
  EXPECT_EQ(state.transformName, u"");
}

TEST_F(RefreshLauncherTest, EmptyLanguageListLeavesTitleAndTransformEmpty) {
  state.languageIds.clear();
  state.languageNames.clear();
  state.productNames.clear();
  state.transformName = u"de-de";
  RefreshWindow(state, fake.os, false);

  EXPECT_EQ(Dialog().text, u"");
  EXPECT_TRUE(Control(IDC_LANGUAGE).items.empty());
  EXPECT_EQ(Control(IDC_WEBSITE).text, u"\nWebsite");
  EXPECT_EQ(state.transformName, u"");
}

TEST_F(RefreshLauncherTest, UnresolvableLanguageStillComposesTheLabel) {
  // LCID 0 with no default language: every text is "???".
  state.defaultLcid = 0;
  state.selectedLcid = 0;
  RefreshWindow(state, fake.os, false);
  EXPECT_EQ(Control(IDC_WEBSITE).text, u"???");
  EXPECT_EQ(Control(IDC_INSTALL).text, u"???");
}

class RefreshInstallerTest : public LauncherWindowTest {
 protected:
  void SetUp() override { StartLauncher(/*launcherMode=*/false); }
};

TEST_F(RefreshInstallerTest, SetsLabelButtonsAndFocusesExit) {
  RefreshWindow(state, fake.os, false);

  EXPECT_EQ(Dialog().text, kProductName);
  EXPECT_EQ(Control(IDC_STATIC_LABEL).text, u"Select installation language");
  EXPECT_EQ(Control(IDC_CONTINUE).text, u"Continue");
  EXPECT_EQ(Control(IDC_EXIT).text, u"Exit");
  EXPECT_EQ(Control(IDC_LANGUAGE).items, state.languageNames);
  EXPECT_TRUE(Control(IDC_LANGUAGE).enabled);
  EXPECT_EQ(fake.windows.focus, Handle(IDC_EXIT));
}

TEST_F(RefreshInstallerTest, InstalledGameLocksTheLanguageButLeavesContinueAlone) {
  Control(IDC_CONTINUE).enabled = false;
  RefreshWindow(state, fake.os, true);
  EXPECT_FALSE(Control(IDC_LANGUAGE).enabled);
  EXPECT_FALSE(Control(IDC_CONTINUE).enabled);

  Control(IDC_CONTINUE).enabled = true;
  RefreshWindow(state, fake.os, true);
  EXPECT_TRUE(Control(IDC_CONTINUE).enabled);
  EXPECT_EQ(fake.windows.focus, Handle(IDC_EXIT));
}

TEST_F(RefreshInstallerTest, GermanTextsAndTransform) {
  state.selectedIndex = 2;
  state.selectedLcid = 1031;
  RefreshWindow(state, fake.os, false);
  EXPECT_EQ(Control(IDC_CONTINUE).text, u"Fortfahren");
  EXPECT_EQ(Control(IDC_EXIT).text, u"Verlassen");
  EXPECT_EQ(state.transformName, u"de-de");
}

}  // namespace
