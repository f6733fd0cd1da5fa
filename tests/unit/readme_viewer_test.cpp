#include "ui/readme_viewer.h"

#include <gtest/gtest.h>

#include "launcher_window_fixture.h"

namespace {

TEST(FillCountryCodes, NamesFoldersByCountryNotLanguage) {
  LauncherState state;
  FillCountryCodes(state);
  EXPECT_EQ(state.countryCodes.size(), 18u);
  EXPECT_EQ(state.countryCodes.at(2057), u"GB");
  EXPECT_EQ(state.countryCodes.at(1033), u"US");
  EXPECT_EQ(state.countryCodes.at(1030), u"DK");
  EXPECT_EQ(state.countryCodes.at(1053), u"SE");
  EXPECT_EQ(state.countryCodes.at(1029), u"CZ");
  EXPECT_EQ(state.countryCodes.at(1041), u"JP");
  EXPECT_EQ(state.countryCodes.at(3084), u"CA");
  EXPECT_EQ(state.countryCodes.at(2058), u"MX");
  EXPECT_EQ(state.countryCodes.count(1034), 0u);
}

TEST(FileExists, OnlyFilesThatCanBeOpenedCount) {
  FakePlatform fake;
  fake.files.AddFile(u"C:\\Docs\\Readme.txt", "text");
  fake.files.AddFolder(u"C:\\Docs\\Readme.rtf");
  EXPECT_TRUE(FileExists(fake.os, u"C:\\Docs\\Readme.txt"));
  EXPECT_FALSE(FileExists(fake.os, u"C:\\Docs\\Readme.rtf"));
  EXPECT_FALSE(FileExists(fake.os, u"C:\\Docs\\Readme.pdf"));
  fake.FailNext("CreateFileW", platform::kErrorAccessDenied);
  EXPECT_FALSE(FileExists(fake.os, u"C:\\Docs\\Readme.txt"));
  EXPECT_EQ(fake.files.OpenHandles(), 0);
}

class ShowReadmeTest : public LauncherWindowTest {
 protected:
  void SetUp() override {
    StartLauncher(/*launcherMode=*/true);
    FillCountryCodes(state);
  }
  void Show() { ShowReadme(state, fake.os); }
  // The one document the shell was asked to open.
  WString Opened() {
    EXPECT_EQ(fake.shell.executed.size(), 1u);
    if (fake.shell.executed.empty()) return WString();
    const FakeShell::Execution& run = fake.shell.executed.front();
    EXPECT_EQ(run.verb, u"open");
    EXPECT_EQ(run.parameters, u"");
    EXPECT_EQ(run.directory, kDiscFolder);
    EXPECT_EQ(run.showCommand, platform::kShowNormal);
    return run.file;
  }
};

// Without the game, the disc's folder of the selected language's country:
// text, then rich text, then PDF when a reader is registered; a folder in
// place of a document is skipped, and nothing found is silent. Each row has
// a country of its own, so the files of one row never answer another's.
TEST_F(ShowReadmeTest, NotInstalledOpensTheFirstDocumentOfTheCountryFolder) {
  struct Case {
    int32_t lcid;
    std::vector<WString> docs;  // below E:\Disc\Docs\, a final backslash makes a folder
    WString opened;             // empty: nothing
    bool pdfReader = false;
  };
  const Case cases[] = {
      {2057, {u"GB\\Readme.txt", u"US\\Readme.txt"}, u"Docs\\GB\\Readme.txt"},
      {1036, {u"FR\\Readme.rtf", u"FR\\Readme.pdf"}, u"Docs\\FR\\Readme.rtf"},
      {1031, {u"DE\\Readme.txt", u"DE\\Readme.pdf"}, u"Docs\\DE\\Readme.txt"},
      {1030, {u"DK\\Readme.txt\\", u"DK\\Readme.rtf"}, u"Docs\\DK\\Readme.rtf"},
      {1053, {u"SE\\Readme.pdf"}, u"Docs\\SE\\Readme.pdf", true},
      // One in the current folder is never taken for the disc's.
      {1029, {}, u""},
      // No country folder leaves an empty element; the fake folds the doubled
      // backslash as Windows would.
      {1034, {u"Readme.txt"}, u"Docs\\\\Readme.txt"},
  };
  fake.files.AddFile(u"D:\\Docs\\CZ\\Readme.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lcid);
    for (const WString& doc : c.docs) {
      if (doc.back() == u'\\') {
        fake.files.AddFolder(kDiscFolder + u"Docs\\" + doc);
      } else {
        fake.files.AddFile(kDiscFolder + u"Docs\\" + doc);
      }
    }
    state.languageIds = {c.lcid};
    state.selectedLcid = c.lcid;
    state.pdfHandlerRegistered = c.pdfReader;
    fake.shell.executed.clear();
    fake.windows.messageBoxes.clear();

    Show();

    if (c.opened.empty()) {
      EXPECT_TRUE(fake.shell.executed.empty());
    } else {
      EXPECT_EQ(Opened(), kDiscFolder + c.opened);
    }
    EXPECT_TRUE(fake.windows.messageBoxes.empty());
  }
}

TEST_F(ShowReadmeTest, PdfWithoutReaderExplainsAtEveryClick) {
  fake.files.AddFile(kDiscFolder + u"Docs\\GB\\Readme.pdf");
  Show();
  Show();

  EXPECT_TRUE(fake.shell.executed.empty());
  ASSERT_EQ(fake.windows.messageBoxes.size(), 2u);
  const FakeWindows::MessageBoxShown& notice = fake.windows.messageBoxes.front();
  EXPECT_EQ(notice.owner, state.mainWindow);
  EXPECT_EQ(notice.caption, kProductName);
  EXPECT_EQ(notice.style, platform::kMessageBoxOk);
  EXPECT_EQ(notice.text.rfind(u"The Skyforge 2: Iron Vale eManual requires", 0), 0u);
  EXPECT_EQ(notice.text.find(u"{P}"), WString::npos);
}

TEST_F(ShowReadmeTest, UnresolvableLanguageShowsTheNoticeUnchanged) {
  state.pdfHandlerRegistered = false;
  state.defaultLcid = 0;
  state.selectedLcid = 0;
  state.languageIds = {0};
  state.productNames = {kProductName};
  fake.files.AddFile(kDiscFolder + u"Docs\\\\Readme.pdf");
  Show();
  ASSERT_EQ(fake.windows.messageBoxes.size(), 1u);
  EXPECT_EQ(fake.windows.messageBoxes.front().text, u"???");
}

TEST_F(ShowReadmeTest, InstalledGameUsesItsOwnDocsWhateverTheLanguage) {
  InstallGame();
  fake.files.AddFile(kInstallDir + u"Docs\\Readme.txt");
  fake.files.AddFile(kDiscFolder + u"Docs\\FR\\Readme.txt");
  state.selectedIndex = 1;
  state.selectedLcid = 1036;
  Show();
  EXPECT_EQ(Opened(), kInstallDir + u"Docs\\Readme.txt");
}

TEST_F(ShowReadmeTest, FolderWithoutGameStillHoldsTheCountryDocs) {
  fake.registry.SetString(kProductKey, u"PathVal", kInstallDir);
  fake.files.AddFile(kInstallDir + u"Docs\\GB\\Readme.txt");
  fake.files.AddFile(kDiscFolder + u"Docs\\GB\\Readme.txt");
  Show();
  EXPECT_EQ(Opened(), kInstallDir + u"Docs\\GB\\Readme.txt");
}

}  // namespace
