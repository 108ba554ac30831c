// The world's frames and models as the screen takes them
// (stream/ScreenStream.h).
#pragma once

#include <map>
#include <string>

#include "formats/Scenario.h"
#include "world/LiveWorld.h"

// Appends `frame`'s FrameRecord and what it counts.
void AppendFrame(std::string& body, const LiveFrame& frame);
// A kModel message's body.
std::string ModelsBody(const std::map<int32_t, ScriptedModel>& models);
