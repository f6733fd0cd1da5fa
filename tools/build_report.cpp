#include "build_report.h"

#include <cstdio>

namespace {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

template <typename Items, typename Write>
std::string JsonList(const Items& items, Write write) {
  std::string out = "[";
  for (const auto& item : items) out += (out.size() > 1 ? ",\n      " : "\n      ") + write(item);
  return out + (out.size() > 1 ? "\n    ]" : "]");
}

}  // namespace

std::string ProductReportJson(const LanguagePlan& plan, const std::vector<PayloadFile>& payload,
                              const Diagnostics& diagnostics) {
  std::vector<std::string> warnings;
  for (const Diagnostic& entry : diagnostics.All())
    if (!entry.isError) warnings.push_back(entry.where + ": warning: " + entry.message);
  std::string out = "{\n    \"tool_version\": " + JsonString(kProductToolVersion) + ",\n";
  out += "    \"languages\": " +
         JsonList(plan.configuredIds,
                  [](int32_t lcid) {
                    return "{\"lcid\": " + std::to_string(lcid) +
                           ", \"culture\": " + JsonString(CultureCode(lcid)) +
                           ", \"name\": " + JsonString(LanguageName(lcid)) + "}";
                  }) +
         ",\n";
  out += "    \"first_entry\": " + JsonString(plan.firstCulture) + ",\n";
  out +=
      "    \"needed_transforms\": " +
      JsonList(plan.neededTransforms, [](const auto& entry) { return JsonString(entry.first); }) +
      ",\n";
  out += "    \"payload_files\": " +
         JsonList(payload,
                  [](const PayloadFile& file) {
                    return "{\"name\": " + JsonString(file.name) +
                           ", \"size\": " + std::to_string(file.size) + "}";
                  }) +
         ",\n";
  out += "    \"warnings\": " + JsonList(warnings, JsonString) + "\n  }";
  return out;
}
