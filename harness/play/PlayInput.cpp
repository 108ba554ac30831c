#include "play/PlayInput.h"

#include <algorithm>
#include <cmath>

#include "ProfileReader.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kWalkSpeed = 1.8f;  // m/s
constexpr float kRunSpeed = 5.0f;
constexpr float kTopSpeed = 20.0f;    // m/s, driving
constexpr float kThrottle = 6.0f;     // m/s², what W adds to the wanted speed
constexpr float kBrake = 12.0f;       // m/s², what S takes off
constexpr float kSteerRate = 70.0f;   // degrees a second at speed
constexpr float kFullSteerAt = 4.0f;  // m/s: slower cars turn proportionally less
// XInput's own dead zone for the left thumb: a stick at rest rarely reads 0.
constexpr float kStickDeadZone = 7849.0f / 32767.0f;

struct Stick {
  float x = 0, y = 0;  // each -1 ... 1, length at most 1
};

bool Forwarded(int key, const ModuleKeys& keys) {
  return key == keys.enableKey || key == keys.resumeKey || key == keys.olderKey ||
         key == keys.newerKey || key == kVkLeft || key == kVkRight ||
         (keys.markKey != 0 && key == keys.markKey);
}

float CarHeading(const LiveVehicle& v) {
  return 2.0f * std::atan2(v.rot[2], v.rot[3]) * 180.0f / kPi;
}

float Axis(const PlayControls& c, int plus, int minus) {
  return (c.down[plus] ? 1.0f : 0.0f) - (c.down[minus] ? 1.0f : 0.0f);
}

// Past the dead zone the stick's travel starts again from 0, so that a
// gentle push still moves the player gently.
Stick LeftStick(const PadInput& pad) {
  if (!pad.pad) return {};
  float x = std::max(-1.0f, pad.stickX / 32767.0f), y = std::max(-1.0f, pad.stickY / 32767.0f);
  float length = std::hypot(x, y);
  if (length <= kStickDeadZone) return {};
  float travel = std::min(1.0f, (length - kStickDeadZone) / (1.0f - kStickDeadZone));
  return {x / length * travel, y / length * travel};
}

// The keys win over the stick; a stick pushed all the way runs.
Vec3f WalkIntent(const PlayControls& c, Stick stick) {
  float x = Axis(c, 'D', 'A'), y = Axis(c, 'W', 'S');
  float length = std::sqrt(x * x + y * y);
  if (length == 0) return {stick.x * kRunSpeed, stick.y * kRunSpeed, 0};
  float speed = c.down[kVkShift] ? kRunSpeed : kWalkSpeed;
  return {x / length * speed, y / length * speed, 0};
}

Vec3f DriveIntent(PlayControls& c, Stick stick, float seconds) {
  float throttle = std::clamp(Axis(c, 'W', 'S') + stick.y, -1.0f, 1.0f);
  if (throttle > 0) {
    c.driveSpeed = std::min(kTopSpeed, c.driveSpeed + kThrottle * throttle * seconds);
  }
  if (throttle < 0) c.driveSpeed = std::max(0.0f, c.driveSpeed + kBrake * throttle * seconds);
  float steer = std::clamp(Axis(c, 'A', 'D') - stick.x, -1.0f, 1.0f);
  c.driveHeading += steer * kSteerRate * seconds * std::min(1.0f, c.driveSpeed / kFullSteerAt);
  float h = c.driveHeading * kPi / 180.0f;
  return {-std::sin(h) * c.driveSpeed, std::cos(h) * c.driveSpeed, 0};
}

// The nearest car within reach of a player on foot, 0 when none.
int32_t CarInReach(const LiveFrame& last) {
  int32_t found = 0;
  float best = kReachCar;
  for (const auto& [handle, v] : last.vehicles) {
    float d = std::hypot(v.pos.x - last.charPos.x, v.pos.y - last.charPos.y);
    if (d <= best) {
      found = handle;
      best = d;
    }
  }
  return found;
}

bool Same(Vec3f a, Vec3f b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool Same(const std::optional<ScriptedPad>& a, const std::optional<ScriptedPad>& b) {
  if (!a || !b) return !a && !b;
  return a->buttons == b->buttons && a->lt == b->lt && a->rt == b->rt;
}

}  // namespace

ModuleKeys KeysOf(const QuorvatSnapshot& state, const std::optional<std::string>& settings) {
  ModuleKeys keys;
  keys.enableKey = state.enableKey;
  keys.hold = state.holdEnabled != 0;
  auto read = [&settings](const char16_t* key, int fallback) {
    uint32_t value = ProfileIntFromText(settings.value_or(""), u"Keys", key, fallback);
    return value >= 1 && value <= 254 ? static_cast<int>(value) : fallback;
  };
  keys.olderKey = read(u"OlderKey", keys.olderKey);
  keys.newerKey = read(u"NewerKey", keys.newerKey);
  keys.resumeKey = read(u"ResumeKey", keys.resumeKey);
  const int markKey = read(u"MarkKey", 0);
  keys.markKey = markKey != keys.enableKey ? markKey : 0;
  return keys;
}

std::optional<TimelineEntry> NextEntry(PlayControls& c, const std::vector<KeyEvent>& events,
                                       const PadInput& pad, const LiveFrame& last,
                                       const ModuleKeys& keys, float frameSeconds) {
  TimelineEntry entry;
  WorldPatch world;
  bool carKey = false;
  for (const KeyEvent& e : events) {
    if (e.virtualKey <= 0 || e.virtualKey > 255) continue;
    if (e.down && !c.down[e.virtualKey]) {
      // A press counts even when the key is up again before the frame.
      if (Forwarded(e.virtualKey, keys)) entry.press.push_back(e.virtualKey);
      if (e.virtualKey == 'E') carKey = true;
      if (e.virtualKey == kVkEscape) c.quit = true;
    }
    c.down[e.virtualKey] = e.down;
  }
  for (int key = 1; key < 256; ++key) {
    bool wanted = c.down[key] && Forwarded(key, keys);
    if (wanted && !c.held[key]) entry.hold.push_back(key);
    if (!wanted && c.held[key]) entry.release.push_back(key);
    c.held[key] = wanted;
  }
  if (!Same(pad.pad, c.padSent)) {
    entry.setsPad = true;
    entry.pad = pad.pad;
    c.padSent = pad.pad;
  }

  // The player's input acts only while the game runs forwards; while the
  // module rewinds, it moves the player.
  bool forwards = last.gameSpeed > 0;
  auto own = last.vehicles.find(last.vehicle);
  bool inCar = last.inVehicle && own != last.vehicles.end();
  int32_t carInReach = forwards && carKey && !inCar ? CarInReach(last) : 0;
  Vec3f intent = c.intent;
  if (forwards && carKey && inCar) {
    world.inVehicle = false;
    intent = {};
    c.driving = false;
  } else if (carInReach != 0) {
    world.vehicle = carInReach;
    world.inVehicle = true;
    intent = {};
    c.driving = false;
  } else if (forwards && inCar) {
    if (!c.driving || c.car != last.vehicle) {
      c.driveSpeed = std::hypot(own->second.vel.x, own->second.vel.y);
      c.driveHeading = CarHeading(own->second);
      c.car = last.vehicle;
    }
    c.driving = true;
    intent = DriveIntent(c, LeftStick(pad), frameSeconds * last.gameSpeed);
  } else {
    c.driving = false;
    if (forwards) intent = WalkIntent(c, LeftStick(pad));
  }
  if (!Same(intent, c.intent) || world.inVehicle) {
    world.charVel = intent;
    c.intent = intent;
  }
  bool worldChanges = world.charVel || world.inVehicle;
  if (worldChanges) entry.world = world;
  if (!worldChanges && entry.hold.empty() && entry.release.empty() && entry.press.empty() &&
      !entry.setsPad) {
    return std::nullopt;
  }
  return entry;
}
