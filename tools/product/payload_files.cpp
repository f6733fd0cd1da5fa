#include "product/payload_files.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <system_error>

#include "payload/item_names.h"
#include "product/outside_paths.h"
#include "payload/locations.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace {

std::string AsciiUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Whether `entry` is a link to a folder it lies in, which a walk that
// follows links would enter again and again.
bool LinksToItsOwnFolder(const fs::directory_entry& entry) {
  std::error_code error;
  if (!entry.is_symlink(error)) return false;
  const fs::path target = fs::canonical(entry.path(), error);
  if (error) return false;
  const fs::path parent = fs::canonical(entry.path().parent_path(), error);
  if (error) return false;
  const fs::path rest = parent.lexically_relative(target);
  return !rest.empty() && *rest.begin() != "..";
}

}  // namespace

std::vector<PayloadFile> CollectPayloadFiles(const fs::path& folder, const fs::path& productFolder,
                                             Diagnostics& diagnostics) {
  const size_t errorsBefore = diagnostics.ErrorCount();
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
    if (entry.is_symlink(statusError) && LiesOutside(entry.path(), productFolder)) {
      std::error_code ignored;
      diagnostics.Warning(shown, "links to " + fs::read_symlink(entry.path(), ignored).string() +
                                     ", outside the product folder: the build takes what it "
                                     "leads to");
    }
    if (entry.is_directory(statusError)) {
      if (LinksToItsOwnFolder(entry)) {
        diagnostics.Error(shown, "links to a folder that holds it, so the payload would never end");
        walk.disable_recursion_pending();
      }
      continue;
    }
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
    WString decoded;
    if (!DecodeUtf8Strict(name, &decoded)) {
      diagnostics.Error(shown, "payload name is not valid UTF-8");
      continue;
    }
    if (auto problem = payload::ItemNameProblem(decoded)) {
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
  if (diagnostics.ErrorCount() > errorsBefore) files.clear();
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
  if (files.size() > payload::kMaxFiles) {
    diagnostics.Error(where, "holds " + std::to_string(files.size()) + " files; at most " +
                                 std::to_string(payload::kMaxFiles) + " fit the resource ids " +
                                 std::to_string(IDR_PAYLOAD_FIRST) + " to " +
                                 std::to_string(payload::kLargestResourceId));
  }
}
