#include "product/toml_text.h"

#include <cstdio>

#include "platform/text.h"

namespace {

enum class Place { kOutside, kComment, kBasic, kMultiLineBasic, kLiteral, kMultiLineLiteral };

bool IsSurrogatePair(const WString& text, size_t pos) {
  return pos + 1 < text.size() && text[pos] >= 0xD800 && text[pos] <= 0xDBFF &&
         text[pos + 1] >= 0xDC00 && text[pos + 1] <= 0xDFFF;
}

WString Escape(uint32_t c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, c > 0xFFFF ? "\\U%08X" : "\\u%04X", c);
  return Utf8ToUtf16(buffer);
}

// The length of the run of `quote` at `pos`.
size_t QuoteRun(const WString& text, size_t pos, WChar quote) {
  size_t end = pos;
  while (end < text.size() && text[end] == quote) ++end;
  return end - pos;
}

// The parser asserts (and aborts) when a table header's "[" or "[[" and
// blanks are followed by anything but a key, a quote or "]".
bool StartsTableHeaderWell(const WString& text, size_t pos) {
  size_t next = pos + 1;
  if (next < text.size() && text[next] == u'[') ++next;
  while (next < text.size() && (text[next] == u' ' || text[next] == u'\t')) ++next;
  if (next == text.size()) return true;
  const WChar c = text[next];
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
         c == u'_' || c == u'-' || c == u'"' || c == u'\'' || c == u']';
}

// What ends a bare key or value for the parser.
bool IsBareEnd(WChar c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u',' || c == u']' ||
         c == u'}' || c == u'#' || c == u'=';
}

}  // namespace

std::optional<std::string> EscapeForTomlParser(std::string_view bytes, const std::string& where,
                                               Diagnostics& diagnostics) {
  size_t line = 1;
  size_t column = 1;
  const auto refuse = [&](const char* message) {
    diagnostics.Error(where + ":" + std::to_string(line) + ":" + std::to_string(column), message);
    return std::nullopt;
  };
  WString text;
  if (!DecodeUtf8Strict(bytes, &text)) return refuse("is not UTF-8 text");
  WString out;
  Place place = Place::kOutside;
  bool atLineStart = true;  // only blanks since the line began
  // The last character outside strings and comments, blanks and line ends
  // left out.
  WChar lastMark = u'\n';
  bool inBare = false;  // in a bare key or value
  bool bareIsValue = false;
  size_t openBrackets = 0;  // of arrays in values, where "[" starts no header
  for (size_t pos = 0; pos < text.size();) {
    const WChar c = text[pos];
    size_t units = IsSurrogatePair(text, pos) ? 2 : 1;
    if (c >= 0x80) {
      if (place == Place::kOutside) {
        return refuse("a character outside the ASCII range stands outside a string or a comment");
      }
      if (place == Place::kBasic || place == Place::kMultiLineBasic) {
        const uint32_t point =
            units == 2 ? 0x10000 + ((c - 0xD800u) << 10) + (text[pos + 1] - 0xDC00u) : c;
        out += Escape(point);
      } else {
        out += text.substr(pos, units);
      }
    } else if (place == Place::kOutside) {
      const bool header = c == u'[' && atLineStart && openBrackets == 0;
      if (c == u'[' && !header) ++openBrackets;
      if (c == u']' && openBrackets > 0) --openBrackets;
      if (header && !StartsTableHeaderWell(text, pos)) {
        return refuse("a table header must start with a key name or a quoted key");
      }
      // The parser asserts on a "}" where an array expects its next value.
      if (c == u'}' && openBrackets > 0 && (lastMark == u'[' || lastMark == u',')) {
        return refuse("\"}\" stands where the array expects a value or \"]\"");
      }
      if (c == u'#') place = Place::kComment;
      // A quote opens a string only where TOML lets one stand. A bare value
      // or key runs to a blank or a delimiter: the parser tests each of its
      // characters for a blank, quotes included, and so does this scan.
      const bool valueMayStart = atLineStart || lastMark == u'=' || lastMark == u'[' ||
                                 lastMark == u'{' || lastMark == u',' || lastMark == u'.';
      if (IsBareEnd(c) && (c != u'=' || !bareIsValue)) {
        inBare = false;
      } else if (!inBare && valueMayStart && c != u'"' && c != u'\'' && c != u'[' && c != u'{') {
        inBare = true;
        // A value scan does not stop at "="; after "," it may be either.
        bareIsValue = !atLineStart && lastMark != u'{' && lastMark != u'.';
      }
      const size_t quotes =
          (c == u'"' || c == u'\'') && valueMayStart && !inBare ? QuoteRun(text, pos, c) : 0;
      if (quotes >= 3) {
        place = c == u'"' ? Place::kMultiLineBasic : Place::kMultiLineLiteral;
        units = 3;
      } else if (quotes == 2) {
        units = 2;  // an empty string
      } else if (quotes == 1) {
        place = c == u'"' ? Place::kBasic : Place::kLiteral;
      }
      out += text.substr(pos, units);
    } else if (c == u'\\' && (place == Place::kBasic || place == Place::kMultiLineBasic)) {
      // An escape: the next character is its own, never an end of string.
      if (pos + 1 < text.size() && text[pos + 1] >= 0x80) {
        return refuse("a backslash stands before a character outside the ASCII range");
      }
      units = pos + 1 < text.size() && text[pos + 1] != u'\n' ? 2 : 1;
      out += text.substr(pos, units);
    } else {
      const bool ends = (place == Place::kComment && c == u'\n') ||
                        (place == Place::kBasic && (c == u'"' || c == u'\n')) ||
                        (place == Place::kLiteral && (c == u'\'' || c == u'\n'));
      if (ends) place = Place::kOutside;
      // A multi-line string ends at three quotes, and takes up to two more
      // before them as its own.
      const WChar quote = place == Place::kMultiLineBasic ? u'"' : u'\'';
      if ((place == Place::kMultiLineBasic || place == Place::kMultiLineLiteral) && c == quote) {
        const size_t run = QuoteRun(text, pos, quote);
        if (run >= 3) {
          units = run < 5 ? run : 5;
          place = Place::kOutside;
        }
      }
      out += text.substr(pos, units);
    }
    // Blanks, line ends and comments leave the last mark as it was.
    if (place == Place::kOutside && c != u' ' && c != u'\t' && c != u'\r' && c != u'\n')
      lastMark = c;
    if (c == u'\n') {
      atLineStart = true;
    } else if (c != u' ' && c != u'\t') {
      atLineStart = false;
    }
    for (size_t k = 0; k < units; ++k) {
      if (text[pos + k] == u'\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    pos += units;
  }
  return Utf16ToUtf8(out);
}
