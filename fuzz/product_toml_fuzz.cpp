// A publisher's product.toml, any bytes, through the product tool's
// preparation of a build: it either gives the exes' resources or names a
// file (and, for product.toml, a field).
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "command/product_files.h"
#include "fuzz_check.h"
#include "product/product_definition.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A 1 x 1 24-bit BMP and an ICO with one 16 x 16 image: small, so that each
// run writes little.
std::string TinyBmp() {
  std::string bmp = "BM";
  bmp += std::string("\x3A\0\0\0\0\0\0\0\x36\0\0\0", 12);
  bmp += std::string("\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0", 16);
  bmp += std::string(24, '\0') + std::string("\xFF\x80\x00\x00", 4);
  return bmp;
}
std::string TinyIco() {
  std::string ico("\0\0\x01\0\x01\0", 6);
  ico += std::string("\x10\x10\0\0\x01\0\x20\0\x04\0\0\0\x16\0\0\0", 16);
  return ico + "icon";
}

struct Folders {
  fs::path root, product;
  ResourceInputs inputs;
};

// The product folder holds art, an icon, a payload with its package and a
// disc folder, for product.toml to name.
const Folders& MakeFolders() {
  static const Folders folders = [] {
    Folders made;
    made.root = fs::temp_directory_path() / ("product-toml-fuzz-" + std::to_string(getpid()));
    made.product = made.root / "product";
    WriteFile(made.product / "art.bmp", TinyBmp());
    WriteFile(made.product / "app.ico", TinyIco());
    WriteFile(made.product / "payload" / "Skyforge2.msi", "msi");
    WriteFile(made.product / "disc" / "Skyforge2.msi", "msi");
    WriteFile(made.root / "default.bmp", TinyBmp());
    WriteFile(made.root / "default.ico", TinyIco());
    made.inputs = {{}, {made.root / "default.bmp"}, made.root / "default.ico"};
    return made;
  }();
  return folders;
}

bool Inside(const fs::path& path, const fs::path& folder) {
  std::error_code error;
  const fs::path relative =
      fs::weakly_canonical(path, error).lexically_relative(fs::weakly_canonical(folder, error));
  return !relative.empty() && *relative.begin() != "..";
}

// The tool reads whatever files product.toml names, wherever they are; the
// fuzzer keeps to its own folder rather than walk the machine.
bool NamesOnlyFilesInside(const fs::path& product) {
  Diagnostics ignored;
  const std::optional<ProductDefinition> definition = LoadProductDefinition(product, ignored);
  if (!definition) return true;
  for (const fs::path& art : definition->backgrounds) {
    if (!Inside(art, product)) return false;
  }
  for (const auto& named : {definition->icon, definition->payload, definition->disc}) {
    if (named && !Inside(*named, product)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Folders& folders = MakeFolders();
  const fs::path toml = folders.product / "product.toml";
  WriteFile(toml, std::string(reinterpret_cast<const char*>(data), size));
  if (!NamesOnlyFilesInside(folders.product)) return 0;

  Diagnostics diagnostics;
  const std::optional<PreparedProduct> prepared =
      PrepareProduct(folders.product, folders.inputs, false, diagnostics);
  FUZZ_CHECK(prepared.has_value() != diagnostics.HasErrors());
  if (prepared) {
    FUZZ_CHECK(!prepared->resources.autorun.empty());
    FUZZ_CHECK(prepared->payload.has_value() == !prepared->resources.installer.empty());
    return 0;
  }
  // Every error names a file of the product, and one about product.toml
  // names its field or its line.
  for (const Diagnostic& entry : diagnostics.All()) {
    if (!entry.isError) continue;
    FUZZ_CHECK(entry.where.compare(0, folders.product.string().size(), folders.product.string()) ==
               0);
    if (entry.where.compare(0, toml.string().size(), toml.string()) == 0) {
      const std::string rest = entry.where.substr(toml.string().size());
      FUZZ_CHECK(rest.size() > 2 && rest[0] == ':');
    }
  }
  return 0;
}
