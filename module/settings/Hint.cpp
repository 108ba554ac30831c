#include "settings/Hint.h"

#include "host/CustomFiberThread.h"
#include "host/Natives.h"
#include "settings/PlayerText.h"
#include "state/RewindState.h"

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
}
