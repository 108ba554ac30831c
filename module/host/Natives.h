// One operation per native the module calls. Each fills a fresh call record,
// hands it to the host, copies vector results back and reads slot 0
// (NativeCall.h). Values that are the same at every call are supplied here;
// out-values are written through the pointers given.
#pragma once

#include <cstdint>

#include "state/RewindState.h"

// Player and frame.
int32_t QueryLocalPlayerId();
int32_t PlayerIndexFromId(int32_t localPlayer);
void ReadPlayerCharacter(int32_t playerId, int32_t* character);
void ReadPlayerValue(int32_t playerId, uint32_t* value);
void WritePlayerValue(int32_t playerId, int32_t value);
void ApplyPlayerValue(int32_t playerId);
uint32_t QueryFrameStep();
void CueNormalPlay();

// The character.
bool IsCharacterInVehicle(int32_t character);
void ReadCharacterVehicle(int32_t character, int32_t* vehicle);
void ReadCharacterPosition(int32_t character, float* x, float* y, float* z);
void ReadCharacterFacing(int32_t character, float* heading);
void ReadCharacterSpeedVector(int32_t character, float* x, float* y, float* z);
void ReadCharacterCondition(int32_t character, uint32_t* condition);
void ReadCharacterSelection(int32_t character, int32_t* selection);
uint32_t QueryCharacterValue(int32_t character);
void WriteCharacterValue(int32_t character, int32_t value);
bool QueryCharacterBodyMode(int32_t character);
void EnterCharacterBodyMode(int32_t character);
void LeaveCharacterBodyMode(int32_t character);
void TurnCharacterTo(int32_t character, float heading);
void WriteCharacterCondition(int32_t character, int32_t value);
void WriteCharacterSelection(int32_t character, int32_t value);
void UnseatCharacterAt(int32_t character, float x, float y, float z);
void PlaceCharacter(int32_t character, float x, float y, float z);
void PinCharacter(int32_t character, bool on);
void ImpelCharacter(int32_t character, float vx, float vy, float vz);
void MeasurePointDistance(float x1, float y1, float z1, float x2, float y2, float z2,
                          float* distance);
bool ProbeBoxBlocked(float a, float b, float c, float d, float e, float f);

// The vehicle.
bool IsVehicleValid(int32_t vehicle);
bool IsCharacterInThisVehicle(int32_t character, int32_t vehicle);
void SeatCharacterInVehicle(int32_t character, int32_t vehicle);
void TurnVehicleTo(int32_t vehicle, float value);
void WriteVehicleCondition(int32_t vehicle, int32_t value);
void ReadVehicleModel(int32_t vehicle, int32_t* model);
void ReadModelExtent(int32_t model, Vector3* a, Vector3* b);
void PlaceVehicle(int32_t vehicle, float x, float y, float z);
int32_t LocateVehicleNear(float x, float y, float z, float radius);
bool ProbeVehicleNear(float x, float y, float z, float radius, int32_t* found);
void ReadVehiclePosition(int32_t vehicle, float* x, float* y, float* z);
void ImpelVehicle(int32_t vehicle, float vx, float vy, float vz);
void WriteVehicleRotation(int32_t vehicle, float qx, float qy, float qz, float qw);
void ReadVehicleRotation(int32_t vehicle, float* x, float* y, float* z, float* w);
void ReadVehicleSpeedVector(int32_t vehicle, Vector3* velocity);
void ReadVehicleCondition(int32_t vehicle, uint32_t* condition);

// Time, feedback and screen.
void SetGameSpeed(float factor);
void CueModeSwitch(int32_t value);
uint32_t QueryScrubStep();
void TriggerFrontendEvent();
void CueRewindActivity();
void CueRewindIdle();
void CueRewindIdleLevel();
void CueRewindSettled();
void CueOverlayFrame();
void DrawScreenRect(float centreX, float centreY, float width, float height, int32_t red,
                    int32_t green, int32_t blue);
void DrawScreenText(float x, float y, const char* text);

// The distance from cur.x, cur.y, cur.z to (x, y, z), left in cur.w; x, y, z
// of cur are only read.
void DistanceFromCurrent(float x, float y, float z);
