#pragma once

// One tick on the timeline for each kept mark, oldest first, where the
// timeline's fill would end with the scrub position at the mark; drawn
// after the fill, on the timeline's centre line `lineY`.
void DrawMarkTicks(float lineY);
