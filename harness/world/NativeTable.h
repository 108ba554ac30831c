// The natives the stand-in game knows: name, hash and the kind of each
// argument slot. Both worlds answer from this table, and the trace writes
// arguments by these kinds.
#pragma once

#include <cstdint>
#include <string_view>

enum class NativeId : uint8_t {
  QueryLocalPlayerId,
  PlayerIndexFromId,
  ReadPlayerCharacter,
  ReadPlayerValue,
  WritePlayerValue,
  ApplyPlayerValue,
  QueryFrameStep,
  CueNormalPlay,
  IsCharacterInVehicle,
  ReadCharacterVehicle,
  ReadCharacterPosition,
  ReadCharacterFacing,
  ReadCharacterSpeedVector,
  ReadCharacterCondition,
  ReadCharacterSelection,
  QueryCharacterValue,
  WriteCharacterValue,
  QueryCharacterBodyMode,
  EnterCharacterBodyMode,
  LeaveCharacterBodyMode,
  TurnCharacterTo,
  WriteCharacterCondition,
  WriteCharacterSelection,
  UnseatCharacterAt,
  PlaceCharacter,
  PinCharacter,
  ImpelCharacter,
  MeasurePointDistance,
  ProbeBoxBlocked,
  IsVehicleValid,
  IsCharacterInThisVehicle,
  SeatCharacterInVehicle,
  TurnVehicleTo,
  WriteVehicleCondition,
  ReadVehicleModel,
  ReadModelExtent,
  PlaceVehicle,
  LocateVehicleNear,
  ProbeVehicleNear,
  ReadVehiclePosition,
  ImpelVehicle,
  WriteVehicleRotation,
  ReadVehicleRotation,
  ReadVehicleSpeedVector,
  ReadVehicleCondition,
  SetGameSpeed,
  CueModeSwitch,
  QueryScrubStep,
  TriggerFrontendEvent,
  CueRewindActivity,
  CueRewindIdle,
  CueRewindIdleLevel,
  CueRewindSettled,
  CueOverlayFrame,
  DrawScreenRect,
  DrawScreenText,
};

constexpr int kNativeCount = 56;

// Slot kinds, one letter each: I integer, F float, B bool, T text, O an
// address the native writes one 32-bit value through, V an address of a
// three-float vector that travels through the record's copy-back.
struct NativeInfo {
  NativeId id;
  std::string_view name;
  uint32_t hash;
  std::string_view slots;
};

// The table in its documented order.
const NativeInfo* NativeTableBegin();
const NativeInfo* NativeTableEnd();

// The native with this hash, or null.
const NativeInfo* FindNative(uint32_t hash);
const NativeInfo& NativeById(NativeId id);
