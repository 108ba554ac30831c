#include "settings/Hint.h"

#include "host/CustomFiberThread.h"
#include "host/Natives.h"
#include "settings/PlayerText.h"
#include "state/RewindState.h"

namespace {

// The line under the hint: "F8: mark", "F8 or pad Y: mark", "pad LB+RB:
// mark". Holding changes nothing about marking.
void ShowMarkHint(const RewindState& s) {
  char bytes[128];
  TextBuffer text(bytes, sizeof bytes);
  if (s.markKey != 0) {
    AddKeyName(text, s.markKey);
    if (s.markButtons != 0) text.Add(" or ");
  }
  if (s.markButtons != 0) {
    text.Add("pad ");
    AddButtonNames(text, s.markButtons);
  }
  text.Add(": mark");
  DrawScreenText(0.8f, 0.73f, text.bytes);
}

}  // namespace

void ShowHint() {
  const RewindState& s = rewindState;
  // The longest hint ("Hold key -2147483648 or pad" and all sixteen bits)
  // takes under 100 bytes.
  char bytes[128];
  TextBuffer text(bytes, sizeof bytes);
  if (s.holdEnabled != 0) text.Add("Hold ");
  AddKeyName(text, scriptThread.enableKey);
  if (s.padEnabled != 0 && s.padToggleButtons != 0) {
    text.Add(" or pad ");
    AddButtonNames(text, s.padToggleButtons);
  }
  text.Add(": rewind");
  DrawScreenText(0.8f, 0.7f, text.bytes);
  if (MarksOn(s)) ShowMarkHint(s);
}
