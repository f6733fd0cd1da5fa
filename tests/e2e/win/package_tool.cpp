// package_tool: stores a language transform inside a Windows Installer
// package, as the substorage that msiexec opens for TRANSFORMS=":NAME".
// wixl cannot make transforms, and Wine's MsiDatabaseGenerateTransform
// writes nothing, so the transform is written here by hand: a string pool,
// one Property table stream whose rows set the given properties, and the
// summary information that msiexec checks before applying it.
//
//   package_tool add-transform PACKAGE NAME PROPERTY=VALUE [PROPERTY=VALUE...]
//
// Prints one JSON object. Exit code 0 when the transform was stored, 1 when
// something failed, 2 for a malformed command line.

#include <windows.h>
// After windows.h, which they need.
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>
#include <propidl.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "json_writer.h"

namespace {

int Report(bool ok, const std::wstring& message) {
  return PrintReport(ok, ok ? "stored" : "error", message);
}

int Fail(const std::wstring& what, long code) {
  wchar_t hex[16];
  wsprintfW(hex, L"0x%08lX", static_cast<unsigned long>(code));
  return Report(false, what + L" failed with " + hex);
}

// Owns a COM interface or an MSI handle: released when it goes out of scope.
template <typename T, void (*Release)(T)>
class Owned {
 public:
  Owned() = default;
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() {
    if (value_) Release(value_);
  }
  T* Out() { return &value_; }
  T get() const { return value_; }
  T operator->() const { return value_; }

 private:
  T value_ = T();
};

template <typename Interface>
void ReleaseInterface(Interface* pointer) {
  pointer->Release();
}
void CloseMsiHandle(MSIHANDLE handle) { MsiCloseHandle(handle); }

template <typename Interface>
using ComRef = Owned<Interface*, ReleaseInterface<Interface>>;
using MsiHandle = Owned<MSIHANDLE, CloseMsiHandle>;

// Table and stream names inside a package are stored packed: two characters
// of [0-9A-Za-z._] share one code unit, and table streams start with 0x4840.
int PackedIndex(wchar_t ch) {
  if (ch >= L'0' && ch <= L'9') return ch - L'0';
  if (ch >= L'A' && ch <= L'Z') return ch - L'A' + 10;
  if (ch >= L'a' && ch <= L'z') return ch - L'a' + 36;
  if (ch == L'.') return 62;
  if (ch == L'_') return 63;
  return -1;
}

std::wstring TableStreamName(const std::wstring& table) {
  std::wstring packed(1, static_cast<wchar_t>(0x4840));
  for (size_t i = 0; i < table.size(); ++i) {
    int first = PackedIndex(table[i]);
    if (first < 0) {
      packed += table[i];
      continue;
    }
    int second = i + 1 < table.size() ? PackedIndex(table[i + 1]) : -1;
    if (second >= 0) {
      packed += static_cast<wchar_t>(0x3800 + first + (second << 6));
      ++i;
    } else {
      packed += static_cast<wchar_t>(0x4800 + first);
    }
  }
  return packed;
}

void AppendWord(std::string& bytes, uint16_t value) {
  bytes += static_cast<char>(value & 0xFF);
  bytes += static_cast<char>(value >> 8);
}

// The transform's own string table: ids from 1, in order of first use.
class StringPool {
 public:
  uint16_t Id(const std::string& text) {
    for (size_t i = 0; i < strings_.size(); ++i) {
      if (strings_[i].first == text) {
        ++strings_[i].second;
        return static_cast<uint16_t>(i + 1);
      }
    }
    strings_.emplace_back(text, 1);
    return static_cast<uint16_t>(strings_.size());
  }

  std::string Pool() const {
    std::string bytes;
    AppendWord(bytes, 1252);  // code page; no long string ids
    AppendWord(bytes, 0);
    for (const auto& entry : strings_) {
      AppendWord(bytes, static_cast<uint16_t>(entry.first.size()));
      AppendWord(bytes, static_cast<uint16_t>(entry.second));
    }
    return bytes;
  }

  std::string Data() const {
    std::string bytes;
    for (const auto& entry : strings_) bytes += entry.first;
    return bytes;
  }

 private:
  std::vector<std::pair<std::string, int>> strings_;
};

HRESULT WriteStream(IStorage* storage, const std::wstring& name, const std::string& bytes) {
  ComRef<IStream> stream;
  HRESULT result = storage->CreateStream(
      name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.Out());
  if (FAILED(result)) return result;
  ULONG written = 0;
  return stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
}

struct PackageFacts {
  std::string productCode;
  std::string productVersion;
  std::string upgradeCode;
  std::string language;
};

std::string PropertyOf(MSIHANDLE database, const wchar_t* name) {
  std::wstring query =
      L"SELECT `Value` FROM `Property` WHERE `Property` = '" + std::wstring(name) + L"'";
  MsiHandle view;
  MsiHandle record;
  if (MsiDatabaseOpenViewW(database, query.c_str(), view.Out()) != ERROR_SUCCESS) return {};
  if (MsiViewExecute(view.get(), 0) != ERROR_SUCCESS) return {};
  if (MsiViewFetch(view.get(), record.Out()) != ERROR_SUCCESS) return {};
  wchar_t value[256] = {};
  DWORD length = 256;
  if (MsiRecordGetStringW(record.get(), 1, value, &length) != ERROR_SUCCESS) return {};
  return JsonWriter::ToUtf8(value);
}

bool ReadPackageFacts(const std::wstring& package, PackageFacts& facts) {
  MsiHandle database;
  // The open mode is passed as a text pointer; its character type follows UNICODE.
  const LPCWSTR readOnly = reinterpret_cast<LPCWSTR>(MSIDBOPEN_READONLY);
  if (MsiOpenDatabaseW(package.c_str(), readOnly, database.Out()) != ERROR_SUCCESS) return false;
  facts.productCode = PropertyOf(database.get(), L"ProductCode");
  facts.productVersion = PropertyOf(database.get(), L"ProductVersion");
  facts.upgradeCode = PropertyOf(database.get(), L"UpgradeCode");
  facts.language = PropertyOf(database.get(), L"ProductLanguage");
  return !facts.productCode.empty() && !facts.productVersion.empty();
}

void AppendDword(std::string& bytes, uint32_t value) {
  AppendWord(bytes, static_cast<uint16_t>(value & 0xFFFF));
  AppendWord(bytes, static_cast<uint16_t>(value >> 16));
}

// One property of the summary's section: its type, then its value, padded
// to whole double words.
std::string PropertyValue(uint32_t type, const std::string& text, uint32_t number) {
  std::string bytes;
  AppendDword(bytes, type);
  if (type == VT_LPSTR) {
    AppendDword(bytes, static_cast<uint32_t>(text.size() + 1));
    bytes += text;
    bytes += '\0';
    while (bytes.size() % 4 != 0) bytes += '\0';
  } else if (type == VT_I2) {
    AppendDword(bytes, number & 0xFFFF);
  } else {
    AppendDword(bytes, number);
  }
  return bytes;
}

// What msiexec reads before it applies a transform: the platform and
// language it was made for, the product codes and versions before and after
// (the same here) and the upgrade code, and no validation conditions. The
// property set is written by hand: Wine's property storage writes a section
// size that its own installer refuses.
std::string SummaryStream(const PackageFacts& facts) {
  const std::string platform = "Intel;" + facts.language;
  const std::string product = facts.productCode + facts.productVersion + ";" + facts.productCode +
                              facts.productVersion + ";" + facts.upgradeCode;
  const std::vector<std::pair<uint32_t, std::string>> properties = {
      {1, PropertyValue(VT_I2, "", 1252)},                       // code page
      {PIDSI_TEMPLATE, PropertyValue(VT_LPSTR, platform, 0)},    // made for
      {PIDSI_LASTAUTHOR, PropertyValue(VT_LPSTR, platform, 0)},  // makes
      {PIDSI_REVNUMBER, PropertyValue(VT_LPSTR, product, 0)},
      {PIDSI_PAGECOUNT, PropertyValue(VT_I4, "", 200)},  // installer version needed
      {PIDSI_CHARCOUNT, PropertyValue(VT_I4, "", 0)},    // no validation
  };

  std::string section;
  uint32_t offset = static_cast<uint32_t>(8 + 8 * properties.size());
  std::string values;
  for (const auto& property : properties) {
    AppendDword(section, property.first);
    AppendDword(section, offset + static_cast<uint32_t>(values.size()));
    values += property.second;
  }
  section += values;

  std::string stream;
  AppendWord(stream, 0xFFFE);  // byte order
  AppendWord(stream, 0);       // format
  AppendDword(stream, 0x00020006);
  stream.append(16, '\0');  // class id
  AppendDword(stream, 1);   // one section
  stream.append(reinterpret_cast<const char*>(&FMTID_SummaryInformation), 16);
  AppendDword(stream, 48);  // the section follows these headers
  AppendDword(stream, static_cast<uint32_t>(8 + section.size()));
  AppendDword(stream, static_cast<uint32_t>(properties.size()));
  return stream + section;
}

int AddTransform(const std::wstring& package, const std::wstring& name,
                 const std::vector<std::pair<std::string, std::string>>& properties) {
  PackageFacts facts;
  if (!ReadPackageFacts(package, facts))
    return Report(false, L"the package's ProductCode cannot be read");

  // Each row: a mask that says "every column follows" (low bit) for the
  // two columns of Property, then the string ids of name and value. A row
  // whose name exists replaces its value; any other is inserted.
  StringPool strings;
  std::string rows;
  for (const auto& property : properties) {
    AppendWord(rows, 0x0201);
    AppendWord(rows, strings.Id(property.first));
    AppendWord(rows, strings.Id(property.second));
  }

  ComRef<IStorage> root;
  HRESULT result = StgOpenStorage(package.c_str(), nullptr,
                                  STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_TRANSACTED, nullptr,
                                  0, root.Out());
  if (FAILED(result)) return Fail(L"StgOpenStorage", result);
  ComRef<IStorage> transform;
  result = root->CreateStorage(name.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                               0, transform.Out());
  if (FAILED(result)) return Fail(L"CreateStorage", result);
  if (FAILED(result =
                 WriteStream(transform.get(), TableStreamName(L"_StringPool"), strings.Pool())))
    return Fail(L"writing the string pool", result);
  if (FAILED(result =
                 WriteStream(transform.get(), TableStreamName(L"_StringData"), strings.Data())))
    return Fail(L"writing the string data", result);
  if (FAILED(result = WriteStream(transform.get(), TableStreamName(L"Property"), rows)))
    return Fail(L"writing the Property rows", result);
  if (FAILED(result =
                 WriteStream(transform.get(), L"\005SummaryInformation", SummaryStream(facts))))
    return Fail(L"writing the summary", result);
  if (FAILED(result = transform->Commit(STGC_DEFAULT)))
    return Fail(L"committing the transform", result);
  if (FAILED(result = root->Commit(STGC_DEFAULT))) return Fail(L"committing the package", result);
  return Report(true, name);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring command = argc > 1 ? argv[1] : L"";
  if (command != L"add-transform" || argc < 5) {
    Report(false, L"usage: package_tool add-transform PACKAGE NAME PROPERTY=VALUE...");
    return 2;
  }
  std::vector<std::pair<std::string, std::string>> properties;
  for (int i = 4; i < argc; ++i) {
    std::wstring assignment = argv[i];
    size_t equals = assignment.find(L'=');
    if (equals == std::wstring::npos || equals == 0) {
      Report(false, L"not PROPERTY=VALUE: " + assignment);
      return 2;
    }
    properties.emplace_back(JsonWriter::ToUtf8(assignment.substr(0, equals)),
                            JsonWriter::ToUtf8(assignment.substr(equals + 1)));
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
    return Report(false, L"CoInitializeEx failed");
  int exitCode = AddTransform(argv[2], argv[3], properties);
  CoUninitialize();
  return exitCode;
}
