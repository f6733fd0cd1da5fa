// product_tool [--check] PRODUCT_DIR WORK_DIR --base-res FILE
//              --default-background FILE... --default-icon FILE
// product_tool --add-resources RES_FILE LINKED_EXE OUT_EXE
// product_tool --version
//
// Checks a product folder and writes the resource files of its exes and the
// build's settings into WORK_DIR (see product_build.h); with --check it only
// reports. scripts/build-product runs it, links each exe without resources
// and then has --add-resources write OUT_EXE: the linked exe with the
// resource file's resources as its resource section (pe_resource_section.h).
#include <filesystem>
#include <iostream>
#include <string>

#include "build_report.h"
#include "diagnostics.h"
#include "pe_resource_section.h"
#include "product_build.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: product_tool [--check] PRODUCT_DIR WORK_DIR --base-res FILE --default-background FILE "
    "[--default-background FILE...] --default-icon FILE\n"
    "       product_tool --add-resources RES_FILE LINKED_EXE OUT_EXE\n";

bool ParseArguments(int argc, char** argv, fs::path* productDir, fs::path* workDir,
                    ResourceInputs* inputs, bool* checkOnly) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    fs::path* option = nullptr;
    if (argument == "--base-res")
      option = &inputs->baseRes;
    else if (argument == "--default-icon")
      option = &inputs->defaultIcon;
    if (argument == "--default-background") {
      // Once per size of the default art.
      if (++i == argc) return false;
      inputs->defaultBackgrounds.emplace_back(argv[i]);
    } else if (argument == "--check") {
      *checkOnly = true;
    } else if (option != nullptr) {
      if (++i == argc) return false;
      *option = argv[i];
    } else if (positional == 0) {
      *productDir = argument, ++positional;
    } else if (positional == 1) {
      *workDir = argument, ++positional;
    } else {
      return false;
    }
  }
  return positional == 2 && !inputs->baseRes.empty() && !inputs->defaultBackgrounds.empty() &&
         !inputs->defaultIcon.empty();
}

}  // namespace

int main(int argc, char** argv) {
  fs::path productDir;
  fs::path workDir;
  ResourceInputs inputs;
  bool checkOnly = false;
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::cout << kProductToolVersion << "\n";
    return 0;
  }
  if (argc >= 2 && std::string(argv[1]) == "--add-resources") {
    if (argc != 5) {
      std::cerr << kUsage;
      return 2;
    }
    const std::string error = AddResourceSection(argv[2], argv[3], argv[4]);
    if (error.empty()) return 0;
    std::cerr << error << "\n";
    return 1;
  }
  if (!ParseArguments(argc, argv, &productDir, &workDir, &inputs, &checkOnly)) {
    std::cerr << kUsage;
    return 2;
  }

  Diagnostics diagnostics;
  const bool ok = BuildProductFiles(productDir, workDir, inputs, checkOnly, diagnostics);
  std::cerr << diagnostics.Text();
  return ok ? 0 : 1;
}
