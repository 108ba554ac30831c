#include "marks/MarkPress.h"

#include "host/Pad.h"
#include "platform.h"
#include "state/RewindState.h"

bool ReadMarkPress() {
  const RewindState& s = rewindState;
  // The key is asked whatever the chord does, so that every frame asks the
  // same; the chord's edge is read from the pad state the toggle saw.
  bool pressed = false;
  if (s.markKey != 0) pressed = (GetAsyncKeyState(s.markKey) & 1) != 0;
  if (s.markButtons != 0 && PadButtonsMade(s.markButtons)) pressed = true;
  return pressed;
}
