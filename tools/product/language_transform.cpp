#include "product/language_transform.h"

#include <utility>

#include "product/property_set.h"

namespace {

// The class of a transform (MsiTransform), 000C1082-0000-0000-C000-000000000046.
constexpr std::array<uint8_t, 16> kTransformClass = {0x82, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// Table and stream names inside a package are stored packed: two characters
// of [0-9A-Za-z._] share one code unit, and table streams start with 0x4840.
int PackedIndex(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return unit - u'0';
  if (unit >= u'A' && unit <= u'Z') return unit - u'A' + 10;
  if (unit >= u'a' && unit <= u'z') return unit - u'a' + 36;
  if (unit == u'.') return 62;
  if (unit == u'_') return 63;
  return -1;
}

WString TableStreamName(const WString& table) {
  WString packed(1, char16_t{0x4840});
  for (size_t i = 0; i < table.size(); ++i) {
    const int first = PackedIndex(table[i]);
    if (first < 0) {
      packed += table[i];
      continue;
    }
    const int second = i + 1 < table.size() ? PackedIndex(table[i + 1]) : -1;
    if (second >= 0) {
      packed += static_cast<char16_t>(0x3800 + first + (second << 6));
      ++i;
    } else {
      packed += static_cast<char16_t>(0x4800 + first);
    }
  }
  return packed;
}

void PutWord(Bytes& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

// The transform's own string table: ids from 1, in order of first use,
// each with how often it is used.
class StringPool {
 public:
  uint16_t Id(const std::string& text) {
    for (size_t index = 0; index < strings_.size(); ++index) {
      if (strings_[index].first == text) {
        ++strings_[index].second;
        return static_cast<uint16_t>(index + 1);
      }
    }
    strings_.emplace_back(text, 1);
    return static_cast<uint16_t>(strings_.size());
  }
  Bytes Pool() const {
    Bytes bytes;
    PutWord(bytes, 1252);  // code page; no long string ids
    PutWord(bytes, 0);
    for (const auto& [text, uses] : strings_) {
      PutWord(bytes, static_cast<uint16_t>(text.size()));
      PutWord(bytes, static_cast<uint16_t>(uses));
    }
    return bytes;
  }
  Bytes Data() const {
    Bytes bytes;
    for (const auto& entry : strings_) bytes.insert(bytes.end(), entry.first.begin(), entry.first.end());
    return bytes;
  }

 private:
  std::vector<std::pair<std::string, int>> strings_;
};

std::string PropertyOf(PackageDatabase& package, const char* name) {
  const std::optional<std::vector<PackageDatabase::Row>> rows = package.Select(
      std::string("SELECT `Value` FROM `Property` WHERE `Property` = '") + name + "'");
  return rows && !rows->empty() && !rows->front().empty() ? rows->front().front() : std::string();
}

// What msiexec reads before it applies a transform: the platform and
// language it was made for, the product codes and versions before and
// after (the same here) and the upgrade code, and no validation conditions.
Bytes TransformSummary(const PackageFacts& facts) {
  const std::string platform = "Intel;" + facts.language;
  const std::string product = facts.productCode + facts.productVersion + ";" + facts.productCode +
                              facts.productVersion + ";" + facts.upgradeCode;
  PropertySet summary;
  summary.SetNumber(kPropertyCodePage, kTypeInt16, 1252);
  summary.SetText(kPropertyTemplate, platform);
  summary.SetText(kPropertyLastAuthor, platform);
  summary.SetText(kPropertyRevision, product);
  summary.SetNumber(kPropertyPageCount, kTypeInt32, 200);
  summary.SetNumber(kPropertyCharCount, kTypeInt32, 0);
  return EncodePropertySet(summary);
}

}  // namespace

const WString kSummaryStreamName = u"\u0005SummaryInformation";

std::optional<PackageFacts> ReadPackageFacts(PackageDatabase& package) {
  PackageFacts facts;
  facts.productCode = PropertyOf(package, "ProductCode");
  facts.productVersion = PropertyOf(package, "ProductVersion");
  facts.upgradeCode = PropertyOf(package, "UpgradeCode");
  facts.language = PropertyOf(package, "ProductLanguage");
  if (facts.productCode.empty() || facts.productVersion.empty()) return std::nullopt;
  return facts;
}

StorageContent LanguageTransform(const PackageFacts& facts, int32_t lcid) {
  // Each row: a mask that says "every column follows" for the two columns
  // of Property, then the string ids of name and value. A row whose name
  // exists replaces its value; any other is inserted.
  StringPool strings;
  Bytes rows;
  const std::string language = std::to_string(lcid);
  for (const char* property : {"ProductLanguage", "LANGUAGEVAL"}) {
    PutWord(rows, 0x0201);
    PutWord(rows, strings.Id(property));
    PutWord(rows, strings.Id(language));
  }
  StorageContent transform;
  transform.classId = kTransformClass;
  transform.streams[TableStreamName(u"_StringPool")] = strings.Pool();
  transform.streams[TableStreamName(u"_StringData")] = strings.Data();
  transform.streams[TableStreamName(u"Property")] = rows;
  transform.streams[kSummaryStreamName] = TransformSummary(facts);
  return transform;
}

std::string TemplateWithLanguages(const std::string& current, const std::vector<int32_t>& lcids) {
  std::string languages;
  for (const int32_t lcid : lcids) languages += (languages.empty() ? "" : ",") + std::to_string(lcid);
  const size_t separator = current.find(';');
  return (separator == std::string::npos ? std::string("Intel") : current.substr(0, separator)) +
         ";" + languages;
}
