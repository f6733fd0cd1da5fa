// A tiny JSON writer for the bench tools' reports: objects, arrays, strings,
// numbers and booleans, written as UTF-8.
#pragma once

#include <string>

class JsonWriter {
 public:
  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }

  // Starts a member of the current object; the next value belongs to it.
  JsonWriter& Key(const char* name) {
    Separate();
    AppendQuoted(name);
    text_ += ':';
    first_ = true;
    return *this;
  }

  void String(const std::wstring& value) { String(ToUtf8(value)); }
  void String(const std::string& utf8) {
    Separate();
    AppendQuoted(utf8);
  }
  void Number(long long value) { Literal(std::to_string(value)); }
  void Bool(bool value) { Literal(value ? "true" : "false"); }
  void Null() { Literal("null"); }

  const std::string& Text() const { return text_; }

  static std::string ToUtf8(const std::wstring& wide);

 private:
  void Separate() {
    if (!first_) text_ += ',';
    first_ = false;
  }
  void Literal(const std::string& token) {
    Separate();
    text_ += token;
  }
  void Open(char bracket) {
    Separate();
    text_ += bracket;
    first_ = true;
  }
  void Close(char bracket) {
    text_ += bracket;
    first_ = false;
  }
  void AppendQuoted(const std::string& utf8);

  std::string text_;
  bool first_ = true;
};

// Writes the report as one line on standard output, where the bench reads the
// last line that starts with "{".
void PrintJsonLine(const JsonWriter& json);

// Prints {"ok": ok, key: value}; returns the exit code that goes with it.
int PrintReport(bool ok, const char* key, const std::string& value);
int PrintReport(bool ok, const char* key, const std::wstring& value);
