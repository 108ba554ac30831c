// The world a scenario scripts: every query answers from the scenario's
// values, and nothing the module does changes them.
#pragma once

#include "world/World.h"

class ScriptedWorld : public World {
 public:
  explicit ScriptedWorld(const WorldPatch& atLoad);

  void Apply(const TimelineEntry& entry) override;
  void Answer(NativeCall& call) override;
  uint32_t ClockStepUs() const override { return state_.clockUs; }

  const WorldState& State() const { return state_; }

 private:
  const ScriptedVehicle* FindVehicle(int32_t handle) const;

  WorldState state_;
};
