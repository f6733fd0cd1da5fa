#include "command/new_product.h"

#include <cstdint>
#include <fstream>
#include <random>

#include "localization/document_countries.h"
#include "pe/byte_writer.h"
#include "pe/resource.h"
#include "product/language_plan.h"

namespace fs = std::filesystem;

namespace {

// The starter's languages: English (United States) first, then French and
// German, each installed with its own transform.
constexpr int32_t kLanguages[] = {1033, 1036, 1031};

std::string NewGuid(std::mt19937_64& random) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string guid;
  for (const int group : {8, 4, 4, 4, 12}) {
    if (!guid.empty()) guid += '-';
    for (int digit = 0; digit < group; ++digit) guid += kHex[random() % 16];
  }
  return guid;
}

// A 24-bit bottom-up BMP: a dusk gradient with a lighter band, for the
// build engineer to replace.
Bytes PlaceholderArt(uint32_t width, uint32_t height) {
  const uint32_t row = (width * 3 + 3) / 4 * 4;
  ByteWriter out;
  out.U8('B'), out.U8('M'), out.U32(54 + row * height), out.U32(0), out.U32(54);
  out.U32(40), out.U32(width), out.U32(height), out.U16(1), out.U16(24), out.U32(0);
  out.U32(row * height), out.U32(2835), out.U32(2835), out.U32(0), out.U32(0);
  for (uint32_t y = 0; y < height; ++y) {
    const bool band = y > height / 3 && y < height / 3 + height / 12;
    for (uint32_t x = 0; x < width; ++x) {
      out.U8(static_cast<uint8_t>(band ? 220 : 90 + 120 * y / height));  // blue
      out.U8(static_cast<uint8_t>(band ? 200 : 40 + 60 * y / height));   // green
      out.U8(static_cast<uint8_t>(band ? 160 : 30 + 40 * x / width));    // red
    }
    for (uint32_t pad = width * 3; pad < row; ++pad) out.U8(0);
  }
  return out.Take();
}

// An ICO with the sizes the window's icons take at 100 % and 200 %: 32-bit
// images, a filled circle.
Bytes PlaceholderIcon() {
  const uint32_t sizes[] = {16, 32, 48, 64};
  std::vector<Bytes> images;
  for (const uint32_t size : sizes) {
    ByteWriter image;
    image.U32(40), image.U32(size), image.U32(2 * size), image.U16(1), image.U16(32);
    for (int field = 0; field < 6; ++field) image.U32(0);
    for (uint32_t y = 0; y < size; ++y) {
      for (uint32_t x = 0; x < size; ++x) {
        const int dx = 2 * static_cast<int>(x) + 1 - static_cast<int>(size);
        const int dy = 2 * static_cast<int>(y) + 1 - static_cast<int>(size);
        const bool inside = dx * dx + dy * dy <= static_cast<int>(size * size);
        image.U8(200), image.U8(120), image.U8(40), image.U8(inside ? 255 : 0);
      }
    }
    for (uint32_t y = 0; y < size; ++y) {
      for (uint32_t byte = 0; byte < (size + 31) / 32 * 4; ++byte) image.U8(0);  // AND mask
    }
    images.push_back(image.Take());
  }
  ByteWriter out;
  out.U16(0), out.U16(1), out.U16(static_cast<uint16_t>(images.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (size_t index = 0; index < images.size(); ++index) {
    out.U8(static_cast<uint8_t>(sizes[index])), out.U8(static_cast<uint8_t>(sizes[index]));
    out.U8(0), out.U8(0), out.U16(1), out.U16(32);
    out.U32(static_cast<uint32_t>(images[index].size())), out.U32(offset);
    offset += static_cast<uint32_t>(images[index].size());
  }
  for (const Bytes& image : images) out.Append(image);
  return out.Take();
}

std::string ProductToml(const std::string& mutexGuid) {
  std::string ids;
  std::string names;
  for (const int32_t lcid : kLanguages) {
    ids += (ids.empty() ? "" : ", ") + std::to_string(lcid);
    names += "  \"My Game\",  # " + std::to_string(lcid) + " " + LanguageName(lcid) + "\n";
  }
  return "# A product for disc-launcher, made by disc-launcher new. Every key is\n"
         "# described in /usr/share/doc/disc-launcher/product-format.md.\n"
         "\n"
         "# The languages the player can choose, as Windows language ids (LCIDs), in\n"
         "# the order the list shows them. The first installs the package as it is\n"
         "# built; each other one with its transform (disc-launcher transforms).\n"
         "language_ids = [" + ids + "]\n"
         "# The game's key below HKEY_LOCAL_MACHINE, where the package writes PathVal\n"
         "# and LanguageVal. Single quotes keep the backslashes as they are.\n"
         "registry_key = 'Software\\My Studio\\My Game'\n"
         "# The name of the mutex that keeps a second launcher from starting: a GUID\n"
         "# of this product's own, in capitals.\n"
         "instance_mutex = \"" + mutexGuid + "\"\n"
         "# The product's name in each language, in the order of language_ids.\n"
         "product_names = [\n" + names + "]\n"
         "# The Windows Installer package, at the root of the payload and the disc.\n"
         "package_name = \"Game.msi\"\n"
         "# The game, relative to the folder the package installs it into.\n"
         "game_exe = \"Game.exe\"\n"
         "# The website button's address: http:// or https://.\n"
         "website_url = \"https://www.example.com/\"\n"
         "\n"
         "# The art beside the buttons, 164 x 354 pixels at 100 % display scale, and\n"
         "# larger for 150 % and 200 %: 24-bit BMP files.\n"
         "background = [\"art/background.bmp\", \"art/background-150.bmp\", "
         "\"art/background-200.bmp\"]\n"
         "# The exes' icon: an ICO file with 16, 32 and 64 pixel images.\n"
         "icon = \"art/game.ico\"\n"
         "# The files Installer.exe unpacks and installs from; the package at its root.\n"
         "payload = \"payload\"\n"
         "# The files that go on the disc beside Autorun.exe: the package and each\n"
         "# language's readme in Docs/<country>/.\n"
         "disc = \"disc\"\n"
         "# The version and publisher the exes' file properties show.\n"
         "version = \"1.0.0\"\n"
         "company = \"My Studio\"\n";
}

std::string PackageSource(std::mt19937_64& random) {
  return R"(<?xml version="1.0" encoding="utf-8"?>
<!-- The game's Windows Installer package. It installs the game and records
     the installation where the launcher looks for it, under the
     registry_key of product.toml in HKLM: PathVal, the install folder with
     its final backslash, and LanguageVal, the language it was installed in,
     from the property LANGUAGEVAL that each language transform sets (its
     default is the package's own language). Opened again once the game is
     installed, which is what the launcher's Uninstall does, it removes it. -->
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="My Game" Language="1033" Version="1.0.0"
           Manufacturer="My Studio" UpgradeCode=")" +
         NewGuid(random) + R"(">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"
             Description="My Game" Manufacturer="My Studio"/>
    <MajorUpgrade DowngradeErrorMessage="A newer version of My Game is already installed."/>
    <Media Id="1" Cabinet="game.cab" EmbedCab="yes"/>

    <Property Id="LANGUAGEVAL" Value="1033"/>

    <!-- Uninstall: the package opened on an installed game removes it. -->
    <CustomAction Id="RemoveWhenInstalled" Property="REMOVE" Value="ALL"/>
    <InstallUISequence>
      <Custom Action="RemoveWhenInstalled" Before="CostInitialize">Installed AND NOT REMOVE</Custom>
    </InstallUISequence>
    <InstallExecuteSequence>
      <Custom Action="RemoveWhenInstalled" Before="CostInitialize">Installed AND NOT REMOVE</Custom>
    </InstallExecuteSequence>

    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="StudioFolder" Name="My Studio">
          <Directory Id="INSTALLDIR" Name="My Game">
            <Component Id="GameExe" Guid=")" +
         NewGuid(random) + R"(">
              <File Id="Game.exe" Source="package/Game.exe" KeyPath="yes"/>
            </Component>
            <Component Id="Registration" Guid=")" +
         NewGuid(random) + R"(">
              <RegistryKey Root="HKLM" Key="Software\My Studio\My Game">
                <RegistryValue Name="PathVal" Type="string" Value="[INSTALLDIR]" KeyPath="yes"/>
                <RegistryValue Name="LanguageVal" Type="integer" Value="[LANGUAGEVAL]"/>
              </RegistryKey>
            </Component>
          </Directory>
        </Directory>
      </Directory>
    </Directory>

    <Feature Id="Game" Title="My Game" Level="1">
      <ComponentRef Id="GameExe"/>
      <ComponentRef Id="Registration"/>
    </Feature>
  </Product>
</Wix>
)";
}

constexpr char kReadme[] =
    "A starter product made by disc-launcher new. Edit product.toml, the art,\n"
    "the readmes in disc/Docs and package/game.wxs, and put your game in place\n"
    "of package/Game.exe. Then build the package into the payload and disc\n"
    "folders, give it its language transforms, and build the exes, with these\n"
    "three commands in this folder:\n"
    "\n"
    "wixl -a x86 -o payload/Game.msi package/game.wxs && cp payload/Game.msi disc/Game.msi\n"
    "disc-launcher transforms .\n"
    "disc-launcher build . out\n"
    "\n"
    "Run disc-launcher check . before each build: it compares the product with\n"
    "its package and names every mistake it finds. On Windows, build the\n"
    "package with the WiX toolset instead of wixl, into the same two places.\n";

}  // namespace

bool WriteStarterProduct(const fs::path& dir, std::vector<std::string>* written,
                         Diagnostics& diagnostics) {
  std::error_code error;
  if (fs::exists(dir, error) || error) {
    diagnostics.Error(dir.string(), "already exists: new writes a product into a new folder");
    return false;
  }
  std::random_device seed;
  std::mt19937_64 random((uint64_t{seed()} << 32) ^ seed());
  std::vector<std::pair<fs::path, Bytes>> files;
  const auto text = [](const std::string& content) { return Bytes(content.begin(), content.end()); };
  files.emplace_back("product.toml", text(ProductToml(NewGuid(random))));
  files.emplace_back("README.txt", text(kReadme));
  files.emplace_back(fs::path("art") / "background.bmp", PlaceholderArt(164, 354));
  files.emplace_back(fs::path("art") / "background-150.bmp", PlaceholderArt(246, 531));
  files.emplace_back(fs::path("art") / "background-200.bmp", PlaceholderArt(328, 708));
  files.emplace_back(fs::path("art") / "game.ico", PlaceholderIcon());
  files.emplace_back(fs::path("package") / "game.wxs", text(PackageSource(random)));
  files.emplace_back(fs::path("package") / "Game.exe",
                     text("Put your game here in place of this placeholder.\r\n"));
  for (const int32_t lcid : kLanguages) {
    files.emplace_back(fs::path("disc") / "Docs" / Utf16ToUtf8(DocumentCountryOf(lcid)) / "Readme.txt",
                       text("My Game: the readme in " + LanguageName(lcid) + ".\r\n"));
  }
  fs::create_directories(dir / "payload", error);
  for (const auto& [name, bytes] : files) {
    if (error) break;
    fs::create_directories((dir / name).parent_path(), error);
    std::ofstream out(dir / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      diagnostics.Error((dir / name).string(), "cannot be written");
      return false;
    }
    written->push_back((dir / name).string());
  }
  if (error) {
    diagnostics.Error(dir.string(), "cannot be written: " + error.message());
    return false;
  }
  return true;
}
