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

bool Failed(const std::string& where, const std::string& message, Diagnostics& diagnostics) {
  diagnostics.Error(where, message);
  return false;
}

// SOURCE_DATE_EPOCH, when it is set; false when it is set to something
// other than a whole number of seconds.
bool SourceDateEpoch(std::optional<int64_t>* seconds, Diagnostics& diagnostics) {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text == '\0') return true;
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (*end != '\0' || value < 0)
    return Failed("SOURCE_DATE_EPOCH", std::string("\"") + text + "\" is not a number of seconds",
                  diagnostics);
  *seconds = static_cast<int64_t>(value);
  return true;
}

bool SetTimesBelow(const fs::path& disc, int64_t seconds, Diagnostics& diagnostics) {
  std::error_code error;
  std::vector<fs::path> paths = {disc};
  for (fs::recursive_directory_iterator it(disc, error), end; !error && it != end;
       it.increment(error))
    paths.push_back(it->path());
  if (error) return Failed(disc.string(), error.message(), diagnostics);
  for (const fs::path& path : paths)
    if (!SetFileTimesTo(path, seconds))
      return Failed(path.string(), "its time cannot be set", diagnostics);
  return true;
}

// Copies the tree below `source` into the existing folder `target`:
// folders, files and links as links. Written out rather than left to
// std::filesystem::copy, whose recursive form differs between the standard
// libraries of Linux and Windows on folders that already exist.
bool CopyTree(const fs::path& source, const fs::path& target, Diagnostics& diagnostics) {
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
      return Failed(it->path().string(),
                    "is neither a file nor a folder, so it cannot go on the disc", diagnostics);
    }
    if (error) return Failed("copying " + it->path().string(), error.message(), diagnostics);
  }
  if (error)
    return Failed("copying the disc folder " + source.string(), error.message(), diagnostics);
  return true;
}

}  // namespace

bool MakeDiscFolder(const fs::path& source, const fs::path& autorunExe, const fs::path& disc,
                    Diagnostics& diagnostics) {
  std::error_code error;
  fs::create_directories(disc, error);
  if (error) return Failed(disc.string(), error.message(), diagnostics);
  if (!CopyTree(source, disc, diagnostics)) return false;
  fs::copy_file(autorunExe, disc / "Autorun.exe", fs::copy_options::overwrite_existing, error);
  if (error) return Failed((disc / "Autorun.exe").string(), error.message(), diagnostics);
  std::ofstream inf(disc / "autorun.inf", std::ios::binary | std::ios::trunc);
  inf << kAutorunInf;
  inf.close();
  if (!inf) return Failed((disc / "autorun.inf").string(), "cannot be written", diagnostics);
  return true;
}

bool MakeDiscImage(const fs::path& disc, const std::string& label, const fs::path& iso,
                   const fs::path& logFolder, Diagnostics& diagnostics) {
  if (!IsOnPath("xorriso"))
    return Failed("making disc.iso",
                  "xorriso is not on PATH; install it, or leave disc_label out of product.toml "
                  "to build without the image",
                  diagnostics);
  std::optional<int64_t> epoch;
  if (!SourceDateEpoch(&epoch, diagnostics)) return false;
  if (epoch && !SetTimesBelow(disc, *epoch, diagnostics)) return false;
  const fs::path log = logFolder / "xorriso.log";
  const ProgramResult result =
      RunProgram({"xorriso", "-as", "mkisofs", "-quiet", "-iso-level", "3", "-J", "-joliet-long",
                  "-r", "-V", label, "-o", iso.string(), disc.string()},
                 log);
  if (result.started && result.exitCode == 0) return true;
  // What xorriso printed comes first; the sentence that sums it up last.
  diagnostics.Error("disc-launcher",
                    ProgramLog(log) + "making disc.iso failed" +
                        (result.started ? " (xorriso exited with " +
                                              std::to_string(result.exitCode) + ")"
                                        : std::string(": xorriso could not be started")));
  return false;
}
