#include <libmsi.h>

#include <memory>

#include "system/package_storages.h"

namespace {

struct GObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

// libmsi reports a file it cannot open on stderr as well as to the caller;
// the caller's report is the one that names the product.
void IgnoreLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

}  // namespace

std::optional<std::set<std::string>> ReadEmbeddedStorages(const std::filesystem::path& package) {
  const GLogFunc previous = g_log_set_default_handler(IgnoreLog, nullptr);
  GError* rawError = nullptr;
  GObjectPtr<LibmsiDatabase> database(
      libmsi_database_new(package.string().c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, &rawError));
  std::unique_ptr<GError, GErrorFree> error(rawError);
  std::optional<std::set<std::string>> names;
  if (database) {
    GObjectPtr<LibmsiQuery> query(
        libmsi_query_new(database.get(), "SELECT `Name` FROM `_Storages`", nullptr));
    if (query && libmsi_query_execute(query.get(), nullptr, nullptr)) {
      names.emplace();
      while (GObjectPtr<LibmsiRecord> record{libmsi_query_fetch(query.get(), nullptr)}) {
        gchar* name = libmsi_record_get_string(record.get(), 1);
        if (name != nullptr) names->insert(name);
        g_free(name);
      }
    }
  }
  g_log_set_default_handler(previous, nullptr);
  return names;
}
