#pragma once

// Holds the recorded vehicle at the vehicle sample at playIndex.
void ApplyVehicleFrame();
