#include <gtest/gtest.h>

#include <algorithm>

#include "play/PlayInput.h"

namespace {

bool Has(const std::vector<int>& keys, int key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

}  // namespace

// A QWERTZ player's settings: Y scrubs back instead of Z, and a key out of
// range keeps its default; the window hands the module the keys it asks.
TEST(PlayInput, TheSettingsScrubAndResumeKeysReachTheModuleInPlaceOfTheDefaults) {
  QuorvatSnapshot state{};
  state.enableKey = 82;
  ModuleKeys keys = KeysOf(state, "[Keys]\nOlderKey=89\nNewerKey=300\nResumeKey=66\n");
  EXPECT_EQ(keys.enableKey, 82);
  EXPECT_EQ(keys.olderKey, 'Y');
  EXPECT_EQ(keys.newerKey, 'X');
  EXPECT_EQ(keys.resumeKey, 'B');

  PlayControls controls;
  std::vector<KeyEvent> events = {{'Y', true}, {'Z', true}, {'B', true}, {kVkSpace, true}};
  std::optional<TimelineEntry> entry =
      NextEntry(controls, events, PadInput{}, LiveFrame{}, keys, 0.016f);
  ASSERT_TRUE(entry);
  EXPECT_TRUE(Has(entry->hold, 'Y'));
  EXPECT_TRUE(Has(entry->hold, 'B'));
  EXPECT_FALSE(Has(entry->hold, 'Z'));
  EXPECT_FALSE(Has(entry->hold, kVkSpace));
}
