#include "world/World.h"

#include <cmath>
#include <limits>

void NativeCall::WriteVector(int i, const Vec3f& value) {
  uint32_t n = vectorsWritten_;
  if (n >= 4) return;  // the record has room for four
  context_->vectorScratch[n] = {value.x, value.y, value.z, std::numeric_limits<float>::quiet_NaN()};
  context_->vectorTargets[n] = Target(i);
  context_->pendingVectorCount = ++vectorsWritten_;
}

bool AnswerFromValues(const WorldState& w, NativeCall& call) {
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
    default:
      return false;
  }
  return true;
}
