// Reading product.toml and preparing a product's resources.
#include <gtest/gtest.h>

#include <algorithm>

#include "command/product_files.h"
#include "pe/byte_writer.h"
#include "product/product_definition.h"
#include "resource_ids.h"
#include "string_block.h"
#include "temp_folder.h"

namespace {

const std::filesystem::path kArt =
    std::filesystem::path(PRODUCT_TOOL_SOURCE_DIR) / "resources" / "art";

const char kValidToml[] = R"(language_ids = "2057;1049;"
registry_key = 'Software\Quillmark\Skyforge2'
instance_mutex = "6C0B8E54-2F1D-4A97-B3E8-9D5A17C4F2E0"
product_names = "Skyforge 2;Кузница 2;"
package_name = "Skyforge2.msi"
game_exe = "Skyforge2.exe"
website_url = "https://www.example.com/skyforge2"
)";

struct Loaded {
  std::optional<ProductDefinition> product;
  std::string text;
};

Loaded Load(const TempFolder& folder, const std::string& toml) {
  folder.Write("product.toml", toml);
  Diagnostics diagnostics;
  Loaded loaded{LoadProductDefinition(folder.Path(), diagnostics), diagnostics.Text()};
  return loaded;
}

std::string Without(std::string toml, const std::string& key) {
  const size_t start = toml.find(key + " =");
  return toml.erase(start, toml.find('\n', start) + 1 - start);
}

TEST(ProductToml, ValidFileGivesTheSevenStringsVerbatim) {
  TempFolder folder;
  const Loaded loaded =
      Load(folder, std::string(kValidToml) + "version = \"1.2\"\ncompany = \"Quillmark\"\n");
  ASSERT_TRUE(loaded.product) << loaded.text;
  EXPECT_EQ(loaded.text, "");
  EXPECT_EQ(loaded.product->strings.registryKey, u"Software\\Quillmark\\Skyforge2");
  EXPECT_EQ(loaded.product->strings.productNames, u"Skyforge 2;Кузница 2;");
  EXPECT_EQ(loaded.product->FirstProductName(), u"Skyforge 2");
  EXPECT_EQ(loaded.product->versionText, "1.2");
}

TEST(ProductToml, ArraysBecomeSemicolonTerminatedLists) {
  TempFolder folder;
  std::string toml = Without(Without(kValidToml, "language_ids"), "product_names");
  toml += "language_ids = [2057, 1049]\nproduct_names = [\"Skyforge 2\", \"Кузница 2\"]\n";
  const Loaded loaded = Load(folder, toml);
  ASSERT_TRUE(loaded.product) << loaded.text;
  EXPECT_EQ(loaded.product->strings.languageIds, u"2057;1049;");
  EXPECT_EQ(loaded.product->strings.productNames, u"Skyforge 2;Кузница 2;");
}

TEST(ProductToml, EachMistakeIsAnErrorNamingFileAndField) {
  const struct {
    std::string toml;
    std::string message;
  } cases[] = {
      {Without(kValidToml, "game_exe"), "product.toml: game_exe: is missing"},
      {Without(kValidToml, "website_url") + "website_url = 3\n",
       "product.toml: website_url: must be a string"},
      {Without(kValidToml, "instance_mutex") +
           "instance_mutex = \"{6C0B8E54-2F1D-4A97-B3E8-9D5A17C4F2E0}\"\n",
       "product.toml: instance_mutex: \"{6C0B8E54"},
      {Without(kValidToml, "language_ids") + "language_ids = [2057, -1]\n",
       "product.toml: language_ids[1]: must be an LCID"},
      {Without(kValidToml, "language_ids") + "language_ids = 2057\n",
       "product.toml: language_ids: must be a string or an array of integers"},
      {Without(kValidToml, "product_names") + "product_names = [\"A\", \"B;C\"]\n",
       "product.toml: product_names[1]: holds \";\""},
      {std::string(kValidToml) + "payload = \"nowhere\"\n", "product.toml: payload: "},
      {std::string(kValidToml) + "icon = \"missing.ico\"\n", "product.toml: icon: "},
      {std::string(kValidToml) + "background = [\"a.bmp\", 2]\n", "product.toml: background[0]: "},
      {std::string(kValidToml) + "background = [\"a.bmp\", 2]\n",
       "product.toml: background[1]: must be a string"},
      {std::string(kValidToml) + "background = []\n",
       "product.toml: background: must be a file name or a non-empty array"},
      {std::string(kValidToml) + "version = \"2.0 beta\"\n",
       "product.toml: version: \"2.0 beta\" is not a version"},
      {std::string(kValidToml) + "registry_key = \"again\"\n", "product.toml:8:1"},
      {Without(kValidToml, "product_names") + "product_names = [\"Skyforge\\u0000 Demo\"]\n",
       "product.toml: product_names: holds a NUL"},
      {std::string(kValidToml) + "caf\xC3\xA9 = 1\n",
       "product.toml:8:4: a character outside the ASCII range stands outside a string"},
      {std::string(kValidToml) + "company = \"Quill\xFFmark\"\n", "product.toml:1:1: is not UTF-8"},
      {std::string(kValidToml) + "[[[disc]]]\n", "product.toml:8:1: a table header must start"},
      {std::string(kValidToml) + "company = 0'\xC3\xA9'\n",
       "product.toml:8:13: a character outside"},
      {std::string(kValidToml) + "versions = [2['\xC3\xA9'\n",
       "product.toml:8:16: a character outside"},
      {std::string(kValidToml) + "versions = 1='\xC3\xA9'\n",
       "product.toml:8:15: a character outside"},
      {std::string(kValidToml) + "versions = [ # none\n}\n",
       "product.toml:9:1: \"}\" stands where"},
      {std::string(kValidToml) + "  [ =]\n", "product.toml:8:3: a table header must start"},
      // A misspelt key leaves its setting at the default: refused, with the
      // key meant.
      {std::string(kValidToml) + "backgroud = \"a.bmp\"\n",
       "product.toml: backgroud: is not a known key; did you mean background?"},
      {std::string(kValidToml) + "colour = 1\n", "product.toml: colour: is not a known key\n"},
      {std::string(kValidToml) + "[signing]\ncomand = [\"x\"]\n",
       "product.toml: signing: comand: is not a known key; did you mean command?"},
      {Without(kValidToml, "registry_key") + "registry_key = 'HKLM\\Software\\Quillmark'\n",
       "product.toml: registry_key: \"HKLM\\Software\\Quillmark\" names a root"},
      {Without(kValidToml, "registry_key") + "registry_key = \"Software\\Quillmark\"\n",
       "write Windows paths in single quotes"},
      {Without(kValidToml, "website_url") + "website_url = \"www.example.com\"\n",
       "product.toml: website_url: \"www.example.com\" is not an http:// or https:// address"},
      {Without(kValidToml, "website_url") + "website_url = \"\"\n",
       "product.toml: website_url: \"\" is not an http:// or https:// address"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    const Loaded loaded = Load(folder, c.toml);
    EXPECT_FALSE(loaded.product) << c.message;
    EXPECT_NE(loaded.text.find(c.message), std::string::npos) << c.message << "\n" << loaded.text;
  }
}

// The parser is handed basic strings with their non-ASCII characters
// escaped; every kind of string still reads as written.
TEST(ProductToml, NonAsciiTextReadsAsWrittenInEveryKindOfString) {
  TempFolder folder;
  const std::string names =
      "product_names = \"\"\"\\\n    \xD0\x9A\xD1\x83\xD0\xB7\xD0\xBD\xD0\xB8\xD1\x86\xD0\xB0;"
      "\xF0\x9F\x8E\xAE \\\"\xC3\xA9\\\";\"\"\"  # \xC3\xA9t\xC3\xA9\n";
  folder.Write("product.toml", Without(kValidToml, "product_names") + names +
                                   "company = '\xC3\xA9\xE6\x97\xA5'\n" +
                                   "[[extra]]\nlist = [\n  [+1],\n  [{a = 1}],\n]\n");
  // Read as a whole: only the table no product has is refused.
  Diagnostics diagnostics;
  const std::optional<ProductDefinition> product = ReadProductDefinition(folder.Path(), diagnostics);
  ASSERT_TRUE(product) << diagnostics.Text();
  EXPECT_EQ(diagnostics.Text(), (folder.Path() / "product.toml").string() + ": extra: is not a known key\n");
  EXPECT_EQ(product->strings.productNames, u"Кузница;🎮 \"é\";");
  EXPECT_EQ(product->company, "\xC3\xA9\xE6\x97\xA5");
}

TEST(ProductToml, ToleratedMistakesOnlyWarn) {
  TempFolder folder;
  const Loaded loaded = Load(folder, Without(Without(kValidToml, "language_ids"), "registry_key") +
                                         "language_ids = \"1042;2057;1049\"\n" +
                                         "registry_key = 'Software/Quillmark'\n");
  ASSERT_TRUE(loaded.product) << loaded.text;
  for (const char* warning :
       {"language_ids: warning: the text after the last",
        "language_ids: warning: 1042 is not one of the program's languages: its players see the "
        "English texts",
        "registry_key: warning: holds \"/\""}) {
    EXPECT_NE(loaded.text.find(warning), std::string::npos) << warning << "\n" << loaded.text;
  }
}

TEST(ProductToml, AMissingFileIsNamed) {
  TempFolder folder;
  Diagnostics diagnostics;
  EXPECT_FALSE(LoadProductDefinition(folder.Path(), diagnostics));
  EXPECT_EQ(diagnostics.Text(), (folder.Path() / "product.toml").string() +
                                    ": is missing: a product folder holds a product.toml\n");
}

struct Prepared {
  bool ok = false;
  std::string text;
  std::vector<Resource> autorun;
  std::optional<std::vector<Resource>> installer;
};

// The product as the build prepares it, with the default art of the
// checkout and no base resources.
Prepared Prepare(const TempFolder& folder, const std::string& toml) {
  folder.Write("product.toml", toml);
  const ResourceInputs inputs{
      {},
      {kArt / "background.bmp", kArt / "background-150.bmp", kArt / "background-200.bmp"},
      kArt / "app.ico"};
  Diagnostics diagnostics;
  const std::optional<PreparedProduct> product =
      PrepareProduct(folder.Path(), inputs, false, diagnostics);
  Prepared prepared;
  prepared.ok = product.has_value();
  prepared.text = diagnostics.Text();
  if (product) {
    prepared.autorun = product->resources.autorun;
    if (product->payload) prepared.installer = product->resources.installer;
  }
  return prepared;
}

const Resource* Find(const std::vector<Resource>& resources, uint16_t type, uint16_t id) {
  const auto found = std::find_if(resources.begin(), resources.end(), [&](const Resource& entry) {
    return entry.type == ResourceName::Number(type) && entry.name == ResourceName::Number(id);
  });
  return found == resources.end() ? nullptr : &*found;
}

TEST(ProductResources, LauncherCarriesArtIconStringsButNoPayload) {
  TempFolder folder;
  const Prepared written = Prepare(folder, kValidToml);
  ASSERT_TRUE(written.ok) << written.text;
  EXPECT_FALSE(written.installer.has_value());
  EXPECT_EQ(Find(written.autorun, kTypeRcData, IDR_PAYLOAD_MANIFEST), nullptr);
  EXPECT_EQ(Find(written.autorun, kTypeVersion, 1), nullptr) << "no version or company given";
  // The default art in its three sizes, smallest first.
  for (const auto& [id, width] :
       {std::pair{IDB_BACKGROUND, 164u}, std::pair{IDB_BACKGROUND + 1, 246u},
        std::pair{IDB_BACKGROUND + 2, 328u}}) {
    const Resource* bitmap = Find(written.autorun, kTypeBitmap, static_cast<uint16_t>(id));
    ASSERT_NE(bitmap, nullptr) << id;
    EXPECT_EQ(ReadLe(bitmap->data, 0, 4), 40u);
    EXPECT_EQ(ReadLe(bitmap->data, 4, 4), width);
  }
  EXPECT_EQ(Find(written.autorun, kTypeBitmap, IDB_BACKGROUND + 3), nullptr);
  const Resource* group = Find(written.autorun, kTypeGroupIcon, IDI_APP);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(ReadLe(group->data, 4, 2), 8u) << "eight icon images";
  const Resource* strings = Find(written.autorun, kTypeString, 10);
  ASSERT_NE(strings, nullptr);
  EXPECT_EQ(DecodeStringBlock(10, strings->data).at(IDS_PRODUCT_NAMES), u"Skyforge 2;Кузница 2;");
  for (const Resource& entry : written.autorun) EXPECT_EQ(entry.language, kLanguageEnglishUk);
}

TEST(ProductResources, RefusedPayloadIsNamedWithItsField) {
  TempFolder folder;
  folder.Write("payload/Setup/Skyforge2.msi", "package");
  const Prepared written = Prepare(folder, std::string(kValidToml) + "payload = \"payload\"\n");
  EXPECT_FALSE(written.ok);
  EXPECT_NE(written.text.find(
                "product.toml: payload: does not hold the package \"Skyforge2.msi\" at its root"),
            std::string::npos)
      << written.text;
}

// A 24-bit bottom-up BMP file, all black.
std::string BlackBmp(uint32_t width, uint32_t height) {
  const uint32_t pixels = (width * 3 + 3) / 4 * 4 * height;
  std::string bmp = "BM";
  const auto put = [&](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bmp.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  put(54 + pixels, 4), put(0, 4), put(54, 4);
  put(40, 4), put(width, 4), put(height, 4), put(1, 2), put(24, 2);
  put(0, 4), put(pixels, 4), put(2834, 4), put(2834, 4), put(0, 4), put(0, 4);
  bmp.append(pixels, '\0');
  return bmp;
}

TEST(ProductResources, BadArtIsRefusedWithItsFileNamed) {
  TempFolder folder;
  folder.Write("art.bmp", "GIF89a not a bitmap at all, but long enough to be read as one.......");
  const Prepared written = Prepare(folder, std::string(kValidToml) + "background = \"art.bmp\"\n");
  EXPECT_FALSE(written.ok);
  EXPECT_NE(written.text.find("art.bmp: is not a BMP file"), std::string::npos) << written.text;

  // One size of a list in other proportions.
  const auto copyArt = [&](const char* from, const char* to) {
    std::filesystem::copy_file(kArt / from, folder.Path() / to);
  };
  copyArt("background.bmp", "small.bmp");
  copyArt("background-200.bmp", "large.bmp");
  folder.Write("wide.bmp", BlackBmp(300, 354));
  const Prepared mixed =
      Prepare(folder, std::string(kValidToml) +
                          "background = [\"small.bmp\", \"wide.bmp\", \"large.bmp\"]\n");
  EXPECT_FALSE(mixed.ok);
  EXPECT_NE(mixed.text.find("wide.bmp: is 300 x 354, not in the proportions of"), std::string::npos)
      << mixed.text;
}

}  // namespace
