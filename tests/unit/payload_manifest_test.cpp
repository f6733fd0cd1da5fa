#include <gtest/gtest.h>

#include "payload/item_names.h"
#include "payload/manifest.h"

namespace {

using payload::DecodeManifest;
using payload::ManifestBytes;
using payload::ManifestItems;
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
  for (const Case& c : cases)
    EXPECT_EQ(payload::SplitPathParts(c.name), c.parts) << Utf16ToUtf8(c.name);
}

TEST(PayloadManifest, TheToolsEncodingReadsBackItemForItem) {
  const std::vector<uint8_t> manifest =
      payload::EncodeManifest({"Skyforge2.msi", "Docs\\\xc3\xa9t\xc3\xa9.txt"});
  EXPECT_EQ(std::string(manifest.begin(), manifest.end()),
            std::string("Skyforge2.msi;Docs\\\xc3\xa9t\xc3\xa9.txt;") + '\0');
  const std::optional<WString> text =
      DecodeManifest(ManifestBytes(manifest.data(), static_cast<uint32_t>(manifest.size())));
  ASSERT_TRUE(text);
  EXPECT_EQ(ManifestItems(*text), (Items{u"Skyforge2.msi", u"Docs\\\u00e9t\u00e9.txt"}));
  EXPECT_EQ(payload::EncodeManifest({}), std::vector<uint8_t>{0});
}

// One rule, for the tool that embeds a name and the program that unpacks it:
// nullptr for a name that is safe, otherwise a part of why it is not.
TEST(PayloadItemNames, OnlyNamesThatStayInsideAndWindowsCanCreatePass) {
  const struct {
    const char16_t* name;
    const char* problem;
  } cases[] = {
      {u"Setup.msi", nullptr},
      {u"Sub\\Deeper\\file.bin", nullptr},
      {u"a b\\c.d.e", nullptr},
      {u".hidden", nullptr},
      {u"..file", nullptr},
      {u"Donn\u00e9es\\\u65e5\u672c.txt", nullptr},
      {u"..\\evil.txt", "leaves its folder"},
      {u"Sub\\..\\..\\evil.txt", "leaves its folder"},
      {u"Sub\\..", "leaves its folder"},
      {u".\\file", "leaves its folder"},
      {u"...\\evil.txt", "full stop or a blank"},
      {u".. \\evil.txt", "full stop or a blank"},
      {u"file..", "full stop or a blank"},
      {u"trailing ", "full stop or a blank"},
      {u"Sub\\\\file", "empty folder name"},
      {u"\\Windows\\evil.dll", "empty folder name"},
      {u"\\\\server\\share\\evil", "empty folder name"},
      {u"a\\", "empty folder name"},
      {u"../evil.txt", "does not allow"},
      {u"Sub/../../evil.txt", "does not allow"},
      {u"/etc/evil", "does not allow"},
      {u"what?.txt", "does not allow"},
      {u"tab\there", "does not allow"},
      {u"C:\\evil.txt", "drive or a stream"},
      {u"C:evil.txt", "drive or a stream"},
      {u"file.txt:hidden", "drive or a stream"},
      {u"a;b.txt", "separates the items"},
      {u"sub\\CON", "device name CON"},
      {u"nul.txt", "device name"},
      {u"com1.log", "device name"},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> problem = payload::ItemNameProblem(c.name);
    if (c.problem == nullptr) {
      EXPECT_EQ(problem, std::nullopt) << Utf16ToUtf8(c.name);
    } else {
      ASSERT_TRUE(problem.has_value()) << Utf16ToUtf8(c.name);
      EXPECT_NE(problem->find(c.problem), std::string::npos)
          << Utf16ToUtf8(c.name) << ": " << *problem;
    }
  }
}

}  // namespace
