// The readme choice from any selection and any PathVal bytes: which file
// View Readme opens, or the notice it shows instead.
#include "config/install_state.h"
#include "fake_platform.h"
#include "fuzz_check.h"
#include "ui/readme_viewer.h"

namespace {

using Root = platform::Registry::Root;

const WString kKey = u"SOFTWARE\\Forge\\Skyforge2";

bool EndsWith(const WString& text, const WString& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t flags = input.Byte();
  LauncherState state;
  FillCountryCodes(state);
  state.registryKey = kKey;
  state.gameExeName = u"Skyforge2.exe";
  state.pdfHandlerRegistered = (flags & 1) != 0;
  state.selectedIndex = static_cast<int32_t>(input.U32());
  state.selectedLcid = static_cast<int32_t>(input.U32());
  state.defaultLcid = 1033;
  for (uint8_t count = input.Byte() % 4; count > 0; --count) {
    state.languageIds.push_back(static_cast<int32_t>(input.U32()));
    state.productNames.push_back(input.Text());
  }

  FakePlatform fake;
  fake.registry.CreateKey(Root::kLocalMachine, kKey);
  if ((flags & 2) != 0) fake.registry.SetBytes(Root::kLocalMachine, kKey, u"PathVal", input.Rest());
  // The disc (the current folder) and an installed copy, each with some of
  // the formats.
  fake.files.AddFile(u"D:\\Docs\\GB\\Readme.txt");
  fake.files.AddFile(u"D:\\Docs\\FR\\Readme.rtf");
  fake.files.AddFile(u"D:\\Docs\\US\\Readme.pdf");
  fake.files.AddFile(u"C:\\Games\\Skyforge2.exe", "MZ");
  fake.files.AddFile(u"C:\\Games\\Docs\\Readme.pdf");

  ShowReadme(state, fake.os);

  FUZZ_CHECK(fake.shell.executed.size() + fake.windows.messageBoxes.size() <= 1);
  for (const FakeShell::Execution& run : fake.shell.executed) {
    FUZZ_CHECK(run.verb == u"open");
    FUZZ_CHECK(run.file.compare(0, state.installDir.size() + 5, state.installDir + u"Docs\\") == 0);
    FUZZ_CHECK(EndsWith(run.file, u"\\Readme.txt") || EndsWith(run.file, u"\\Readme.rtf") ||
               (EndsWith(run.file, u"\\Readme.pdf") && state.pdfHandlerRegistered));
    FUZZ_CHECK(FileExists(fake.os, run.file));
  }
  // The notice stands only for a PDF that no reader can open.
  if (!fake.windows.messageBoxes.empty()) FUZZ_CHECK(!state.pdfHandlerRegistered);
  FUZZ_CHECK(fake.registry.openKeys == 0 && fake.files.OpenHandles() == 0);
  return 0;
}
