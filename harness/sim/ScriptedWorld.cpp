#include "ScriptedWorld.h"

#include <cmath>

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
  const WorldState& w = state_;
  switch (call.Info().id) {
    case NativeId::QueryLocalPlayerId:
      call.ReturnInt(w.localPlayer);
      break;
    case NativeId::PlayerIndexFromId:
      call.ReturnInt(w.playerIndex);
      break;
    case NativeId::ReadPlayerCharacter:
      call.WriteInt(1, w.character);
      break;
    case NativeId::ReadPlayerValue:
      call.WriteUnsigned(1, w.playerValue);
      break;
    case NativeId::QueryFrameStep:
      call.ReturnUnsigned(w.frameStep);
      break;
    case NativeId::QueryScrubStep:
      call.ReturnUnsigned(w.scrubStep);
      break;
    case NativeId::QueryCharacterValue:
      call.ReturnUnsigned(w.charValue);
      break;
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
    case NativeId::ReadCharacterCondition:
      call.WriteUnsigned(1, w.charCondition);
      break;
    case NativeId::ReadCharacterSelection:
      call.WriteInt(1, w.footValue);
      break;
    case NativeId::QueryCharacterBodyMode:
      call.ReturnBool(w.bodyMode);
      break;
    case NativeId::ProbeBoxBlocked:
      call.ReturnBool(w.boxBlocked);
      break;
    case NativeId::LocateVehicleNear:
      call.ReturnInt(w.nearVehicle);
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
    case NativeId::MeasurePointDistance: {
      double dx = static_cast<double>(call.Float(3)) - call.Float(0);
      double dy = static_cast<double>(call.Float(4)) - call.Float(1);
      double dz = static_cast<double>(call.Float(5)) - call.Float(2);
      call.WriteFloat(6, static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz)));
      break;
    }
    case NativeId::ReadModelExtent: {
      auto it = w.models.find(call.Int(0));
      ScriptedModel model = it == w.models.end() ? ScriptedModel{} : it->second;
      call.WriteVector(1, model.a);
      call.WriteVector(2, model.b);
      break;
    }
    case NativeId::ReadVehiclePosition:
      if (const ScriptedVehicle* v = FindVehicle(call.Int(0))) {
        call.WriteFloat(1, v->pos.x);
        call.WriteFloat(2, v->pos.y);
        call.WriteFloat(3, v->pos.z);
      }
      break;
    case NativeId::ReadVehicleRotation:
      if (const ScriptedVehicle* v = FindVehicle(call.Int(0))) {
        for (int i = 0; i < 4; ++i) call.WriteFloat(1 + i, v->rot[i]);
      }
      break;
    case NativeId::ReadVehicleSpeedVector:
      if (const ScriptedVehicle* v = FindVehicle(call.Int(0))) call.WriteVector(1, v->vel);
      break;
    case NativeId::ReadVehicleCondition:
      if (const ScriptedVehicle* v = FindVehicle(call.Int(0))) call.WriteUnsigned(1, v->condition);
      break;
    case NativeId::ReadVehicleModel:
      if (const ScriptedVehicle* v = FindVehicle(call.Int(0))) call.WriteInt(1, v->model);
      break;
    default:
      // Natives that act on the game, draw or cue: the scripted world is
      // driven by the scenario alone, so they change nothing.
      break;
  }
}
