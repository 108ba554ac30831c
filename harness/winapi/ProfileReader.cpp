// Reads an integer from a section-and-key settings file the way the platform
// does: names match without regard to case, blanks around names and values
// don't count, the first matching section and key win, and the value converts
// like a base-0 string-to-integer conversion that wraps modulo 2^32.
#include "ProfileReader.h"

#include <fstream>
#include <iterator>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names are compared letter by letter, folding ASCII case; a name character
// beyond one byte matches only the same code unit.
bool SameName(std::string_view text, std::u16string_view name) {
  if (text.size() != name.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t wanted = name[i];
    auto got = static_cast<unsigned char>(text[i]);
    if (wanted >= 0x80 || got >= 0x80) {
      if (wanted != got) return false;
    } else if (Lower(static_cast<char>(wanted)) != Lower(static_cast<char>(got))) {
      return false;
    }
  }
  return true;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

uint32_t ConvertBaseZero(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '0') {
    base = 8;
    if (i + 2 < text.size()) {
      char marker = Lower(text[i + 1]);
      int prefixed = marker == 'x' ? 16 : marker == 'o' ? 8 : marker == 'b' ? 2 : 0;
      // A prefix counts only when a digit of its base follows it; otherwise
      // the conversion reads the lone 0.
      if (prefixed != 0 && DigitValue(text[i + 2]) < prefixed) {
        base = prefixed;
        i += 2;
      }
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

}  // namespace

uint32_t ProfileIntFromText(std::string_view contents, std::u16string_view section,
                            std::u16string_view key, int32_t defaultValue) {
  bool inSection = false;
  size_t start = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string_view::npos) end = contents.size();
    std::string_view line = Trim(contents.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      // Only the first section of that name is read.
      if (inSection) break;
      std::string_view name =
          Trim(close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1));
      inSection = SameName(name, section);
      continue;
    }
    if (!inSection) continue;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (!SameName(Trim(line.substr(0, equals)), key)) continue;
    std::string_view value = Trim(line.substr(equals + 1));
    if (value.empty()) return static_cast<uint32_t>(defaultValue);
    return ConvertBaseZero(value);
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
