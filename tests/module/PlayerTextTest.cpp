// The names a player reads in the hint and the log, and the system's paths
// as the log writes them.
#include <gtest/gtest.h>

#include <string>

#include "settings/PlayerText.h"

namespace {

std::string Text(void (*add)(TextBuffer&, int32_t), int32_t value) {
  char bytes[64];
  TextBuffer text(bytes, sizeof bytes);
  add(text, value);
  return bytes;
}

TEST(PlayerText, KeysAndButtonsByName) {
  const struct {
    int32_t key;
    const char* name;
  } keys[] = {{'0', "0"},       {'9', "9"},  {'A', "A"},   {'Z', "Z"},
              {111, "key 111"}, {112, "F1"}, {135, "F24"}, {136, "key 136"}};
  for (const auto& row : keys) EXPECT_EQ(Text(AddKeyName, row.key), row.name) << row.key;

  const auto buttons = [](TextBuffer& text, int32_t mask) {
    AddButtonNames(text, static_cast<uint16_t>(mask));
  };
  const struct {
    int32_t mask;
    const char* names;
  } masks[] = {{0, ""}, {48, "Start+Back"}, {3072, "1024+2048"}, {0xF001, "Up+A+B+X+Y"}};
  for (const auto& row : masks) EXPECT_EQ(Text(buttons, row.mask), row.names) << row.mask;
}

TEST(PlayerText, PathsFromUtf16AsUtf8) {
  const struct {
    std::u16string wide;
    std::string utf8;
  } rows[] = {
      {u"a\u00e9", "a\xC3\xA9"},
      {u"\u20ac", "\xE2\x82\xAC"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      {{0xDC00, u'a'},
       "\xEF\xBF\xBD"
       "a"},
      {{0xD83D, u'a'},
       "\xEF\xBF\xBD"
       "a"},
      {{0xD83D}, "\xEF\xBF\xBD"},
  };
  for (const auto& row : rows) {
    char bytes[64];
    TextBuffer text(bytes, sizeof bytes);
    AddUtf16(text, row.wide.data(), row.wide.size());
    EXPECT_EQ(std::string(bytes), row.utf8) << row.utf8;
  }
}

}  // namespace
