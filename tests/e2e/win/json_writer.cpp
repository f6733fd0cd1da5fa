#include "json_writer.h"

#include <windows.h>

#include <cstdio>

std::string JsonWriter::ToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], size,
                      nullptr, nullptr);
  return utf8;
}

void JsonWriter::AppendQuoted(const std::string& utf8) {
  text_ += '"';
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      text_ += '\\';
      text_ += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      text_ += escaped;
    } else {
      text_ += static_cast<char>(c);
    }
  }
  text_ += '"';
}

void PrintJsonLine(const JsonWriter& json) {
  const std::string line = json.Text() + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written,
            nullptr);
}

int PrintReport(bool ok, const char* key, const std::string& value) {
  JsonWriter json;
  json.BeginObject();
  json.Key("ok").Bool(ok);
  json.Key(key).String(value);
  json.EndObject();
  PrintJsonLine(json);
  return ok ? 0 : 1;
}

int PrintReport(bool ok, const char* key, const std::wstring& value) {
  return PrintReport(ok, key, JsonWriter::ToUtf8(value));
}
