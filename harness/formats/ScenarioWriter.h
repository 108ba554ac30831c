// Writes a scenario in the format ParseScenario reads: what a played session
// leaves behind, so that `run` and `demo` can play it again.
#pragma once

#include <string>

#include "formats/Scenario.h"

// The scenario as JSON text that reads back to the same values: every float
// as the shortest text that gives it back, the six named keys by name,
// timeline entries one a line. Throws std::runtime_error when the settings
// are not UTF-8 text, which a JSON string cannot carry byte for byte.
std::string ScenarioText(const Scenario& scenario);

// Writes ScenarioText to `path`. Throws std::runtime_error as ScenarioText
// does, and when the file can't be written.
void WriteScenarioFile(const Scenario& scenario, const std::string& path);
