// disc-launcher: turns a product folder into the exes of a disc or a
// download. See kHelp, and docs/product-format.md for the product folder.
#include <algorithm>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "base/tool_version.h"
#include "command/add_transforms.h"
#include "command/disc_launcher_help.h"  // kUsage, kHelp: made from disc_launcher_help.txt
#include "command/kit.h"
#include "command/new_product.h"
#include "command/product_build.h"

#ifdef _WIN32
#include <windows.h>

#include "system/wide_text.h"
#endif

namespace fs = std::filesystem;

namespace {

constexpr const char* kCommands[] = {"build", "check", "transforms", "new"};

struct Command {
  std::string name;
  std::string arch = "i686";
  std::vector<std::string> positional;
};

// The command's name and arguments; false, with why, when they do not fit
// one of the commands.
bool ParseCommand(const std::vector<std::string>& arguments, Command* command, std::string* why) {
  if (arguments.empty()) return false;
  command->name = arguments[0];
  if (std::find(std::begin(kCommands), std::end(kCommands), command->name) == std::end(kCommands)) {
    *why = "disc-launcher: \"" + command->name + "\" is not a command";
    return false;
  }
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
      *why = "disc-launcher " + command->name + ": \"" + argument + "\" is not an option";
      return false;
    } else {
      command->positional.push_back(argument);
    }
  }
  const size_t count = command->positional.size();
  const bool fits = command->name == "build"        ? count == 2
                    : command->name == "transforms" ? count >= 1
                                                    : count == 1;
  if (!fits) *why = "disc-launcher " + command->name + ": takes other arguments";
  return fits;
}

// Prints the diagnostics and the verdict on a product; 0 or 1.
int Verdict(const Diagnostics& diagnostics, bool ok, const std::string& done,
            const std::string& refused) {
  std::cerr << diagnostics.Text();
  if (!ok) {
    std::cerr << refused << "\n";
    return 1;
  }
  std::cout << done << "\n";
  return 0;
}

int RunTransforms(const Command& command) {
  std::vector<GivenTransform> given;
  for (size_t index = 1; index < command.positional.size(); ++index) {
    const std::string& argument = command.positional[index];
    const size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == argument.size()) {
      std::cerr << "disc-launcher transforms: \"" << argument
                << "\" is not CULTURE=FILE.mst, such as fr-fr=French.mst\n";
      return 2;
    }
    given.push_back({argument.substr(0, equals), fs::u8path(argument.substr(equals + 1))});
  }
  Diagnostics diagnostics;
  std::vector<std::string> done;
  const bool ok = AddTransforms(fs::u8path(command.positional[0]), given, &done, diagnostics);
  for (const std::string& line : done) std::cout << line << "\n";
  std::cerr << diagnostics.Text();
  return ok ? 0 : 1;
}

int RunNew(const Command& command) {
  Diagnostics diagnostics;
  std::vector<std::string> written;
  const fs::path dir = fs::u8path(command.positional[0]);
  const bool ok = WriteStarterProduct(dir, &written, diagnostics);
  std::cerr << diagnostics.Text();
  if (!ok) return 1;
  for (const std::string& file : written) std::cout << "wrote " << file << "\n";
  std::cout << "next: the commands in " << (dir / "README.txt").string() << "\n";
  return 0;
}

int RunBuildOrCheck(const Command& command) {
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
    return Verdict(diagnostics, builds, "check: " + productDir.string() + " builds",
                   "check: " + productDir.string() + " is refused");
  }
  const fs::path outDir = fs::u8path(command.positional[1]);
  const bool built = BuildProduct(productDir, outDir, *kit, diagnostics);
  std::string made;
  for (const char* output : {"Autorun.exe", "Installer.exe", "disc", "disc.iso"}) {
    if (!built || !fs::exists(outDir / output, error)) continue;
    made += std::string(output) + " ";
    // Installer-1.bin ... Installer-N.bin, shown as one range.
    const std::vector<std::string> volumes =
        std::string(output) == "Installer.exe" ? InstallerVolumes(outDir) : std::vector<std::string>();
    if (volumes.size() == 1) made += volumes.front() + " ";
    if (volumes.size() > 1) made += volumes.front() + "..." + volumes.back() + " ";
  }
  std::cerr << diagnostics.Text();
  if (!built) return 1;
  std::cout << "built: " << made << "\n";
  return 0;
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
  std::string why;
  if (!ParseCommand(arguments, &command, &why)) {
    if (!why.empty()) std::cerr << why << "\n";
    std::cerr << kUsage;
    return 2;
  }
  if (!IsKnownArch(command.arch)) {
    std::cerr << "disc-launcher: --arch: \"" << command.arch << "\" is not one of i686, x86_64\n";
    return 2;
  }
  if (command.name == "transforms") return RunTransforms(command);
  if (command.name == "new") return RunNew(command);
  return RunBuildOrCheck(command);
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
