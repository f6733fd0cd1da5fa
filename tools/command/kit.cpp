#include "command/kit.h"

#include <cstdlib>
#include <fstream>

#include "base/tool_version.h"
#include "pe/res_file.h"
#include "system/process.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataVariable = "DISC_LAUNCHER_DATA";

fs::path DataFolder() {
  if (const char* data = std::getenv(kDataVariable); data != nullptr && *data != '\0')
    return fs::u8path(data);
  return RunningExecutable().parent_path().parent_path() / "share" / "disc-launcher";
}

std::string ReadVersion(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string version;
  std::getline(in, version);
  while (!version.empty() && (version.back() == '\r' || version.back() == ' ')) version.pop_back();
  return version;
}

}  // namespace

bool IsKnownArch(const std::string& arch) { return arch == "i686" || arch == "x86_64"; }

std::optional<Kit> FindKit(const std::string& arch, Diagnostics& diagnostics) {
  const fs::path folder = DataFolder() / arch;
  std::error_code ignored;
  if (!fs::is_directory(folder, ignored)) {
    diagnostics.Error(folder.string(), "the prebuilt files for " + arch +
                                           " are missing (the tool looks beside its own "
                                           "folder, or in " + kDataVariable + ")");
    return std::nullopt;
  }
  const fs::path versionFile = folder / "version.txt";
  const std::string version = ReadVersion(versionFile);
  if (version != kToolVersion) {
    diagnostics.Error(versionFile.string(),
                      "the prebuilt files are version " +
                          (version.empty() ? std::string("(none)") : version) +
                          ", this disc-launcher is " + kToolVersion +
                          "; install both from one release");
    return std::nullopt;
  }
  Kit kit;
  kit.arch = arch;
  const fs::path program = folder / "launcher.exe";
  const fs::path baseRes = folder / "launcher.res";
  for (const char* art : {"background.bmp", "background-150.bmp", "background-200.bmp"})
    kit.inputs.defaultBackgrounds.push_back(folder / art);
  kit.inputs.defaultIcon = folder / "app.ico";
  std::vector<fs::path> files = {program, baseRes, kit.inputs.defaultIcon};
  files.insert(files.end(), kit.inputs.defaultBackgrounds.begin(),
               kit.inputs.defaultBackgrounds.end());
  for (const fs::path& file : files) {
    if (!fs::is_regular_file(file, ignored)) {
      diagnostics.Error(file.string(), "this prebuilt file is missing");
      return std::nullopt;
    }
  }
  std::optional<LinkedExe> linked = ReadLinkedExe(program, diagnostics);
  if (!linked || !ReadResFile(baseRes, &kit.inputs.base, diagnostics)) return std::nullopt;
  kit.program = std::move(*linked);
  return kit;
}
