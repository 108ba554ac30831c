// Reads an integer from a section-and-key settings file the way the platform
// does. What the platform does was found by running its reader over the
// files of tests/settings-corpus; those files, with the answers recorded in
// expected.txt, are the reference for every rule here:
//  - A byte-order mark selects UTF-8, UTF-16LE or UTF-16BE; without one each
//    byte is one character.
//  - Lines end at a line feed or a lone carriage return.
//  - Blanks around names and values don't count; names match without regard
//    to ASCII case. A line starting with ';' is a comment.
//  - "[name]" opens a section; the name runs to the line's last ']'. A line
//    starting with '[' but without ']' opens none.
//  - Only the first section of a name is read, and in it the first line
//    whose name matches: "key=value", or a bare "key" with no value.
//  - A value in matching single or double quotes loses them; only its first
//    29 characters are read.
//  - The number: blanks, an optional sign, then "0x", "0o" or "0b" (lower
//    case only) for hexadecimal, octal or binary, else decimal (a leading 0
//    is not octal); digits up to the first non-digit, wrapping modulo 2^32.
//  - No value, or no such section or key: the default.
#include "ProfileReader.h"

#include <fstream>
#include <iterator>

namespace {

// What the platform's reader copies of a value before converting it.
constexpr size_t kValueCharacters = 29;

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char16_t Lower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// ASCII letters match either case; every other character only itself.
bool SameName(std::u16string_view text, std::u16string_view name) {
  if (text.size() != name.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (Lower(text[i]) != Lower(name[i])) return false;
  }
  return true;
}

void AppendUtf8(std::string_view bytes, std::u16string* out) {
  size_t i = 0;
  while (i < bytes.size()) {
    auto byte = static_cast<unsigned char>(bytes[i]);
    size_t length = byte < 0x80             ? 1
                    : (byte & 0xE0) == 0xC0 ? 2
                    : (byte & 0xF0) == 0xE0 ? 3
                    : (byte & 0xF8) == 0xF0 ? 4
                                            : 0;
    uint32_t code = length == 1   ? byte
                    : length == 2 ? (byte & 0x1F)
                    : length == 3 ? (byte & 0x0F)
                                  : (byte & 0x07);
    bool valid = length != 0 && i + length <= bytes.size();
    for (size_t k = 1; valid && k < length; ++k) {
      auto next = static_cast<unsigned char>(bytes[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid) {
      out->push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
}

std::u16string Decode(std::string_view bytes) {
  std::u16string text;
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (starts("\xEF\xBB\xBF")) {
    AppendUtf8(bytes.substr(3), &text);
  } else if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    bool little = bytes[0] == '\xFF';
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      auto first = static_cast<unsigned char>(bytes[i]);
      auto second = static_cast<unsigned char>(bytes[i + 1]);
      text.push_back(static_cast<char16_t>(little ? first | (second << 8) : (first << 8) | second));
    }
  } else {
    for (char byte : bytes) text.push_back(static_cast<unsigned char>(byte));
  }
  return text;
}

int DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  return 99;
}

uint32_t ConvertValue(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  int base = 10;
  if (i + 2 < text.size() && text[i] == u'0') {
    char16_t marker = text[i + 1];
    int prefixed = marker == u'x' ? 16 : marker == u'o' ? 8 : marker == u'b' ? 2 : 0;
    // A prefix counts only when a digit of its base follows it; otherwise
    // the conversion reads the lone 0.
    if (prefixed != 0 && DigitValue(text[i + 2]) < prefixed) {
      base = prefixed;
      i += 2;
    }
  }
  uint32_t value = 0;
  for (; i < text.size(); ++i) {
    int digit = DigitValue(text[i]);
    if (digit >= base) break;
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
  }
  return negative ? 0u - value : value;
}

std::u16string_view Unquote(std::u16string_view value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

uint32_t ProfileIntFromText(std::string_view contents, std::u16string_view section,
                            std::u16string_view key, int32_t defaultValue) {
  const std::u16string text = Decode(contents);
  const std::u16string_view all(text);
  bool inSection = false;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find_first_of(u"\r\n", start);
    if (end == std::u16string_view::npos) end = all.size();
    std::u16string_view line = Trim(all.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == u';') continue;
    if (line.front() == u'[') {
      size_t close = line.rfind(u']');
      if (close != std::u16string_view::npos) {
        // Only the first section of that name is read.
        if (inSection) break;
        inSection = SameName(Trim(line.substr(1, close - 1)), section);
        continue;
      }
    }
    if (!inSection) continue;
    size_t equals = line.find(u'=');
    if (!SameName(Trim(line.substr(0, equals)), key)) continue;
    if (equals == std::u16string_view::npos) return static_cast<uint32_t>(defaultValue);
    std::u16string_view value = Unquote(Trim(line.substr(equals + 1)));
    if (value.empty()) return static_cast<uint32_t>(defaultValue);
    return ConvertValue(value.substr(0, kValueCharacters));
  }
  return static_cast<uint32_t>(defaultValue);
}

uint32_t ProfileIntFromFile(const std::string& path, std::u16string_view section,
                            std::u16string_view key, int32_t defaultValue) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return static_cast<uint32_t>(defaultValue);
  std::string contents((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return static_cast<uint32_t>(defaultValue);
  return ProfileIntFromText(contents, section, key, defaultValue);
}
