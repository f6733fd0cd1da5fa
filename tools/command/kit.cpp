#include "command/kit.h"

#include <cstdlib>
#include <fstream>

#include "command/tool_version.h"
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

std::optional<Kit> FindKit(const std::string& arch, std::string* error) {
  Kit kit;
  kit.arch = arch;
  kit.folder = DataFolder() / arch;
  kit.program = kit.folder / "launcher.exe";
  kit.inputs.baseRes = kit.folder / "launcher.res";
  for (const char* art : {"background.bmp", "background-150.bmp", "background-200.bmp"})
    kit.inputs.defaultBackgrounds.push_back(kit.folder / art);
  kit.inputs.defaultIcon = kit.folder / "app.ico";

  std::error_code ignored;
  if (!fs::is_directory(kit.folder, ignored)) {
    *error = kit.folder.string() + ": the prebuilt files for " + arch +
             " are missing (the tool looks beside its own folder, or in " + kDataVariable + ")";
    return std::nullopt;
  }
  const fs::path versionFile = kit.folder / "version.txt";
  const std::string version = ReadVersion(versionFile);
  if (version != kToolVersion) {
    *error = versionFile.string() + ": the prebuilt files are version " +
             (version.empty() ? std::string("(none)") : version) + ", this disc-launcher is " +
             kToolVersion + "; install both from one release";
    return std::nullopt;
  }
  std::vector<fs::path> files = {kit.program, kit.inputs.baseRes, kit.inputs.defaultIcon};
  files.insert(files.end(), kit.inputs.defaultBackgrounds.begin(),
               kit.inputs.defaultBackgrounds.end());
  for (const fs::path& file : files) {
    if (!fs::is_regular_file(file, ignored)) {
      *error = file.string() + ": this prebuilt file is missing";
      return std::nullopt;
    }
  }
  return kit;
}
