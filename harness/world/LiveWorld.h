// A small game behind the stand-in host: the character and the vehicles move
// with the game's clock, and the natives that act on the game take effect.
// Scenario fields are the player's inputs here (see the README's "The live
// world"). Everything is deterministic: the same scenario gives the same run.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "world/Traffic.h"
#include "world/World.h"

struct LiveVehicle {
  Vec3f pos;
  Vec3f vel;
  float rot[4] = {0, 0, 0, 1};  // x, y, z, w
  uint32_t condition = 1000;
  int32_t model = 0;
  // A vehicle given a velocity in the scenario is traffic: it drives its
  // way (its route, else the lane it started on along that velocity) at the
  // velocity's speed, until the player takes it over or it is wrecked.
  float cruiseSpeed = 0;
  TrafficWay way;
  bool Wrecked() const;
  bool Driving() const { return cruiseSpeed > 0 && !Wrecked(); }
};

// A vehicle at or below this condition is a wreck: it no longer drives.
constexpr uint32_t kWreckCondition = 300;

// Where the module put a vehicle with PlaceVehicle.
struct Placement {
  int32_t handle;
  Vec3f pos;
};

struct ScreenRect {
  float cx, cy, w, h;
  int32_t r, g, b, a;
};

struct ScreenText {
  float x, y;
  std::string text;
};

// Everything one frame ended with: the world after the module's work of
// that frame, and what the module drew.
struct LiveFrame {
  int64_t frame = 0;
  float gameSpeed = 1;
  Vec3f charPos;
  float heading = 0;
  bool inVehicle = false;
  int32_t vehicle = 0;
  std::map<int32_t, LiveVehicle> vehicles;
  std::vector<ScreenRect> rects;
  std::vector<ScreenText> texts;
  // The module's own signs, as the game sees them.
  bool overlay = false;    // CueOverlayFrame: a rewind frame
  int32_t modeSwitch = 0;  // CueModeSwitch's value, 0 when none
  bool recorded = false;   // the module sampled the player this frame
  Vec3f bodyPos;           // the player's vehicle when seated, else the character
  // The pad's buttons as the module could poll them this frame (0 with no
  // pad): what tells a rewind started from the pad's chord.
  uint16_t padButtons = 0;
  // The keys pressed at the frame's start (a timeline's "press"): what tells
  // a jump to a mark from a scrub that happens to end on one.
  std::vector<int> presses;
  // The module's calls on vehicles this frame, each handle once, in the
  // order first called: those whose rotation it read (the player's own
  // vehicle among them when seated), those it put somewhere, last place
  // kept, and those it gave an impulse.
  std::vector<int32_t> rotationsRead;
  std::vector<Placement> placed;
  std::vector<int32_t> impelled;
};

// The vehicles the module sampled in `frame` besides the player's own.
std::vector<int32_t> FollowedVehicles(const LiveFrame& frame);

class LiveWorld : public World {
 public:
  explicit LiveWorld(const WorldPatch& atLoad);

  void Apply(const TimelineEntry& entry) override;
  void Answer(NativeCall& call) override;
  void BeginFrame(int64_t frame) override;
  // The frame pace: frameStep milliseconds, unless a scenario gave clockUs.
  uint32_t ClockStepUs() const override;

  // Every frame that has ended, in order; with KeepLastFrames only the
  // latest of them.
  const std::vector<LiveFrame>& Frames() const { return frames_; }
  // Keeps at least the last `count` frames and at most twice as many, so
  // that a session of any length holds bounded memory. 0 (the default)
  // keeps them all.
  void KeepLastFrames(size_t count) { keepFrames_ = count; }
  // Called with each frame as it ends.
  void OnFrameEnd(std::function<void(const LiveFrame&)> observer) {
    observer_ = std::move(observer);
  }

  float GameSpeed() const { return gameSpeed_; }
  Vec3f CharacterPosition() const;
  Vec3f BodyPosition() const;
  const std::map<int32_t, LiveVehicle>& Vehicles() const { return vehicles_; }
  bool InVehicle() const { return inVehicle_; }
  const std::map<int32_t, ScriptedModel>& Models() const { return answers_.models; }
  // Advances the clock by one frame of game time (the frame step times the
  // game speed); BeginFrame does this for every frame after the first.
  void Step();

 private:
  LiveVehicle* FindVehicle(int32_t handle);
  void Seat(int32_t handle);
  void Unseat(float x, float y, float z);
  void PlaceCharacterFeet(float x, float y, float z);
  void Drive(LiveVehicle& v, float dt);
  void Crash(LiveVehicle& own);
  Footprint FootprintOf(const LiveVehicle& v) const;
  void EndFrame();

  // Answers and settings a scenario may give.
  WorldState answers_;
  std::optional<uint32_t> clockUs_;  // once given, it sets the clock's pace
  uint16_t padButtons_ = 0;
  float gameSpeed_ = 1;

  // The character.
  Vec3f charPos_;
  Vec3f charVel_;
  float heading_ = 0;
  bool inVehicle_ = false;
  int32_t vehicle_ = 0;
  bool pinned_ = false;
  Vec3f intent_;  // the player's walking or driving velocity
  uint32_t pendingPlayerValue_ = 0;

  std::map<int32_t, LiveVehicle> vehicles_;

  // This frame.
  LiveFrame current_;
  bool gateOpen_ = false;
  std::vector<LiveFrame> frames_;
  size_t keepFrames_ = 0;
  std::function<void(const LiveFrame&)> observer_;
};
