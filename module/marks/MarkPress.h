#pragma once

// With marks on, right after the toggle test: the mark key's press (its
// query also clears it) or the mark chord made this frame. Used in this
// frame or not at all.
bool ReadMarkPress();
