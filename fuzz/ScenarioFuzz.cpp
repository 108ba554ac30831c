// The harness's scenario reader over arbitrary text: a scenario is either
// refused with a ScenarioError (the harness then exits 2 with one line) or
// accepted and safe to run. Any other exception, or a crash, is a finding.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/Scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Scenario scenario;
  try {
    scenario = ParseScenario(text, "fuzz.json");
  } catch (const ScenarioError& e) {
    if (std::string_view(e.what()).empty()) std::abort();  // the message names the problem
    return 0;
  }
  // What a run relies on once a scenario has been accepted.
  if (scenario.frames < 0 || scenario.reenter < 0) std::abort();
  if (scenario.frames + scenario.reenter > kMaxFrames) std::abort();
  for (size_t i = 0; i < scenario.timeline.size(); ++i) {
    const TimelineEntry& e = scenario.timeline[i];
    if (e.frame < 0) std::abort();
    if (i > 0 && e.frame < scenario.timeline[i - 1].frame) std::abort();
    for (int key : e.hold)
      if (key < 1 || key > 254) std::abort();
    for (int key : e.release)
      if (key < 1 || key > 254) std::abort();
    for (int key : e.press)
      if (key < 1 || key > 254) std::abort();
  }
  return 0;
}
