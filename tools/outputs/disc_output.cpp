#include "outputs/disc_output.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <vector>

#include "system/file_times.h"
#include "system/process.h"

namespace fs = std::filesystem;

namespace {

constexpr char kAutorunInf[] = "[autorun]\r\nopen=Autorun.exe\r\nicon=Autorun.exe,0\r\n";

// SOURCE_DATE_EPOCH, when it is set to a whole number of seconds.
std::optional<int64_t> SourceDateEpoch(std::string* error) {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text == '\0') return std::nullopt;
  char* end = nullptr;
  const long long seconds = std::strtoll(text, &end, 10);
  if (*end != '\0' || seconds < 0) {
    *error = std::string("SOURCE_DATE_EPOCH: \"") + text + "\" is not a number of seconds";
    return std::nullopt;
  }
  return static_cast<int64_t>(seconds);
}

std::string SetTimesBelow(const fs::path& disc, int64_t seconds) {
  std::error_code error;
  std::vector<fs::path> paths = {disc};
  for (fs::recursive_directory_iterator it(disc, error), end; !error && it != end;
       it.increment(error))
    paths.push_back(it->path());
  if (error) return disc.string() + ": " + error.message();
  for (const fs::path& path : paths)
    if (!SetFileTimesTo(path, seconds)) return path.string() + ": its time cannot be set";
  return std::string();
}

// Copies the tree below `source` into the existing folder `target`:
// folders, files and links as links. Written out rather than left to
// std::filesystem::copy, whose recursive form differs between the standard
// libraries of Linux and Windows on folders that already exist.
std::string CopyTree(const fs::path& source, const fs::path& target) {
  std::error_code error;
  fs::recursive_directory_iterator it(source, error);
  for (const fs::recursive_directory_iterator end; !error && it != end; it.increment(error)) {
    const fs::path to = target / fs::relative(it->path(), source, error);
    if (error) break;
    const fs::file_status status = it->symlink_status(error);
    if (error) break;
    if (fs::is_symlink(status)) {
      fs::copy_symlink(it->path(), to, error);
    } else if (fs::is_directory(status)) {
      fs::create_directories(to, error);
    } else if (fs::is_regular_file(status)) {
      fs::copy_file(it->path(), to, fs::copy_options::overwrite_existing, error);
    } else {
      return it->path().string() + ": is neither a file nor a folder, so it cannot go on the disc";
    }
    if (error) return "copying " + it->path().string() + ": " + error.message();
  }
  if (error) return "copying the disc folder " + source.string() + ": " + error.message();
  return std::string();
}

}  // namespace

std::string MakeDiscFolder(const fs::path& source, const fs::path& autorunExe,
                           const fs::path& disc) {
  std::error_code error;
  fs::create_directories(disc, error);
  if (error) return disc.string() + ": " + error.message();
  if (const std::string failure = CopyTree(source, disc); !failure.empty()) return failure;
  fs::copy_file(autorunExe, disc / "Autorun.exe", fs::copy_options::overwrite_existing, error);
  if (error) return (disc / "Autorun.exe").string() + ": " + error.message();
  std::ofstream inf(disc / "autorun.inf", std::ios::binary | std::ios::trunc);
  inf << kAutorunInf;
  inf.close();
  if (!inf) return (disc / "autorun.inf").string() + ": cannot be written";
  return std::string();
}

std::string MakeDiscImage(const fs::path& disc, const std::string& label, const fs::path& iso,
                          const fs::path& logFolder) {
  if (!IsOnPath("xorriso"))
    return "making disc.iso: xorriso is not on PATH; install it, or leave disc_label out of "
           "product.toml to build without the image";
  std::string error;
  const std::optional<int64_t> epoch = SourceDateEpoch(&error);
  if (!error.empty()) return error;
  if (epoch) {
    error = SetTimesBelow(disc, *epoch);
    if (!error.empty()) return error;
  }
  const fs::path log = logFolder / "xorriso.log";
  const ProgramResult result =
      RunProgram({"xorriso", "-as", "mkisofs", "-quiet", "-iso-level", "3", "-J", "-joliet-long",
                  "-r", "-V", label, "-o", iso.string(), disc.string()},
                 log);
  if (result.started && result.exitCode == 0) return std::string();
  return ProgramLog(log) + "making disc.iso failed" +
         (result.started ? " (xorriso exited with " + std::to_string(result.exitCode) + ")"
                         : std::string(": xorriso could not be started"));
}
