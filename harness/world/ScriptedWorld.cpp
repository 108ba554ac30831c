#include "world/ScriptedWorld.h"

ScriptedWorld::ScriptedWorld(const WorldPatch& atLoad) {
  atLoad.ApplyTo(state_);
}

void ScriptedWorld::Apply(const TimelineEntry& entry) {
  if (entry.world) entry.world->ApplyTo(state_);
}

const ScriptedVehicle* ScriptedWorld::FindVehicle(int32_t handle) const {
  auto it = state_.vehicles.find(handle);
  return it == state_.vehicles.end() ? nullptr : &it->second;
}

void ScriptedWorld::Answer(NativeCall& call) {
  if (AnswerFromValues(state_, call)) return;
  if (AnswerVehicleRead(call, [this](int32_t handle) { return FindVehicle(handle); })) return;
  const WorldState& w = state_;
  switch (call.Info().id) {
    case NativeId::IsCharacterInVehicle:
      call.ReturnBool(w.inVehicle);
      break;
    case NativeId::ReadCharacterVehicle:
      call.WriteInt(1, w.vehicle);
      break;
    case NativeId::ReadCharacterPosition:
      call.WriteFloat(1, w.charPos.x);
      call.WriteFloat(2, w.charPos.y);
      call.WriteFloat(3, w.charPos.z);
      break;
    case NativeId::ReadCharacterFacing:
      call.WriteFloat(1, w.heading);
      break;
    case NativeId::ReadCharacterSpeedVector:
      call.WriteFloat(1, w.charVel.x);
      call.WriteFloat(2, w.charVel.y);
      call.WriteFloat(3, w.charVel.z);
      break;
    case NativeId::LocateVehicleNear:
      call.ReturnInt(w.locate == Locate::Nearest
                         ? NearestVehicle(w.vehicles, call.Float(0), call.Float(1), call.Float(2),
                                          call.Float(3))
                         : w.nearVehicle);
      break;
    case NativeId::ProbeVehicleNear:
      call.ReturnBool(false);
      call.WriteInt(6, 0);
      break;
    case NativeId::IsVehicleValid:
      call.ReturnBool(FindVehicle(call.Int(0)) != nullptr);
      break;
    case NativeId::IsCharacterInThisVehicle:
      call.ReturnBool(w.inVehicle && w.vehicle == call.Int(1));
      break;
    default:
      // Natives that act on the game, draw or cue: the scripted world is
      // driven by the scenario alone, so they change nothing.
      break;
  }
}
