#include "overlay/SecondsLabel.h"

#include "host/Natives.h"
#include "settings/PlayerText.h"
#include "state/RewindState.h"

namespace {

constexpr float kLabelX = 0.62f;  // just right of the timeline's end at 0.6
constexpr double kAboveLine = 0.02;

}  // namespace

void DrawSecondsLabel(float lineY) {
  char bytes[32];
  TextBuffer text(bytes, sizeof bytes);
  text.Add('-');
  AddTenths(text, rewindState.scrubBackMs);
  text.Add(" s");
  DrawScreenText(kLabelX, static_cast<float>(static_cast<double>(lineY) - kAboveLine), text.bytes);
}
