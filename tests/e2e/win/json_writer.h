// A tiny JSON writer for the UI driver's reports: objects, arrays, strings,
// numbers and booleans, written as UTF-8.
#pragma once

#include <string>

class JsonWriter {
 public:
  void BeginObject() {
    Separate();
    text_ += '{';
    first_ = true;
  }
  void EndObject() {
    text_ += '}';
    first_ = false;
  }
  void BeginArray() {
    Separate();
    text_ += '[';
    first_ = true;
  }
  void EndArray() {
    text_ += ']';
    first_ = false;
  }

  // Starts a member of the current object; the next value belongs to it.
  void Key(const char* name) {
    Separate();
    AppendQuoted(name);
    text_ += ':';
    first_ = true;
  }

  void String(const std::wstring& value) { String(ToUtf8(value)); }
  void String(const std::string& utf8) {
    Separate();
    AppendQuoted(utf8);
  }
  void Number(long long value) {
    Separate();
    text_ += std::to_string(value);
  }
  void Bool(bool value) {
    Separate();
    text_ += value ? "true" : "false";
  }
  void Null() {
    Separate();
    text_ += "null";
  }

  const std::string& Text() const { return text_; }

  static std::string ToUtf8(const std::wstring& wide);

 private:
  void Separate() {
    if (!first_) text_ += ',';
    first_ = false;
  }
  void AppendQuoted(const std::string& utf8);

  std::string text_;
  bool first_ = true;
};

// Writes the report as one line on standard output, where the bench reads the
// last line that starts with "{".
void PrintJsonLine(const JsonWriter& json);
