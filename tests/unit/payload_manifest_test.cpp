#include "install/payload_manifest.h"

#include <gtest/gtest.h>

namespace {

using Items = std::vector<WString>;

TEST(PayloadManifest, EmptyItemsAreSkippedAndTheRestTakenVerbatim) {
  struct Case {
    const char16_t* text;
    Items items;
  };
  const Case cases[] = {
      {u"a;;b;", {u"a", u"b"}},
      {u"", {}},
      {u";", {}},
      {u";;;", {}},
      {u"Setup.msi", {u"Setup.msi"}},
      {u";Data\\x.cab", {u"Data\\x.cab"}},
      {u" a ;b\r\n", {u" a ", u"b\r\n"}},
      {u"x;x", {u"x", u"x"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ManifestItems(c.text), c.items) << Utf16ToUtf8(c.text);
}

TEST(PayloadManifest, TextEndsAtTheFirstNulOrAtTheResourceEnd) {
  const char withNul[] = {'a', ';', 'b', '\0', 'c', ';'};
  EXPECT_EQ(ManifestBytes(withNul, sizeof withNul), "a;b");
  // No terminator at all: the size alone bounds the text.
  const char withoutNul[] = {'a', ';', 'b'};
  EXPECT_EQ(ManifestBytes(withoutNul, sizeof withoutNul), "a;b");
  EXPECT_EQ(ManifestBytes(withoutNul, 0), "");
}

TEST(PayloadManifest, DecodesUtf8AndRefusesInvalidBytes) {
  EXPECT_EQ(DecodeManifest("Setup.msi;Data\\a.cab"), WString(u"Setup.msi;Data\\a.cab"));
  EXPECT_EQ(DecodeManifest("Caf\xC3\xA9\\\xE6\x97\xA5.txt"), WString(u"Caf\u00E9\\\u65E5.txt"));
  EXPECT_EQ(DecodeManifest("Caf\xE9.txt"), std::nullopt);  // a Latin-1 byte
  EXPECT_EQ(DecodeManifest("\xC0\xAF"), std::nullopt);     // overlong "/"
}

TEST(PayloadManifest, PathPartsKeepEmptyParts) {
  struct Case {
    const char16_t* name;
    Items parts;
  };
  const Case cases[] = {
      {u"file.bin", {u"file.bin"}},
      {u"Sub\\Deeper\\file.bin", {u"Sub", u"Deeper", u"file.bin"}},
      {u"a\\\\b", {u"a", u"", u"b"}},
      {u"a\\", {u"a", u""}},
      {u"", {u""}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitPathParts(c.name), c.parts) << Utf16ToUtf8(c.name);
}

TEST(PayloadManifest, NamesThatWouldLeaveTheWorkspaceAreRefused) {
  struct Case {
    const char16_t* name;
    bool inside;
  };
  const Case cases[] = {
      {u"Setup.msi", true},
      {u"Sub\\Deeper\\file.bin", true},
      {u".\\file", true},
      {u"Sub\\\\file", true},
      {u"..file", true},
      {u"file..", true},
      {u"..\\evil.txt", false},
      {u"Sub\\..\\..\\evil.txt", false},
      {u"Sub\\..", false},
      {u"../evil.txt", false},
      {u"Sub/../../evil.txt", false},
      {u"...\\evil.txt", false},
      {u".. \\evil.txt", false},
      {u"\\Windows\\evil.dll", false},
      {u"/etc/evil", false},
      {u"\\\\server\\share\\evil", false},
      {u"C:\\evil.txt", false},
      {u"C:evil.txt", false},
      {u"file.txt:hidden", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StaysInsideWorkspace(c.name), c.inside) << Utf16ToUtf8(c.name);
  }
}

}  // namespace
