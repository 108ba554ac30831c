#include "settings/BuildStamp.h"

#include <cstdio>

#include "host/Natives.h"
#include "platform.h"
#include "settings/Hint.h"
#include "state/RewindState.h"

#ifndef QUORVAT_MODULE_PATH
#error "QUORVAT_MODULE_PATH must name the module's built file"
#endif

void ComputeBuildStamp() {
  RewindState& s = rewindState;
  // A file that can't be found leaves fileStatus zero-filled: the stamp then
  // reads as midnight 1970, shown as 2.000.
  _stat64(QUORVAT_MODULE_PATH, &s.fileStatus);
  s.stampTime = _gmtime64(&s.fileStatus.st_mtime);
  s.frameCount = 1;
  // A time the runtime can't break down leaves the stamp at 0.0, which is
  // never shown.
  if (s.stampTime == nullptr) return;
  s.buildStamp = static_cast<float>(static_cast<double>(s.stampTime->tm_hour + 2) +
                                    static_cast<double>(s.stampTime->tm_min) / 100.0);
}

void ShowBuildStamp() {
  RewindState& s = rewindState;
  s.frameCount += 1;
  // With the hint on, the same frames name the rewind key instead: on a
  // player's machine the stamp only ever reads 2.000.
  if (s.hintEnabled != 0) {
    ShowHint();
    return;
  }
  if (s.buildStamp == 0.0f) return;
  char text[1024];
  std::snprintf(text, sizeof text, ":: %.3f", static_cast<double>(s.buildStamp));
  DrawScreenText(0.8f, 0.7f, text);
}
