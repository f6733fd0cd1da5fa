#include "command/product_build.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "command/product_files.h"
#include "installer/installer_exe.h"
#include "outputs/build_report.h"
#include "outputs/disc_output.h"
#include "outputs/signing.h"
#include "payload/locations.h"
#include "pe/exe_writer.h"
#include "system/file_digest.h"

namespace fs = std::filesystem;

namespace {

// The outputs, in the order the report lists them; the installer's
// volumes come after Installer.exe, and after disc/Autorun.exe on the disc.
constexpr const char* kOutputs[] = {"Autorun.exe", "Installer.exe", "disc/Autorun.exe", "disc.iso"};

// Windows refuses to start an exe of 4 GiB or more.
constexpr uintmax_t kLargestExe = 0xFFFFFFFF;

// A private folder, removed with everything in it when it goes out of
// scope: what a failed build leaves behind.
class ScratchFolder {
 public:
  // Creates a new folder in `parent` whose name starts with `prefix`.
  ScratchFolder(const fs::path& parent, const std::string& prefix) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
      const fs::path candidate = parent / (prefix + std::to_string(random() % 1000000000u));
      std::error_code error;
      if (fs::create_directory(candidate, error)) {
        path_ = candidate;
        return;
      }
      if (error) break;  // not "already there": the parent is not writable
    }
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

fs::path Resolved(const fs::path& path, std::error_code& error) {
  const fs::path absolute = fs::absolute(path, error);
  return error ? fs::path() : fs::weakly_canonical(absolute, error);
}

// Whether `path` is `folder` or lies inside it, after resolving links and
// "..".
bool IsWithin(const fs::path& path, const fs::path& folder) {
  std::error_code error;
  const fs::path resolvedPath = Resolved(path, error);
  if (error) return false;
  const fs::path resolvedFolder = Resolved(folder, error);
  if (error) return false;
  auto pathPart = resolvedPath.begin();
  for (auto folderPart = resolvedFolder.begin(); folderPart != resolvedFolder.end(); ++folderPart) {
    if (folderPart->empty()) continue;  // the empty part after a trailing separator
    if (pathPart == resolvedPath.end() || *pathPart != *folderPart) return false;
    ++pathPart;
  }
  return true;
}

// The product's disc and payload folders are read while OUT_DIR is written
// and OUT_DIR/disc is replaced: neither may lie in the other.
bool FoldersApart(const PreparedProduct& product, const fs::path& outDir,
                  Diagnostics& diagnostics) {
  for (const auto& folder : {product.discFolder, product.payloadFolder}) {
    if (!folder) continue;
    if (IsWithin(*folder, outDir / "disc") || IsWithin(outDir, *folder)) {
      diagnostics.Error(outDir.string(), "overlaps the product's folder " + folder->string() +
                                             ", which the build reads; choose another OUT_DIR");
      return false;
    }
  }
  return true;
}

// With `withDisc` the earlier disc folder goes too.
bool RemoveEarlierOutputs(const fs::path& outDir, bool withDisc, Diagnostics& diagnostics) {
  std::error_code error;
  for (const char* file : {"Autorun.exe", "Installer.exe", "disc.iso", "build-report.json"}) {
    fs::remove(outDir / file, error);
    if (error) {
      diagnostics.Error((outDir / file).string(), "cannot be removed: " + error.message());
      return false;
    }
  }
  for (const std::string& volume : InstallerVolumes(outDir)) {
    fs::remove(outDir / volume, error);
    if (error) {
      diagnostics.Error((outDir / volume).string(), "cannot be removed: " + error.message());
      return false;
    }
  }
  if (withDisc) fs::remove_all(outDir / "disc", error);
  if (error) diagnostics.Error((outDir / "disc").string(), "cannot be removed: " + error.message());
  return !error;
}

// A hard link where the file system allows one: the volumes are large.
bool LinkOrCopy(const fs::path& from, const fs::path& to, std::error_code& error) {
  fs::remove(to, error);
  fs::create_hard_link(from, to, error);
  if (error) fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  return !error;
}

// The digests made while the exes were written, by output name; an output
// without one (signed since, or the disc image) is read back.
using KnownDigests = std::map<std::string, std::string>;

// The outputs in the report's order, relative to the work folder; the
// installer's volumes follow Installer.exe, and an installer with volumes
// is on the disc too, its links or copies following disc/Autorun.exe.
std::vector<std::string> ReportedOutputs(const fs::path& work) {
  std::vector<std::string> names;
  std::error_code error;
  for (const char* name : kOutputs) {
    if (!fs::is_regular_file(work / fs::u8path(name), error)) continue;
    names.push_back(name);
    const std::string output = name;
    if (output == "Installer.exe") {
      for (const std::string& volume : InstallerVolumes(work)) names.push_back(volume);
    } else if (output == "disc/Autorun.exe" && !InstallerVolumes(work).empty()) {
      names.push_back("disc/Installer.exe");
      for (const std::string& volume : InstallerVolumes(work)) names.push_back("disc/" + volume);
    }
  }
  return names;
}

// Written last, so that every warning of the build is in it.
bool WriteReport(const fs::path& work, const Kit& kit, const PreparedProduct& product,
                 const KnownDigests& known, Diagnostics& diagnostics) {
  const std::vector<std::string> names = ReportedOutputs(work);
  std::vector<std::optional<std::string>> digests(names.size());
  // A disc/ output listed beside the output of its name holds that file's
  // bytes: the build copied or linked it there once the file was final
  // (disc/Autorun.exe, disc/Installer.exe and its volumes). Each is hashed
  // once.
  std::vector<std::optional<size_t>> sameAs(names.size());
  std::vector<size_t> unknown;
  for (size_t index = 0; index < names.size(); ++index) {
    const std::string& name = names[index];
    const auto original = name.rfind("disc/", 0) == 0
                              ? std::find(names.begin(), names.end(), name.substr(5))
                              : names.end();
    const auto found = known.find(name);
    if (original != names.end())
      sameAs[index] = static_cast<size_t>(original - names.begin());
    else if (found != known.end() && !found->second.empty())
      digests[index] = found->second;
    else
      unknown.push_back(index);
  }
  // The rest are hashed by two threads, each taking the next file: a large
  // installer's volumes are read from the page cache faster than one core
  // hashes them.
  std::atomic<size_t> next{0};
  auto hashRemaining = [&] {
    for (size_t taken = next++; taken < unknown.size(); taken = next++)
      digests[unknown[taken]] = FileSha256(work / fs::u8path(names[unknown[taken]]));
  };
  std::future<void> helper = std::async(std::launch::async, hashRemaining);
  hashRemaining();
  helper.get();
  for (size_t index = 0; index < names.size(); ++index) {
    if (sameAs[index]) digests[index] = digests[*sameAs[index]];
  }
  std::vector<OutputFile> outputs;
  for (size_t index = 0; index < names.size(); ++index) {
    const fs::path file = work / fs::u8path(names[index]);
    std::error_code error;
    const uintmax_t size = fs::file_size(file, error);
    if (!digests[index] || error) {
      diagnostics.Error(file.string(), "cannot be read back for the report");
      return false;
    }
    outputs.push_back({names[index], static_cast<uint64_t>(size), *digests[index]});
  }
  const std::vector<PayloadFile> noPayload;
  const Json productPart = ProductReport(
      product.languages, product.payload ? product.payload->files : noPayload, diagnostics);
  const std::string text =
      BuildReportText(kit.arch, product.signing.has_value(), productPart, outputs);
  std::ofstream out(work / "build-report.json", std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (out) return true;
  diagnostics.Error((work / "build-report.json").string(), "cannot be written");
  return false;
}

// Moves the finished outputs into OUT_DIR, Autorun.exe last: its presence
// says the build is complete.
bool MoveOutputs(const fs::path& work, const fs::path& outDir, Diagnostics& diagnostics) {
  std::vector<std::string> names = InstallerVolumes(work);
  for (const char* name : {"disc", "disc.iso", "Installer.exe", "build-report.json", "Autorun.exe"})
    names.push_back(name);
  for (const std::string& name : names) {
    std::error_code error;
    if (!fs::exists(work / name, error)) continue;
    fs::rename(work / name, outDir / name, error);
    if (error) {
      diagnostics.Error((outDir / name).string(), "cannot be written: " + error.message());
      return false;
    }
  }
  return true;
}

// Writes the exes into `work`; `digests` gets those made as they were
// written, `volumes` the installer's volumes.
bool WriteExes(const PreparedProduct& product, const Kit& kit, const fs::path& work,
               KnownDigests* digests, std::vector<WrittenVolume>* volumes,
               Diagnostics& diagnostics) {
  if (!WriteExe(kit.program, product.resources.autorun, work / "Autorun.exe",
                &(*digests)["Autorun.exe"], diagnostics))
    return false;
  if (!product.payload) return true;
  WrittenInstaller installer;
  if (!WriteInstaller(kit.program, product.resources.installer, *product.payload,
                      work / "Installer.exe", &installer, diagnostics))
    return false;
  (*digests)["Installer.exe"] = installer.sha256;
  for (const WrittenVolume& volume : installer.volumes)
    (*digests)[volume.path.filename().string()] = volume.sha256;
  *volumes = std::move(installer.volumes);
  return true;
}

// Signs the exes in `work`, which changes them and not the volumes: their
// digests are then read back. An installer whose signature took more than
// the room left for it is named; one of 4 GiB or more is refused.
bool SignExes(const PreparedProduct& product, const fs::path& work, KnownDigests* digests,
              Diagnostics& diagnostics) {
  std::error_code error;
  if (product.signing) {
    for (const char* exe : {"Autorun.exe", "Installer.exe"}) {
      digests->erase(exe);
      if (fs::exists(work / exe, error) && !SignExe(work / exe, *product.signing, work, diagnostics))
        return false;
    }
  }
  const fs::path installer = work / "Installer.exe";
  const uintmax_t size = fs::file_size(installer, error);
  if (error) return true;  // no installer
  if (product.signing && size > product.payload->volumeSize) {
    diagnostics.Warning(installer.filename().string(),
                        "is " + std::to_string(size) +
                            " bytes once signed: its signature took more than the " +
                            std::to_string(kSignatureRoom) + " bytes left for it below volume_size");
  }
  if (size > kLargestExe) {
    diagnostics.Error(installer.string(),
                      "is 4 GiB or more once signed, which Windows refuses to start; make "
                      "volume_size smaller");
    return false;
  }
  return true;
}

// The disc folder and its image. An installer in volumes goes on the disc
// with them: a download of that size is what the disc is there to spare.
bool MakeDisc(const PreparedProduct& product, const fs::path& work,
              const std::vector<WrittenVolume>& volumes, Diagnostics& diagnostics) {
  if (!MakeDiscFolder(*product.discFolder, work / "Autorun.exe", work / "disc", diagnostics))
    return false;
  if (!volumes.empty()) {
    std::vector<fs::path> installer = {work / "Installer.exe"};
    for (const WrittenVolume& volume : volumes) installer.push_back(volume.path);
    std::error_code error;
    for (const fs::path& file : installer) {
      if (!LinkOrCopy(file, work / "disc" / file.filename(), error)) break;
    }
    if (error) {
      diagnostics.Error((work / "disc").string(),
                        "cannot take the installer's volumes: " + error.message());
      return false;
    }
  }
  return product.discLabel.empty() ||
         MakeDiscImage(work / "disc", product.discLabel, work / "disc.iso", work, diagnostics);
}

}  // namespace

std::vector<std::string> InstallerVolumes(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (uint32_t number = 1; number <= payload::kMaxVolumes; ++number) {
    const std::string name = Utf16ToUtf8(payload::VolumeName(number));
    if (!fs::is_regular_file(folder / name, error)) break;
    names.push_back(name);
  }
  return names;
}

bool BuildProduct(const fs::path& productDir, const fs::path& outDir, const Kit& kit,
                  Diagnostics& diagnostics) {
  std::error_code error;
  fs::create_directories(outDir, error);
  if (error) {
    diagnostics.Error(outDir.string(), "cannot be created: " + error.message());
    return false;
  }
  if (IsWithin(productDir, outDir / "disc")) {
    diagnostics.Error(outDir.string(),
                      "holds the product folder in disc/, which the build "
                      "replaces; choose another OUT_DIR");
    return false;
  }
  const std::optional<PreparedProduct> product =
      PrepareProduct(productDir, kit.inputs, false, diagnostics);
  if (!product) {
    // A refused product leaves no exe of an earlier build behind. An old
    // disc/ inside the product folder stays: without the product's
    // settings it cannot be told from the product's own files.
    RemoveEarlierOutputs(outDir, !IsWithin(outDir / "disc", productDir), diagnostics);
    return false;
  }
  if (!FoldersApart(*product, outDir, diagnostics) ||
      !RemoveEarlierOutputs(outDir, true, diagnostics))
    return false;
  const ScratchFolder scratch(outDir, ".disc-launcher.");
  if (scratch.Path().empty()) {
    diagnostics.Error(outDir.string(), "is not writable");
    return false;
  }
  const fs::path& work = scratch.Path();
  KnownDigests digests;
  std::vector<WrittenVolume> volumes;
  return WriteExes(*product, kit, work, &digests, &volumes, diagnostics) &&
         SignExes(*product, work, &digests, diagnostics) &&
         (!product->discFolder || MakeDisc(*product, work, volumes, diagnostics)) &&
         WriteReport(work, kit, *product, digests, diagnostics) &&
         MoveOutputs(work, outDir, diagnostics);
}

bool CheckProduct(const fs::path& productDir, const Kit& kit, Diagnostics& diagnostics) {
  return PrepareProduct(productDir, kit.inputs, true, diagnostics).has_value();
}
