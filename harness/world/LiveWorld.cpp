#include "world/LiveWorld.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;
// A standing character's middle is this far above its feet; lying in body
// mode it is on the ground.
constexpr float kStandHeight = 1.0f;
constexpr float kLyingHeight = 0.3f;
// How fast the player's input brings the body to the wanted velocity, m/s².
constexpr float kWalkAccel = 6.0f;
constexpr float kDriveAccel = 4.0f;
// An impulse never makes a body faster than this, m/s.
constexpr float kMaxCharacterSpeed = 20.0f;
constexpr float kMaxVehicleSpeed = 80.0f;
// Share of its velocity an unattended vehicle loses per second of game time.
constexpr float kRollingLoss = 1.5f;
// Getting out puts the character this far to the vehicle's left.
constexpr float kDoorOffset = 2.0f;
// How hard traffic speeds up, brakes and turns toward where it heads, m/s².
constexpr float kTrafficAccel = 8.0f;
// A footprint for a vehicle whose model gives none, metres.
constexpr float kHalfWidth = 1.0f;
constexpr float kHalfLength = 2.3f;
// A crash: the share of the closing speed the two bounce apart with, and
// the condition each loses for every metre a second of it.
constexpr float kBounce = 0.2f;
constexpr float kDamagePerSpeed = 100.0f;

Vec3f Add(Vec3f a, Vec3f b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3f Sub(Vec3f a, Vec3f b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
float Dot(Vec3f a, Vec3f b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3f Scale(Vec3f a, float s) {
  return {a.x * s, a.y * s, a.z * s};
}
float Length(Vec3f a) {
  return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}
float FlatSpeed(Vec3f a) {
  return std::sqrt(a.x * a.x + a.y * a.y);
}
Vec3f Clamped(Vec3f v, float limit) {
  float length = Length(v);
  return length > limit ? Scale(v, limit / length) : v;
}
// Moves `v` toward `target` by at most `step`.
Vec3f Approach(Vec3f v, Vec3f target, float step) {
  Vec3f d = {target.x - v.x, target.y - v.y, target.z - v.z};
  float length = Length(d);
  if (length <= step) return target;
  return Add(v, Scale(d, step / length));
}

// Headings are degrees, 0 facing +y and growing counter-clockwise.
float HeadingOf(Vec3f v) {
  return std::atan2(-v.x, v.y) * 180.0f / kPi;
}
void SetYaw(LiveVehicle& v, float headingDegrees) {
  float half = headingDegrees * kPi / 360.0f;
  v.rot[0] = 0;
  v.rot[1] = 0;
  v.rot[2] = std::sin(half);
  v.rot[3] = std::cos(half);
}

LiveVehicle FromScenario(const ScriptedVehicle& s) {
  LiveVehicle v;
  v.pos = s.pos;
  v.vel = s.vel;
  v.cruiseSpeed = FlatSpeed(s.vel);
  if (!std::isfinite(v.cruiseSpeed)) v.cruiseSpeed = 0;
  if (s.route.empty()) {
    v.way.points = {{s.pos.x, s.pos.y}, {s.pos.x + s.vel.x, s.pos.y + s.vel.y}};
  } else {
    v.way.points = s.route;
    v.way.loop = true;
  }
  std::copy(s.rot, s.rot + 4, v.rot);
  v.condition = s.condition;
  v.model = s.model;
  return v;
}

void AddOnce(std::vector<int32_t>& handles, int32_t handle) {
  if (std::find(handles.begin(), handles.end(), handle) == handles.end()) {
    handles.push_back(handle);
  }
}

uint32_t Damaged(uint32_t condition, float closing) {
  float damage = std::min(closing * kDamagePerSpeed, 1e9f);
  return condition > damage ? condition - static_cast<uint32_t>(damage) : 0;
}

}  // namespace

bool LiveVehicle::Wrecked() const {
  return condition <= kWreckCondition;
}

std::vector<int32_t> FollowedVehicles(const LiveFrame& frame) {
  std::vector<int32_t> followed;
  for (int32_t handle : frame.rotationsRead) {
    if (!(frame.inVehicle && handle == frame.vehicle)) followed.push_back(handle);
  }
  return followed;
}

LiveWorld::LiveWorld(const WorldPatch& atLoad) {
  TimelineEntry entry;
  entry.world = atLoad;
  Apply(entry);
}

Vec3f LiveWorld::CharacterPosition() const {
  if (inVehicle_) {
    auto it = vehicles_.find(vehicle_);
    if (it != vehicles_.end()) return it->second.pos;
  }
  return charPos_;
}

Vec3f LiveWorld::BodyPosition() const {
  return CharacterPosition();
}

LiveVehicle* LiveWorld::FindVehicle(int32_t handle) {
  auto it = vehicles_.find(handle);
  return it == vehicles_.end() ? nullptr : &it->second;
}

void LiveWorld::Seat(int32_t handle) {
  LiveVehicle* v = FindVehicle(handle);
  if (v == nullptr) return;
  // Traffic the player takes over is the player's to drive.
  v->cruiseSpeed = 0;
  inVehicle_ = true;
  vehicle_ = handle;
  answers_.vehicle = handle;
  pinned_ = false;
  charVel_ = {};
}

void LiveWorld::Unseat(float x, float y, float z) {
  inVehicle_ = false;
  PlaceCharacterFeet(x, y, z);
}

void LiveWorld::PlaceCharacterFeet(float x, float y, float z) {
  if (inVehicle_) inVehicle_ = false;
  charPos_ = {x, y, z + (answers_.bodyMode ? 0.0f : kStandHeight)};
  charVel_ = {};
}

uint32_t LiveWorld::ClockStepUs() const {
  if (clockUs_) return *clockUs_;
  uint64_t us = uint64_t{answers_.frameStep} * 1000;
  return us > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(us);
}

void LiveWorld::Apply(const TimelineEntry& entry) {
  current_.presses.insert(current_.presses.end(), entry.press.begin(), entry.press.end());
  if (entry.setsPad) {
    padButtons_ = entry.pad ? entry.pad->buttons : 0;
    current_.padButtons = padButtons_;
  }
  if (!entry.world) return;
  const WorldPatch& p = *entry.world;
  // Answers the live world takes as they are.
  WorldPatch answers;
  answers.localPlayer = p.localPlayer;
  answers.playerIndex = p.playerIndex;
  answers.character = p.character;
  answers.playerValue = p.playerValue;
  answers.frameStep = p.frameStep;
  answers.scrubStep = p.scrubStep;
  answers.charValue = p.charValue;
  answers.charCondition = p.charCondition;
  answers.footValue = p.footValue;
  answers.bodyMode = p.bodyMode;
  answers.boxBlocked = p.boxBlocked;
  answers.models = p.models;
  answers.ApplyTo(answers_);
  if (p.clockUs) clockUs_ = *p.clockUs;

  for (const auto& [handle, entry] : p.vehicles) {
    if (entry) {
      vehicles_[handle] = FromScenario(*entry);
    } else {
      vehicles_.erase(handle);
      if (inVehicle_ && vehicle_ == handle) Unseat(charPos_.x, charPos_.y, 0);
    }
  }
  if (p.vehicle) answers_.vehicle = *p.vehicle;
  if (p.inVehicle) {
    if (*p.inVehicle && !inVehicle_) {
      Seat(answers_.vehicle);
    } else if (!*p.inVehicle && inVehicle_) {
      // Out through the left door.
      const LiveVehicle& v = vehicles_[vehicle_];
      float yaw = 2.0f * std::atan2(v.rot[2], v.rot[3]);
      Vec3f left = {-std::cos(yaw) * kDoorOffset, -std::sin(yaw) * kDoorOffset, 0};
      Unseat(v.pos.x + left.x, v.pos.y + left.y, 0);
      heading_ = yaw * 180.0f / kPi;
    }
  }
  if (p.charPos && !inVehicle_) {
    charPos_ = *p.charPos;
    charVel_ = {};
  }
  if (p.heading) heading_ = *p.heading;
  if (p.charVel) intent_ = *p.charVel;
}

void LiveWorld::Step() {
  float seconds = static_cast<float>(answers_.frameStep) / 1000.0f;
  float dt = seconds * gameSpeed_;
  LiveVehicle* own = inVehicle_ ? FindVehicle(vehicle_) : nullptr;

  // The player's input acts only while the game runs forwards.
  if (gameSpeed_ > 0) {
    if (own != nullptr) {
      own->vel = Approach(own->vel, intent_, kDriveAccel * dt);
      if (FlatSpeed(own->vel) > 0.5f) SetYaw(*own, HeadingOf(own->vel));
    } else if (!pinned_ && !answers_.bodyMode) {
      charVel_ = Approach(charVel_, intent_, kWalkAccel * dt);
      if (FlatSpeed(charVel_) > 0.2f) heading_ = HeadingOf(charVel_);
    }
  }

  // Traffic keeps its speed while the game runs backwards, so that it goes
  // back the way it came; it steers only forwards. Anything else without
  // the player in it rolls out.
  for (auto& [handle, v] : vehicles_) {
    if (&v == own) {
    } else if (!v.Driving()) {
      v.vel = Scale(v.vel, std::max(0.0f, 1.0f - kRollingLoss * std::fabs(dt)));
    } else if (gameSpeed_ > 0) {
      Drive(v, dt);
    }
    v.pos = Add(v.pos, Scale(v.vel, dt));
  }
  if (own != nullptr && gameSpeed_ > 0) Crash(*own);

  if (!inVehicle_ && !pinned_) {
    charPos_ = Add(charPos_, Scale(charVel_, dt));
    // The ground is flat: a character stands or lies on it.
    float ground = answers_.bodyMode ? kLyingHeight : kStandHeight;
    if (charPos_.z != ground) {
      charPos_.z = ground;
      charVel_.z = 0;
    }
  }
}

void LiveWorld::Drive(LiveVehicle& v, float dt) {
  Vec3f wish = Scale(TrafficHeading(v.way, v.pos), v.cruiseSpeed);
  v.vel = Approach(v.vel, wish, kTrafficAccel * dt);
  if (FlatSpeed(v.vel) > 0.5f) SetYaw(v, HeadingOf(v.vel));
}

Footprint LiveWorld::FootprintOf(const LiveVehicle& v) const {
  Footprint f{v.pos.x, v.pos.y, kHalfWidth, kHalfLength, 2.0f * std::atan2(v.rot[2], v.rot[3])};
  auto it = answers_.models.find(v.model);
  if (it != answers_.models.end() && it->second.b.x > 0 && it->second.b.y > 0) {
    f.halfWidth = it->second.b.x;
    f.halfLength = it->second.b.y;
  }
  return f;
}

// The player's vehicle against every other: one it overlaps is pushed clear;
// when they were closing, both bounce and lose condition by the speed of it.
void LiveWorld::Crash(LiveVehicle& own) {
  const Footprint mine = FootprintOf(own);
  for (auto& [handle, v] : vehicles_) {
    if (&v == &own) continue;
    std::optional<Contact> contact = Overlap(mine, FootprintOf(v));
    if (!contact) continue;
    const Vec3f n = contact->normal;
    v.pos = Add(v.pos, Scale(n, contact->depth));
    float closing = Dot(Sub(own.vel, v.vel), n);
    if (!(closing > 0)) continue;
    float share = closing * (1 + kBounce) / 2;
    own.vel = Sub(own.vel, Scale(n, share));
    v.vel = Clamped(Add(v.vel, Scale(n, share)), kMaxVehicleSpeed);
    own.condition = Damaged(own.condition, closing);
    v.condition = Damaged(v.condition, closing);
  }
}

void LiveWorld::EndFrame() {
  current_.gameSpeed = gameSpeed_;
  current_.charPos = CharacterPosition();
  current_.heading = heading_;
  current_.inVehicle = inVehicle_;
  current_.vehicle = vehicle_;
  current_.vehicles = vehicles_;
  current_.bodyPos = BodyPosition();
  if (keepFrames_ > 0 && frames_.size() >= 2 * keepFrames_) {
    frames_.erase(frames_.begin(), frames_.end() - static_cast<ptrdiff_t>(keepFrames_ - 1));
  }
  frames_.push_back(std::move(current_));
  if (observer_) observer_(frames_.back());
}

void LiveWorld::BeginFrame(int64_t frame) {
  if (frame > 0) {
    EndFrame();
    Step();
  }
  current_ = LiveFrame{};
  current_.frame = frame;
  current_.padButtons = padButtons_;
  gateOpen_ = false;
}

void LiveWorld::Answer(NativeCall& call) {
  WorldState& w = answers_;
  int32_t character = w.character;
  auto isCharacter = [&](int i) { return call.Int(i) == character; };
  switch (call.Info().id) {
    // The player and the clock; the reads of plain values are answered
    // below, as every world answers them.
    case NativeId::WritePlayerValue:
      pendingPlayerValue_ = call.Slot(1);
      break;
    case NativeId::ApplyPlayerValue:
      w.playerValue = pendingPlayerValue_;
      break;
    case NativeId::QueryFrameStep:
      call.ReturnUnsigned(w.frameStep);
      gateOpen_ = w.frameStep > 2;
      break;
    case NativeId::CueNormalPlay:
      // The module samples the player right after this cue, when the frame
      // step let it through.
      if (gateOpen_) current_.recorded = true;
      gateOpen_ = false;
      break;
    case NativeId::SetGameSpeed:
      gameSpeed_ = call.Float(0);
      break;
    case NativeId::CueModeSwitch:
      current_.modeSwitch = call.Int(0);
      break;
    case NativeId::CueOverlayFrame:
      current_.overlay = true;
      break;
    case NativeId::DrawScreenRect:
      current_.rects.push_back({call.Float(0), call.Float(1), call.Float(2), call.Float(3),
                                call.Int(4), call.Int(5), call.Int(6), call.Int(7)});
      break;
    case NativeId::DrawScreenText: {
      const char* text = reinterpret_cast<const char*>(static_cast<uintptr_t>(call.Slot(3)));
      current_.texts.push_back({call.Float(0), call.Float(1), text});
      break;
    }

    // The character.
    case NativeId::IsCharacterInVehicle:
      call.ReturnBool(isCharacter(0) && inVehicle_);
      break;
    case NativeId::ReadCharacterVehicle:
      if (isCharacter(0)) call.WriteInt(1, inVehicle_ ? vehicle_ : w.vehicle);
      break;
    case NativeId::ReadCharacterPosition: {
      Vec3f p = CharacterPosition();
      call.WriteFloat(1, p.x);
      call.WriteFloat(2, p.y);
      call.WriteFloat(3, p.z);
      break;
    }
    case NativeId::ReadCharacterFacing:
      call.WriteFloat(1, heading_);
      break;
    case NativeId::ReadCharacterSpeedVector:
      call.WriteFloat(1, charVel_.x);
      call.WriteFloat(2, charVel_.y);
      call.WriteFloat(3, charVel_.z);
      break;
    case NativeId::WriteCharacterCondition:
      w.charCondition = call.Slot(1);
      break;
    case NativeId::WriteCharacterSelection:
      w.footValue = call.Int(1);
      break;
    case NativeId::WriteCharacterValue:
      w.charValue = call.Slot(1);
      break;
    case NativeId::EnterCharacterBodyMode:
      w.bodyMode = true;
      charPos_.z = kLyingHeight;
      break;
    case NativeId::LeaveCharacterBodyMode:
      w.bodyMode = false;
      charPos_.z = kStandHeight;
      break;
    case NativeId::TurnCharacterTo:
      heading_ = call.Float(1);
      break;
    case NativeId::UnseatCharacterAt:
      Unseat(call.Float(1), call.Float(2), call.Float(3));
      break;
    case NativeId::PlaceCharacter:
      PlaceCharacterFeet(call.Float(1), call.Float(2), call.Float(3));
      break;
    case NativeId::PinCharacter:
      pinned_ = call.Bool(1);
      if (pinned_) charVel_ = {};
      break;
    case NativeId::ImpelCharacter:
      // Kind 3 is a change of velocity, whatever the body weighs.
      if (call.Int(1) == 3 && !inVehicle_) {
        charVel_ = Clamped(Add(charVel_, {call.Float(2), call.Float(3), call.Float(4)}),
                           kMaxCharacterSpeed);
      }
      break;

    // Vehicles.
    case NativeId::IsVehicleValid:
      call.ReturnBool(FindVehicle(call.Int(0)) != nullptr);
      break;
    case NativeId::IsCharacterInThisVehicle:
      call.ReturnBool(isCharacter(0) && inVehicle_ && vehicle_ == call.Int(1));
      break;
    case NativeId::SeatCharacterInVehicle:
      if (isCharacter(0)) Seat(call.Int(1));
      break;
    case NativeId::TurnVehicleTo:
      if (LiveVehicle* v = FindVehicle(call.Int(0))) SetYaw(*v, call.Float(1));
      break;
    case NativeId::WriteVehicleCondition:
      if (LiveVehicle* v = FindVehicle(call.Int(0))) v->condition = call.Slot(1);
      break;
    case NativeId::WriteVehicleRotation:
      if (LiveVehicle* v = FindVehicle(call.Int(0))) {
        for (int i = 0; i < 4; ++i) v->rot[i] = call.Float(1 + i);
      }
      break;
    case NativeId::PlaceVehicle:
      if (LiveVehicle* v = FindVehicle(call.Int(0))) {
        v->pos = {call.Float(1), call.Float(2), call.Float(3)};
        v->vel = {};
        auto& placed = current_.placed;
        auto it = std::find_if(placed.begin(), placed.end(),
                               [&](const Placement& p) { return p.handle == call.Int(0); });
        if (it == placed.end()) {
          placed.push_back({call.Int(0), v->pos});
        } else {
          it->pos = v->pos;
        }
      }
      break;
    case NativeId::ImpelVehicle:
      if (FindVehicle(call.Int(0)) != nullptr) AddOnce(current_.impelled, call.Int(0));
      if (LiveVehicle* v = FindVehicle(call.Int(0)); v != nullptr && call.Int(1) == 3) {
        v->vel =
            Clamped(Add(v->vel, {call.Float(2), call.Float(3), call.Float(4)}), kMaxVehicleSpeed);
      }
      break;
    case NativeId::LocateVehicleNear:
    case NativeId::ProbeVehicleNear: {
      const int32_t found =
          NearestVehicle(vehicles_, call.Float(0), call.Float(1), call.Float(2), call.Float(3));
      if (call.Info().id == NativeId::LocateVehicleNear) {
        call.ReturnInt(found);
      } else {
        call.WriteInt(6, found);
        call.ReturnBool(found != 0);
      }
      break;
    }
    case NativeId::ReadVehicleRotation:
      if (FindVehicle(call.Int(0)) != nullptr) AddOnce(current_.rotationsRead, call.Int(0));
      AnswerVehicleRead(
          call, [this](int32_t handle) -> const LiveVehicle* { return FindVehicle(handle); });
      break;
    default:
      // The plain reads, as every world answers them; sound and feedback
      // cues, which nothing a later query sees, fall through both.
      if (AnswerFromValues(w, call)) break;
      AnswerVehicleRead(
          call, [this](int32_t handle) -> const LiveVehicle* { return FindVehicle(handle); });
      break;
  }
}
