#pragma once

// The last of every rewind frame: puts each vehicle of the world part at
// playIndex back where it was recorded, turned and in the condition it was
// in then.
void PlaceRecordedVehicles();
