// The registry values any program may write below the product's key:
// PathVal and LanguageVal as raw bytes of any length, with or without a
// terminator, of any type.
#include "config/install_state.h"
#include "fake_platform.h"
#include "fuzz_check.h"

namespace {

using Root = platform::Registry::Root;

const WString kKey = u"SOFTWARE\\Forge\\Skyforge2";
constexpr int32_t kUsersLanguage = 1031;

// What ReadLanguagePreference must answer: the stored bytes over US English
// when they fit four bytes, US English when they do not.
int32_t ExpectedPreference(bool keyExists, bool valueExists, const std::vector<uint8_t>& bytes) {
  if (!keyExists) return kUsersLanguage;
  if (!valueExists || bytes.size() > 4) return 1033;
  uint32_t value = 1033;
  for (size_t i = 0; i < bytes.size(); ++i) {
    value = (value & ~(0xFFu << (8 * i))) | (uint32_t{bytes[i]} << (8 * i));
  }
  return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t flags = input.Byte();
  const bool keyExists = (flags & 1) != 0;
  const bool hasPath = (flags & 2) != 0;
  const bool hasLanguage = (flags & 4) != 0;
  const bool gameExists = (flags & 8) != 0;
  const size_t pathSize = input.Byte() | (size_t{input.Byte()} << 8);
  const std::vector<uint8_t> pathBytes = input.Bytes(pathSize);
  const std::vector<uint8_t> languageBytes = input.Rest();

  FakePlatform fake;
  fake.process.userLanguage = kUsersLanguage;
  if (keyExists) fake.registry.CreateKey(Root::kLocalMachine, kKey);
  if (keyExists && hasPath)
    fake.registry.SetBytes(Root::kLocalMachine, kKey, u"PathVal", pathBytes);
  if (keyExists && hasLanguage)
    fake.registry.SetBytes(Root::kLocalMachine, kKey, u"LanguageVal", languageBytes);
  if (gameExists) fake.files.AddFile(u"C:\\Games\\Skyforge2.exe", "MZ");

  FUZZ_CHECK(ReadLanguagePreference(fake.os, kKey) ==
             ExpectedPreference(keyExists, hasLanguage, languageBytes));

  LauncherState state;
  state.registryKey = kKey;
  state.gameExeName = u"Skyforge2.exe";
  const bool installed = DetectInstallation(state, fake.os);
  // PathVal's buffer holds 260 units with the terminator.
  FUZZ_CHECK(state.installDir.size() < 260 && state.installDir.find(u'\0') == WString::npos);
  if (installed) {
    FUZZ_CHECK(state.gameExePath == state.installDir + state.gameExeName);
    FUZZ_CHECK(state.gameProbePath == state.gameExePath);
  } else {
    FUZZ_CHECK(state.gameExePath.empty() && state.gameProbePath.empty());
  }
  FUZZ_CHECK(fake.registry.openKeys == 0 && fake.files.OpenHandles() == 0);
  return 0;
}
