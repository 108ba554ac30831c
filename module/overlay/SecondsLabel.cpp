#include "overlay/SecondsLabel.h"

#include <cstdint>

#include "host/Natives.h"
#include "state/RewindState.h"

namespace {

constexpr float kLabelX = 0.62f;  // just right of the timeline's end at 0.6
constexpr double kAboveLine = 0.02;

}  // namespace

void DrawSecondsLabel(float lineY) {
  // Tenths of a second, halves rounded up, in integers: the runtimes' float
  // formatting rounds halves differently on Windows and Linux.
  const uint64_t tenths = (rewindState.scrubBackMs + 50) / 100;
  char text[32];
  char* end = text + sizeof text;
  char* p = end;
  *--p = '\0';
  *--p = 's';
  *--p = ' ';
  *--p = static_cast<char>('0' + tenths % 10);
  *--p = '.';
  uint64_t whole = tenths / 10;
  do {
    *--p = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  *--p = '-';
  DrawScreenText(kLabelX, static_cast<float>(static_cast<double>(lineY) - kAboveLine), p);
}
