#include "outputs/build_report.h"

#include "base/tool_version.h"

Json ProductReport(const LanguagePlan& plan, const std::vector<PayloadFile>& payload,
                   const Diagnostics& diagnostics) {
  Json report;
  report["tool_version"] = kToolVersion;
  report["languages"] = Json::array();
  for (const int32_t lcid : plan.configuredIds)
    report["languages"].push_back(
        {{"lcid", lcid}, {"culture", CultureCode(lcid)}, {"name", LanguageName(lcid)}});
  report["first_entry"] = plan.firstCulture;
  report["needed_transforms"] = Json::array();
  for (const auto& [transform, players] : plan.neededTransforms)
    report["needed_transforms"].push_back(transform);
  report["payload_files"] = Json::array();
  for (const PayloadFile& file : payload)
    report["payload_files"].push_back({{"name", file.name}, {"size", file.size}});
  report["warnings"] = Json::array();
  for (const Diagnostic& entry : diagnostics.All())
    if (!entry.isError) report["warnings"].push_back(entry.where + ": warning: " + entry.message);
  return report;
}

std::string BuildReportText(const std::string& architecture, bool isSigned, const Json& product,
                            const std::vector<OutputFile>& outputs) {
  Json report;
  report["architecture"] = architecture;
  report["signed"] = isSigned;
  report["product"] = product;
  report["outputs"] = Json::array();
  for (const OutputFile& output : outputs)
    report["outputs"].push_back(
        {{"file", output.file}, {"size", output.size}, {"sha256", output.sha256}});
  // Names and warnings hold whatever the product's files are called; bytes
  // that are not UTF-8 are replaced rather than refused.
  return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}
