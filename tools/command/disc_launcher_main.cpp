// disc-launcher: turns a product folder into the exes of a disc or a
// download. See kHelp, and docs/product-format.md for the product folder.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "base/tool_version.h"
#include "command/kit.h"
#include "command/product_build.h"

#ifdef _WIN32
#include <windows.h>

#include "system/wide_text.h"
#endif

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: disc-launcher build [--arch i686|x86_64] PRODUCT_DIR OUT_DIR\n"
    "       disc-launcher check [--arch i686|x86_64] PRODUCT_DIR\n"
    "       disc-launcher --version | --help\n";

constexpr const char* kHelp =
    "\n"
    "build  checks PRODUCT_DIR and writes into OUT_DIR: Autorun.exe (the launcher),\n"
    "       Installer.exe when the product has a payload (and Installer-1.bin ...\n"
    "       beside it for what does not fit in volume_size), disc/ when it has a\n"
    "       disc folder, disc.iso when it names a disc_label, and build-report.json.\n"
    "       The exes are signed last when product.toml has a [signing] table.\n"
    "check  runs every check of PRODUCT_DIR, prints every error and warning and\n"
    "       writes nothing: exit 0 when it would build, 1 when not.\n"
    "\n"
    "--arch i686 (the default) makes the 32-bit program that ships; x86_64 makes\n"
    "its 64-bit twin, for Windows without 32-bit support.\n"
    "\n"
    "The same product folder builds to the same unsigned exes and disc folder at\n"
    "any time, from any path, on Linux and on Windows. SOURCE_DATE_EPOCH, when set,\n"
    "is the time of the disc image's files and volume. DISC_LAUNCHER_DATA names\n"
    "the folder of the prebuilt files (share/disc-launcher of the installation).\n";

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
  Diagnostics diagnostics;
  const std::optional<Kit> kit = FindKit(command.arch, diagnostics);
  if (!kit) {
    std::cerr << diagnostics.Text();
    return 1;
  }

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

// The tool's own code throws nothing, but the standard library may (memory
// running out, a thread that cannot start): such a failure still ends with
// a message and exit code 1, never with an abort.
int RunCatchingAll(const std::vector<std::string>& arguments) {
  try {
    return Run(arguments);
  } catch (const std::exception& failure) {
    std::cerr << "disc-launcher: failed: " << failure.what() << "\n";
  } catch (...) {
    std::cerr << "disc-launcher: failed\n";
  }
  return 1;
}

}  // namespace

#ifdef _WIN32
// The wide command line, so that any path reaches the tool; the tool works
// in UTF-8 and the console is told so.
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(WideToUtf8(argv[i]));
  return RunCatchingAll(arguments);
}
#else
int main(int argc, char** argv) {
  return RunCatchingAll(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
