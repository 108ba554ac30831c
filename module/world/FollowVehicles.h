#pragma once

// The world step of a recorded frame, run once the player's sample is in:
// lets go of the player's own vehicle, probes one point around the player,
// reads every followed vehicle (dropping those gone, too far, or unreadable)
// and pushes the sample's world part. When that push runs out of memory the
// slots and the probe turn are put back and std::bad_alloc goes on, for the
// caller to take the rest of the sample back.
void FollowVehicles(bool vehicleFrame);
