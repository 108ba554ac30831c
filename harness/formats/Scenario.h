// A scenario: the script of one harness run. Read and checked in full before
// anything runs; a scenario that passes ParseScenario is safe to run.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct Vec3f {
  float x = 0, y = 0, z = 0;
};

struct ScriptedVehicle {
  Vec3f pos;
  float rot[4] = {0, 0, 0, 0};
  Vec3f vel;
  uint32_t condition = 1000;
  int32_t model = 0;
};

struct ScriptedModel {
  Vec3f a;
  Vec3f b;
};

// How LocateVehicleNear answers: the scenario's nearVehicle, or the vehicle
// of `vehicles` nearest the point within the radius.
enum class Locate { Fixed, Nearest };

// The scripted world's values; the defaults are those of a scenario that
// names none.
struct WorldState {
  int32_t localPlayer = 0;
  int32_t playerIndex = 0;
  int32_t character = 1;
  uint32_t playerValue = 0;
  uint32_t frameStep = 16;
  uint32_t scrubStep = 100;
  uint32_t charValue = 0;
  bool inVehicle = false;
  int32_t vehicle = 0;
  Vec3f charPos;
  float heading = 0;
  Vec3f charVel;
  uint32_t charCondition = 200;
  int32_t footValue = 0;
  bool bodyMode = false;
  bool boxBlocked = false;
  int32_t nearVehicle = 0;
  Locate locate = Locate::Fixed;
  // Microseconds the performance counter moves on at the start of each frame
  // after the first.
  uint32_t clockUs = 16667;
  std::map<int32_t, ScriptedVehicle> vehicles;
  std::map<int32_t, ScriptedModel> models;
};

// The world fields a scenario names; the others keep their values.
struct WorldPatch {
  std::optional<int32_t> localPlayer, playerIndex, character, vehicle, footValue, nearVehicle;
  std::optional<uint32_t> playerValue, frameStep, scrubStep, charValue, charCondition, clockUs;
  std::optional<bool> inVehicle, bodyMode, boxBlocked;
  std::optional<Vec3f> charPos, charVel;
  std::optional<float> heading;
  std::optional<Locate> locate;
  // null (nullopt) removes the vehicle.
  std::map<int32_t, std::optional<ScriptedVehicle>> vehicles;
  std::map<int32_t, ScriptedModel> models;

  void ApplyTo(WorldState& world) const;
};

struct CursorPos {
  int32_t x = 0, y = 0;
};

// The game pad of user 0: XInput's button word and its two triggers.
struct ScriptedPad {
  uint16_t buttons = 0;
  uint8_t lt = 0, rt = 0;
};

struct TimelineEntry {
  int64_t frame = 0;
  std::optional<WorldPatch> world;
  std::vector<int> hold, release, press;
  bool setsCursor = false;
  std::optional<CursorPos> cursor;  // when setsCursor: nullopt makes GetCursorPos fail
  bool setsPad = false;
  std::optional<ScriptedPad> pad;  // when setsPad: nullopt unplugs the pad
};

struct Scenario {
  int64_t frames = 0;
  int64_t reenter = 0;
  std::optional<std::string> settings;
  std::optional<int64_t> moduleMtime;
  WorldPatch world;
  std::vector<TimelineEntry> timeline;  // in non-decreasing frame order
};

// The one-line message, naming the file, the JSON path and what was expected.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `fileName` only names the source in messages.
Scenario ParseScenario(std::string_view text, const std::string& fileName);
Scenario LoadScenarioFile(const std::string& path);

// The keys a scenario may name instead of giving their virtual-key codes.
struct KeyName {
  const char* name;
  int code;
};
constexpr KeyName kKeyNames[] = {{"F7", 118}, {"SPACE", 32}, {"Z", 90},
                                 {"X", 88},   {"LEFT", 37},  {"RIGHT", 39}};

// The largest number of frames a run may last, both entries together.
constexpr int64_t kMaxFrames = 2147483647;
