#include <windows.h>

#include "system/package_database.h"
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
  explicit MsiHandle(MSIHANDLE handle) : handle_(handle) {}
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

std::optional<std::string> FieldText(MSIHANDLE record, UINT field) {
  DWORD length = 0;
  wchar_t empty[1] = {};
  const UINT sized = MsiRecordGetStringW(record, field, empty, &length);
  if (sized == ERROR_SUCCESS) return std::string();
  if (sized != ERROR_MORE_DATA) return std::nullopt;
  std::vector<wchar_t> text(length + 1);
  length = static_cast<DWORD>(text.size());
  if (MsiRecordGetStringW(record, field, text.data(), &length) != ERROR_SUCCESS) return std::nullopt;
  return WideToUtf8(std::wstring(text.data(), length));
}

class MsiPackage : public PackageDatabase {
 public:
  explicit MsiPackage(MSIHANDLE database) : database_(database) {}

  std::optional<std::vector<Row>> Select(const std::string& query) override {
    MsiHandle view;
    if (MsiDatabaseOpenViewW(database_.Get(), Utf8ToWide(query).c_str(), view.Out()) !=
            ERROR_SUCCESS ||
        MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS)
      return std::nullopt;
    std::vector<Row> rows;
    for (;;) {
      MsiHandle record;
      const UINT fetched = MsiViewFetch(view.Get(), record.Out());
      if (fetched == ERROR_NO_MORE_ITEMS) return rows;
      if (fetched != ERROR_SUCCESS) return std::nullopt;
      Row row;
      const UINT columns = MsiRecordGetFieldCount(record.Get());
      for (UINT column = 1; column <= columns; ++column) {
        std::optional<std::string> text = FieldText(record.Get(), column);
        if (!text) return std::nullopt;
        row.push_back(std::move(*text));
      }
      rows.push_back(std::move(row));
    }
  }

 private:
  MsiHandle database_;
};

}  // namespace

std::unique_ptr<PackageDatabase> PackageDatabase::Open(const std::filesystem::path& package) {
  MSIHANDLE database = 0;
  // MSIDBOPEN_READONLY is a pointer constant in the headers: the mode is
  // passed in place of an output path.
  if (MsiOpenDatabaseW(package.wstring().c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_READONLY),
                       &database) != ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<MsiPackage>(database);
}
