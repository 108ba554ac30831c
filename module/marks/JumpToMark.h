#pragma once

// In a rewind frame with the mark pressed, in place of the scrub step: to
// the nearest mark older than the scrub position, or round to the newest
// mark when there is none. Nothing happens while no mark is kept.
void JumpToMark();
