#include <windows.h>

#include "system/package_storages.h"
// windows.h first: the Installer's headers need its types.
#include <msi.h>
#include <msiquery.h>

#include <vector>

#include "system/wide_text.h"

namespace {

// An Installer handle, closed when it goes out of scope.
class MsiHandle {
 public:
  MsiHandle() = default;
  ~MsiHandle() {
    if (handle_ != 0) MsiCloseHandle(handle_);
  }
  MsiHandle(const MsiHandle&) = delete;
  MsiHandle& operator=(const MsiHandle&) = delete;
  MSIHANDLE* Out() { return &handle_; }
  MSIHANDLE Get() const { return handle_; }

 private:
  MSIHANDLE handle_ = 0;
};

}  // namespace

std::optional<std::set<std::string>> ReadEmbeddedStorages(const std::filesystem::path& package) {
  MsiHandle database;
  // MSIDBOPEN_READONLY is a pointer constant in the headers: the mode is
  // passed in place of an output path.
  if (MsiOpenDatabaseW(package.wstring().c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_READONLY),
                       database.Out()) != ERROR_SUCCESS)
    return std::nullopt;
  MsiHandle view;
  if (MsiDatabaseOpenViewW(database.Get(), L"SELECT `Name` FROM `_Storages`", view.Out()) !=
          ERROR_SUCCESS ||
      MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS)
    return std::nullopt;
  std::set<std::string> names;
  for (;;) {
    MsiHandle record;
    const UINT fetched = MsiViewFetch(view.Get(), record.Out());
    if (fetched == ERROR_NO_MORE_ITEMS) break;
    if (fetched != ERROR_SUCCESS) return std::nullopt;
    DWORD length = 0;
    wchar_t empty[1] = {};
    if (MsiRecordGetStringW(record.Get(), 1, empty, &length) != ERROR_MORE_DATA && length != 0)
      return std::nullopt;
    std::vector<wchar_t> name(length + 1);
    length = static_cast<DWORD>(name.size());
    if (MsiRecordGetStringW(record.Get(), 1, name.data(), &length) != ERROR_SUCCESS)
      return std::nullopt;
    names.insert(WideToUtf8(std::wstring(name.data(), length)));
  }
  return names;
}
