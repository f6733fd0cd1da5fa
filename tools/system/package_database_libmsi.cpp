#include <libmsi.h>

#include <memory>

#include "system/package_database.h"

namespace {

struct GObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

// libmsi reports a file it cannot open, or a table that is not there, on
// stderr as well as to the caller; the caller's report is the one that
// names the product.
void IgnoreLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

class QuietLog {
 public:
  QuietLog() : previous_(g_log_set_default_handler(IgnoreLog, nullptr)) {}
  ~QuietLog() { g_log_set_default_handler(previous_, nullptr); }
  QuietLog(const QuietLog&) = delete;
  QuietLog& operator=(const QuietLog&) = delete;

 private:
  GLogFunc previous_;
};

class LibmsiPackage : public PackageDatabase {
 public:
  explicit LibmsiPackage(GObjectPtr<LibmsiDatabase> database) : database_(std::move(database)) {}

  std::optional<std::vector<Row>> Select(const std::string& query) override {
    const QuietLog quiet;
    GObjectPtr<LibmsiQuery> view(libmsi_query_new(database_.get(), query.c_str(), nullptr));
    if (!view || !libmsi_query_execute(view.get(), nullptr, nullptr)) return std::nullopt;
    std::vector<Row> rows;
    while (GObjectPtr<LibmsiRecord> record{libmsi_query_fetch(view.get(), nullptr)}) {
      Row row;
      const unsigned columns = libmsi_record_get_field_count(record.get());
      for (unsigned column = 1; column <= columns; ++column) {
        if (libmsi_record_is_null(record.get(), column)) {
          row.emplace_back();
        } else if (gchar* text = libmsi_record_get_string(record.get(), column)) {
          row.emplace_back(text);
          g_free(text);
        } else {
          row.push_back(std::to_string(libmsi_record_get_int(record.get(), column)));
        }
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }

 private:
  GObjectPtr<LibmsiDatabase> database_;
};

}  // namespace

std::unique_ptr<PackageDatabase> PackageDatabase::Open(const std::filesystem::path& package) {
  const QuietLog quiet;
  GError* rawError = nullptr;
  GObjectPtr<LibmsiDatabase> database(
      libmsi_database_new(package.string().c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, &rawError));
  std::unique_ptr<GError, GErrorFree> error(rawError);
  if (!database) return nullptr;
  return std::make_unique<LibmsiPackage>(std::move(database));
}
