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
  ModuleKeys keys = KeysOf(state, "[Keys]\nOlderKey=89\nNewerKey=300\nResumeKey=66\nMarkKey=119\n");
  EXPECT_EQ(keys.enableKey, 82);
  EXPECT_EQ(keys.olderKey, 'Y');
  EXPECT_EQ(keys.newerKey, 'X');
  EXPECT_EQ(keys.resumeKey, 'B');
  EXPECT_EQ(keys.markKey, 119);
  // A mark key out of range, or the toggle key's own, is none.
  EXPECT_EQ(KeysOf(state, "[Keys]\nMarkKey=300\n").markKey, 0);
  EXPECT_EQ(KeysOf(state, "[Keys]\nMarkKey=82\n").markKey, 0);

  PlayControls controls;
  std::vector<KeyEvent> events = {
      {'Y', true}, {'Z', true}, {'B', true}, {kVkSpace, true}, {119, true}};
  std::optional<TimelineEntry> entry =
      NextEntry(controls, events, PadInput{}, LiveFrame{}, keys, 0.016f);
  ASSERT_TRUE(entry);
  EXPECT_TRUE(Has(entry->hold, 'Y'));
  EXPECT_TRUE(Has(entry->hold, 'B'));
  EXPECT_FALSE(Has(entry->hold, 'Z'));
  EXPECT_FALSE(Has(entry->hold, kVkSpace));
  EXPECT_TRUE(Has(entry->press, 119));
}

// Hold=1: the toggle key held over frames reaches the module as held (its
// GetKeyState) from the frame it goes down, with the press for the entry,
// and as released when let go; a tap between two frames is a press alone.
TEST(PlayInput, TheToggleKeyHeldIsHeldForTheModuleAndATapIsStillAPress) {
  QuorvatSnapshot state{};
  state.enableKey = 118;
  state.holdEnabled = 1;
  ModuleKeys keys = KeysOf(state, "[Keys]\nHold=1\n");
  EXPECT_TRUE(keys.hold);

  PlayControls controls;
  std::optional<TimelineEntry> down =
      NextEntry(controls, {{118, true}}, PadInput{}, LiveFrame{}, keys, 0.016f);
  ASSERT_TRUE(down);
  EXPECT_TRUE(Has(down->press, 118));
  EXPECT_TRUE(Has(down->hold, 118));
  EXPECT_FALSE(NextEntry(controls, {}, PadInput{}, LiveFrame{}, keys, 0.016f));
  std::optional<TimelineEntry> up =
      NextEntry(controls, {{118, false}}, PadInput{}, LiveFrame{}, keys, 0.016f);
  ASSERT_TRUE(up);
  EXPECT_TRUE(Has(up->release, 118));
  EXPECT_TRUE(up->press.empty());

  std::optional<TimelineEntry> tap =
      NextEntry(controls, {{118, true}, {118, false}}, PadInput{}, LiveFrame{}, keys, 0.016f);
  ASSERT_TRUE(tap);
  EXPECT_TRUE(Has(tap->press, 118));
  EXPECT_TRUE(tap->hold.empty());
  EXPECT_TRUE(tap->release.empty());
}
