#include "settings/PlayerText.h"

namespace {

// XInput's button bits from the lowest up; 1024 and 2048 name no button.
constexpr const char* kButtonNames[16] = {"Up", "Down", "Left", "Right", "Start", "Back",
                                          "LS", "RS",   "LB",   "RB",    "1024",  "2048",
                                          "A",  "B",    "X",    "Y"};

}  // namespace

void TextBuffer::Add(const char* text) {
  while (*text != '\0' && length + 1 < capacity) bytes[length++] = *text++;
  if (capacity != 0) bytes[length] = '\0';
}

void TextBuffer::Add(char c) {
  const char one[2] = {c, '\0'};
  Add(one);
}

void TextBuffer::AddSigned(int64_t value) {
  if (value < 0) {
    Add('-');
    // Negated in unsigned arithmetic, so that the lowest value has a match.
    AddUnsigned(0 - static_cast<uint64_t>(value));
    return;
  }
  AddUnsigned(static_cast<uint64_t>(value));
}

void TextBuffer::AddUnsigned(uint64_t value) {
  char digits[20];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) Add(digits[--n]);
}

void AddKeyName(TextBuffer& text, int32_t key) {
  if (key >= 112 && key <= 135) {
    text.Add('F');
    text.AddSigned(key - 111);
  } else if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
    text.Add(static_cast<char>(key));
  } else {
    text.Add("key ");
    text.AddSigned(key);
  }
}

void AddButtonNames(TextBuffer& text, uint16_t mask) {
  bool first = true;
  for (int bit = 0; bit < 16; ++bit) {
    if ((mask & (1u << bit)) == 0) continue;
    if (!first) text.Add('+');
    text.Add(kButtonNames[bit]);
    first = false;
  }
}

void AddTenths(TextBuffer& text, uint64_t milliseconds) {
  const uint64_t tenths = (milliseconds + 50) / 100;
  text.AddUnsigned(tenths / 10);
  text.Add('.');
  text.Add(static_cast<char>('0' + tenths % 10));
}

void AddUtf16(TextBuffer& text, const WCHAR* wide, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    uint32_t code = static_cast<uint16_t>(wide[i]);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length &&
        static_cast<uint16_t>(wide[i + 1]) >= 0xDC00 &&
        static_cast<uint16_t>(wide[i + 1]) <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint16_t>(wide[++i]) - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    char bytes[5] = {};
    if (code < 0x80) {
      bytes[0] = static_cast<char>(code);
    } else if (code < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (code >> 6));
      bytes[1] = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | (code >> 12));
      bytes[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (code & 0x3F));
    } else {
      bytes[0] = static_cast<char>(0xF0 | (code >> 18));
      bytes[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      bytes[3] = static_cast<char>(0x80 | (code & 0x3F));
    }
    text.Add(bytes);
  }
}
