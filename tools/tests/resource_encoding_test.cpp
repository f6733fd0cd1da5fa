#include <gtest/gtest.h>

#include "resources/string_table.h"
#include "resources/version_info.h"
#include "string_block.h"
#include "product/product_definition.h"

namespace {

TEST(StringTable, EveryValueRoundTripsVerbatim) {
  const std::map<uint16_t, WString> strings = {
      {144, u"2057;1049;1041;"},
      {145, u"Software\\Quillmark\\\"Quoted\"\\"},
      {146, u""},  // an empty string reads as empty, like an absent one
      {147, u"Кузница 2;鉄の谷;Forgé\nà la main;"},
      {148, u"\U0001F3AE game.msi"},
      {149, std::u16string(300, u'x')},
      {150, std::u16string(u"nul\0inside", 10)},
      {160, u"next block"},
  };
  std::map<uint16_t, WString> decoded;
  for (const auto& [blockId, block] : EncodeStringTable(strings)) {
    for (const auto& entry : DecodeStringBlock(blockId, block)) decoded.insert(entry);
  }
  std::map<uint16_t, WString> expected = strings;
  expected.erase(146);
  EXPECT_EQ(decoded, expected);
}

TEST(StringTable, IdsGoToTheirBlockOfSixteen) {
  const auto blocks = EncodeStringTable({{144, u"a"}, {150, u"b"}, {159, u"c"}, {160, u"d"}});
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks.begin()->first, 10) << "ids 144 to 159 form block 10";
  EXPECT_EQ(blocks.rbegin()->first, 11);
}

TEST(Version, OneToFourNumbersUpTo65535) {
  using Parts = std::array<uint16_t, 4>;
  EXPECT_EQ(ParseVersion("2"), (Parts{2, 0, 0, 0}));
  EXPECT_EQ(ParseVersion("1.2.3.4"), (Parts{1, 2, 3, 4}));
  EXPECT_EQ(ParseVersion("65535.0"), (Parts{65535, 0, 0, 0}));
  for (const char* bad : {"", "1.", ".1", "1..2", "1.2.3.4.5", "65536", "v1", "1.2 ", "-1"}) {
    EXPECT_EQ(ParseVersion(bad), std::nullopt) << bad;
  }
}

// Finds a UTF-16 key in the encoded resource and returns the text value that
// follows it, as the file properties dialog would read it.
std::optional<WString> VersionString(const Bytes& resource, const std::u16string& key) {
  for (size_t offset = 0; offset + 6 < resource.size(); offset += 4) {
    const uint32_t length = ReadLe(resource, offset, 2);
    const uint32_t valueUnits = ReadLe(resource, offset + 2, 2);
    WString found;
    size_t at = offset + 6;
    while (at + 1 < resource.size() && ReadLe(resource, at, 2) != 0) {
      found.push_back(static_cast<WChar>(ReadLe(resource, at, 2)));
      at += 2;
    }
    if (found != key) continue;
    at = (at + 2 + 3) & ~size_t{3};
    WString value;
    for (uint32_t i = 0; i + 1 < valueUnits; ++i)
      value.push_back(static_cast<WChar>(ReadLe(resource, at + 2 * i, 2)));
    if (offset + length > resource.size()) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

TEST(Version, ResourceCarriesTheProductCompanyAndVersion) {
  VersionInfo info;
  info.version = {2, 1, 0, 7};
  info.versionText = u"2.1.0.7";
  info.company = u"Quillmark Société";
  info.productName = u"Кузница 2";
  info.fileName = u"Installer.exe";
  const Bytes resource = EncodeVersionInfo(info);
  EXPECT_EQ(ReadLe(resource, 0, 2), resource.size()) << "the root's length covers everything";
  EXPECT_EQ(ReadLe(resource, 2, 2), 52u) << "fixed file information follows the root key";
  EXPECT_EQ(ReadLe(resource, 40, 4), 0xFEEF04BDu);
  EXPECT_EQ(ReadLe(resource, 48, 4), 0x00020001u) << "file version 2.1";
  EXPECT_EQ(ReadLe(resource, 52, 4), 0x00000007u) << "file version .0.7";
  EXPECT_EQ(VersionString(resource, u"CompanyName"), info.company);
  EXPECT_EQ(VersionString(resource, u"ProductName"), info.productName);
  EXPECT_EQ(VersionString(resource, u"FileVersion"), u"2.1.0.7");
  EXPECT_EQ(VersionString(resource, u"OriginalFilename"), u"Installer.exe");
}

}  // namespace
