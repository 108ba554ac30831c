#include "settings/Hint.h"

#include <cstddef>
#include <cstdint>

#include "host/CustomFiberThread.h"
#include "host/Natives.h"
#include "state/RewindState.h"

namespace {

// Appends to a fixed buffer, dropping what doesn't fit; the longest hint
// ("Hold key -2147483648 or pad" and all sixteen bits) takes under 100 bytes.
struct Text {
  char bytes[128] = {};
  std::size_t length = 0;

  void Add(const char* text) {
    while (*text != '\0' && length + 1 < sizeof bytes) bytes[length++] = *text++;
  }
  void Add(char c) {
    const char one[2] = {c, '\0'};
    Add(one);
  }
  void AddSigned(int32_t value) {
    // Through 64 bits, so that the lowest value negates without overflow.
    int64_t v = value;
    if (v < 0) {
      Add('-');
      v = -v;
    }
    char digits[12];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    while (n > 0) Add(digits[--n]);
  }
};

void AddKeyName(Text& text, int32_t key) {
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

// XInput's button bits from the lowest up; 1024 and 2048 name no button.
constexpr const char* kButtonNames[16] = {"Up", "Down", "Left", "Right", "Start", "Back",
                                          "LS", "RS",   "LB",   "RB",    "1024",  "2048",
                                          "A",  "B",    "X",    "Y"};

void AddButtonNames(Text& text, uint16_t mask) {
  bool first = true;
  for (int bit = 0; bit < 16; ++bit) {
    if ((mask & (1u << bit)) == 0) continue;
    if (!first) text.Add('+');
    text.Add(kButtonNames[bit]);
    first = false;
  }
}

}  // namespace

void ShowHint() {
  const RewindState& s = rewindState;
  Text text;
  if (s.holdEnabled != 0) text.Add("Hold ");
  AddKeyName(text, scriptThread.enableKey);
  if (s.padEnabled != 0 && s.padToggleButtons != 0) {
    text.Add(" or pad ");
    AddButtonNames(text, s.padToggleButtons);
  }
  text.Add(": rewind");
  DrawScreenText(0.8f, 0.7f, text.bytes);
}
