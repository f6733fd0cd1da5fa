// disc-launcher: turns a product folder into the exes of a disc or a
// download. See kHelp, and docs/product-format.md for the product folder.
#include <iostream>
#include <string>
#include <vector>

#include "command/disc_launcher_help.h"  // kUsage, kHelp: made from disc_launcher_help.txt
#include "command/kit.h"
#include "command/product_build.h"
#include "command/tool_version.h"
#include "product/diagnostics.h"

#ifdef _WIN32
#include <windows.h>

#include "system/wide_text.h"
#endif

namespace fs = std::filesystem;

namespace {

struct Command {
  std::string name;
  std::string arch = "i686";
  std::vector<std::string> positional;
};

// Exit codes: 0 built (or would build), 1 refused or failed, 2 misused.
bool ParseCommand(const std::vector<std::string>& arguments, Command* command) {
  if (arguments.empty()) return false;
  command->name = arguments[0];
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--arch" && i + 1 < arguments.size()) {
      command->arch = arguments[++i];
    } else if (argument.rfind("--arch=", 0) == 0) {
      command->arch = argument.substr(7);
    } else if (argument == "--") {
      command->positional.insert(command->positional.end(), arguments.begin() + i + 1,
                                 arguments.end());
      break;
    } else if (!argument.empty() && argument[0] == '-') {
      return false;
    } else {
      command->positional.push_back(argument);
    }
  }
  const size_t wanted = command->name == "build" ? 2 : command->name == "check" ? 1 : 0;
  return wanted != 0 && command->positional.size() == wanted;
}

int Run(const std::vector<std::string>& arguments) {
  if (arguments.size() == 1 && arguments[0] == "--version") {
    std::cout << "disc-launcher " << kToolVersion << "\n";
    return 0;
  }
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::cout << kUsage << kHelp;
    return 0;
  }
  Command command;
  if (!ParseCommand(arguments, &command)) {
    std::cerr << kUsage;
    return 2;
  }
  if (!IsKnownArch(command.arch)) {
    std::cerr << "disc-launcher: --arch: \"" << command.arch << "\" is not one of i686, x86_64\n";
    return 2;
  }
  const fs::path productDir = fs::u8path(command.positional[0]);
  std::error_code error;
  if (!fs::is_directory(productDir, error)) {
    std::cerr << productDir.string() << ": is not a folder\n";
    return 1;
  }
  std::string kitError;
  const std::optional<Kit> kit = FindKit(command.arch, &kitError);
  if (!kit) {
    std::cerr << "disc-launcher: " << kitError << "\n";
    return 1;
  }

  Diagnostics diagnostics;
  if (command.name == "check") {
    const bool builds = CheckProduct(productDir, *kit, diagnostics);
    std::cerr << diagnostics.Text();
    if (builds) {
      std::cout << "check: " << productDir.string() << " builds\n";
      return 0;
    }
    std::cerr << "check: " << productDir.string() << " is refused\n";
    return 1;
  }
  const fs::path outDir = fs::u8path(command.positional[1]);
  const bool built = BuildProduct(productDir, outDir, *kit, diagnostics);
  std::cerr << diagnostics.Text();
  if (!built) return 1;
  std::string made;
  for (const char* output : {"Autorun.exe", "Installer.exe", "disc", "disc.iso"}) {
    if (!fs::exists(outDir / output, error)) continue;
    made += std::string(output) + " ";
    // Installer-1.bin ... Installer-N.bin, shown as one range.
    const std::vector<std::string> volumes =
        std::string(output) == "Installer.exe" ? InstallerVolumes(outDir) : std::vector<std::string>();
    if (volumes.size() == 1) made += volumes.front() + " ";
    if (volumes.size() > 1) made += volumes.front() + "..." + volumes.back() + " ";
  }
  std::cout << "built: " << made << "\n";
  return 0;
}

}  // namespace

#ifdef _WIN32
// The wide command line, so that any path reaches the tool; the tool works
// in UTF-8 and the console is told so.
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(WideToUtf8(argv[i]));
  return Run(arguments);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
