#include "product/payload_files.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <system_error>

#include "platform/text.h"

namespace fs = std::filesystem;

namespace {

std::string AsciiUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsReservedDeviceName(const std::string& component) {
  std::string stem = AsciiUpper(component.substr(0, component.find('.')));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : kDevices) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

std::optional<std::string> ComponentProblem(const std::string& component) {
  if (component.empty())
    return "has an empty folder name (a leading, trailing or doubled backslash)";
  if (component == "." || component == "..")
    return "has a \"" + component + "\" component that leaves its folder";
  for (const char c : component) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ';')
      return std::string("holds \";\", which separates the items of the payload manifest");
    if (c == ':') return std::string("holds \":\", which names a drive or a stream");
    if (byte < 0x20 || std::string_view("<>\"/|?*").find(c) != std::string_view::npos) {
      return std::string("holds a character that Windows does not allow in file names");
    }
  }
  if (component.back() == '.' || component.back() == ' ') {
    return std::string("ends with a full stop or a blank, which Windows drops");
  }
  if (IsReservedDeviceName(component)) return "uses the device name " + component;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> PayloadNameProblem(const std::string& name) {
  WString decoded;
  if (!DecodeUtf8Strict(name, &decoded)) return std::string("is not valid UTF-8");
  size_t start = 0;
  while (true) {
    const size_t end = name.find('\\', start);
    const std::string component =
        name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (auto problem = ComponentProblem(component)) return problem;
    if (end == std::string::npos) return std::nullopt;
    start = end + 1;
  }
}

std::vector<PayloadFile> CollectPayloadFiles(const fs::path& folder, Diagnostics& diagnostics) {
  std::vector<PayloadFile> files;
  std::error_code error;
  // Links to folders are followed, so that a payload can be put together
  // from links.
  fs::recursive_directory_iterator walk(folder, fs::directory_options::follow_directory_symlink,
                                        error);
  const fs::recursive_directory_iterator end;
  for (; !error && walk != end; walk.increment(error)) {
    const fs::directory_entry& entry = *walk;
    const std::string shown = entry.path().string();
    std::error_code statusError;
    if (entry.is_directory(statusError)) continue;
    if (!entry.is_regular_file(statusError)) {
      diagnostics.Error(shown, "is not a regular file and cannot be embedded");
      continue;
    }
    std::string name;
    bool separable = true;
    for (const fs::path& part : entry.path().lexically_relative(folder)) {
      const std::string component = part.u8string();  // UTF-8 on every host
      // On Linux a backslash is an ordinary character, but the manifest
      // would read it as a folder separator.
      if (component.find('\\') != std::string::npos) separable = false;
      name += (name.empty() ? "" : "\\") + component;
    }
    if (!separable) {
      diagnostics.Error(
          shown, "payload name holds a backslash, which Windows reads as a folder separator");
      continue;
    }
    if (auto problem = PayloadNameProblem(name)) {
      diagnostics.Error(shown, "payload name " + *problem);
      continue;
    }
    const uint64_t size = entry.file_size(statusError);
    if (statusError) {
      diagnostics.Error(shown, "cannot be read: " + statusError.message());
      continue;
    }
    files.push_back({name, entry.path(), size});
  }
  if (error) diagnostics.Error(folder.string(), "cannot be listed: " + error.message());

  std::sort(files.begin(), files.end(),
            [](const PayloadFile& a, const PayloadFile& b) { return a.name < b.name; });
  // Windows file names ignore case: two names that differ only in case
  // would unpack into one file.
  std::map<std::string, const PayloadFile*> seen;
  for (const PayloadFile& file : files) {
    const auto [previous, added] = seen.emplace(AsciiUpper(file.name), &file);
    if (!added) {
      diagnostics.Error(file.source.string(), "payload name differs from " +
                                                  previous->second->source.string() +
                                                  " only in case; on Windows both are one file");
    }
  }
  if (diagnostics.HasErrors()) files.clear();
  return files;
}

void CheckPayload(const std::vector<PayloadFile>& files, const std::string& packageName,
                  const std::string& where, Diagnostics& diagnostics) {
  const bool hasPackage = std::any_of(files.begin(), files.end(), [&](const PayloadFile& file) {
    return AsciiUpper(file.name) == AsciiUpper(packageName);
  });
  if (packageName.find('\\') != std::string::npos || packageName.find('/') != std::string::npos) {
    diagnostics.Error(where,
                      "package_name \"" + packageName +
                          "\" must be a bare file name: the installer runs the package from the "
                          "payload's root");
  } else if (!hasPackage) {
    diagnostics.Error(where, "does not hold the package \"" + packageName + "\" at its root");
  }
  if (files.size() > kMaxPayloadFiles) {
    diagnostics.Error(where, "holds " + std::to_string(files.size()) + " files; at most " +
                                 std::to_string(kMaxPayloadFiles) +
                                 " fit the resource ids 3001 to 65535");
  }
}

std::vector<uint8_t> EncodePayloadManifest(const std::vector<PayloadFile>& files) {
  std::vector<uint8_t> manifest;
  for (const PayloadFile& file : files) {
    manifest.insert(manifest.end(), file.name.begin(), file.name.end());
    manifest.push_back(';');
  }
  manifest.push_back(0);
  return manifest;
}
