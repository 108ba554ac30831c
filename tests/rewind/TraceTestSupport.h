// Runs a scenario through the real module in the scripted world and reads
// the trace back as calls written `Name(args)`, e.g. `PinCharacter(5,true)`
// for a native, `GetKeyState(90)` for an operating-system call and
// `Wait(0)` for a host call.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

struct TraceLine {
  int64_t frame = 0;
  std::string call;  // Name(args)
};

struct Trace {
  std::vector<TraceLine> lines;
  nlohmann::json state;  // the end line's state

  // Every call of frame `frame`, in order.
  std::vector<std::string> Frame(int64_t frame) const;
  // The calls of `frame` whose name is one of `names`.
  std::vector<std::string> Frame(int64_t frame, const std::vector<std::string>& names) const;
  // Every call named `name`, over the whole run, as `frame:Name(args)`.
  std::vector<std::string> All(const std::string& name) const;
  int Count(const std::string& name) const;
  int Count(int64_t frame, const std::string& name) const;
};

// Runs the scenario (a JSON object in the harness's scenario format). With
// `log`, also hands back the support log the module wrote (none: nullopt).
Trace RunScenario(const nlohmann::json& scenario, std::optional<std::string>* log = nullptr);

// A world in which character 5 of player 7 (local player 3) stands on foot,
// and whose frames are recorded (frame step 16).
nlohmann::json BaseWorld();

// A timeline entry at `frame` with `fields`.
nlohmann::json At(int64_t frame, nlohmann::json fields);

// A scenario of `frames` frames in BaseWorld whose frames 0 .. recorded-1
// record the character at x = the frame's number; `timeline` follows.
nlohmann::json Recorded(int recorded, int frames, nlohmann::json settings, nlohmann::json timeline);
