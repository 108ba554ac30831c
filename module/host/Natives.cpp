#include "host/Natives.h"

#include "host/NativeCall.h"

namespace {
const char kDropWeaponEvent[] = "FRONTEND_GAME_DROP_WEAPON";
const char kTextLabel[] = "STRING";
}  // namespace

int32_t QueryLocalPlayerId() {
  NativeCall call;
  call.Invoke(0x1CC648EA);
  return call.ResultInt();
}

int32_t PlayerIndexFromId(int32_t localPlayer) {
  NativeCall call;
  call.Int(localPlayer);
  call.Invoke(0x8035E327);
  return call.ResultInt();
}

void ReadPlayerCharacter(int32_t playerId, int32_t* character) {
  NativeCall call;
  call.Int(playerId).Pointer(character);
  call.Invoke(0x6B86410E);
}

void ReadPlayerValue(int32_t playerId, uint32_t* value) {
  NativeCall call;
  call.Int(playerId).Pointer(value);
  call.Invoke(0xEA6A8B1C);
}

void WritePlayerValue(int32_t playerId, int32_t value) {
  NativeCall call;
  call.Int(playerId).Int(value);
  call.Invoke(0x55B888E7);
}

void ApplyPlayerValue(int32_t playerId) {
  NativeCall call;
  call.Int(playerId);
  call.Invoke(0x2BCB3B77);
}

uint32_t QueryFrameStep() {
  NativeCall call;
  call.Invoke(0x330A9C0C);
  return call.ResultUnsigned();
}

void CueNormalPlay() {
  NativeCall call;
  call.Int(0);
  call.Invoke(0x27C1B7C6);
}

bool IsCharacterInVehicle(int32_t character) {
  NativeCall call;
  call.Int(character);
  call.Invoke(0x74C3E7A5);
  return call.ResultBool();
}

void ReadCharacterVehicle(int32_t character, int32_t* vehicle) {
  NativeCall call;
  call.Int(character).Pointer(vehicle);
  call.Invoke(0x73EA87E1);
}

void ReadCharacterPosition(int32_t character, float* x, float* y, float* z) {
  NativeCall call;
  call.Int(character).Pointer(x).Pointer(y).Pointer(z);
  call.Invoke(0xC5892F5F);
}

void ReadCharacterFacing(int32_t character, float* heading) {
  NativeCall call;
  call.Int(character).Pointer(heading);
  call.Invoke(0x96843575);
}

void ReadCharacterSpeedVector(int32_t character, float* x, float* y, float* z) {
  NativeCall call;
  call.Int(character).Pointer(x).Pointer(y).Pointer(z);
  call.Invoke(0xAFA40D33);
}

void ReadCharacterCondition(int32_t character, uint32_t* condition) {
  NativeCall call;
  call.Int(character).Pointer(condition);
  call.Invoke(0xA1DFED67);
}

void ReadCharacterSelection(int32_t character, int32_t* selection) {
  NativeCall call;
  call.Int(character).Pointer(selection);
  call.Invoke(0x0C058FF9);
}

uint32_t QueryCharacterValue(int32_t character) {
  NativeCall call;
  call.Int(character);
  call.Invoke(0xFF316392);
  return call.ResultUnsigned();
}

void WriteCharacterValue(int32_t character, int32_t value) {
  NativeCall call;
  call.Int(character).Int(value);
  call.Invoke(0x37504EAB);
}

bool QueryCharacterBodyMode(int32_t character) {
  NativeCall call;
  call.Int(character);
  call.Invoke(0xC833BBE1);
  return call.ResultBool();
}

void EnterCharacterBodyMode(int32_t character) {
  NativeCall call;
  call.Int(character).Int(2000).Int(5000).Int(2).Int(1).Int(1).Int(0);
  call.Invoke(0xC5DCC21B);
}

void LeaveCharacterBodyMode(int32_t character) {
  NativeCall call;
  call.Int(character).Bool(true);
  call.Invoke(0x02FA5C99);
}

void TurnCharacterTo(int32_t character, float heading) {
  NativeCall call;
  call.Int(character).Float(heading);
  call.Invoke(0x9D0E2598);
}

void WriteCharacterCondition(int32_t character, int32_t value) {
  NativeCall call;
  call.Int(character).Int(value);
  call.Invoke(0x5BC562BF);
}

void WriteCharacterSelection(int32_t character, int32_t value) {
  NativeCall call;
  call.Int(character).Int(value).Bool(true);
  call.Invoke(0xBB1A1C18);
}

void UnseatCharacterAt(int32_t character, float x, float y, float z) {
  NativeCall call;
  call.Int(character).Float(x).Float(y).Float(z);
  call.Invoke(0xAA1AB0C7);
}

void PlaceCharacter(int32_t character, float x, float y, float z) {
  NativeCall call;
  call.Int(character).Float(x).Float(y).Float(z);
  call.Invoke(0x049727E0);
}

void PinCharacter(int32_t character, bool on) {
  NativeCall call;
  call.Int(character).Bool(on);
  call.Invoke(0x6410A13F);
}

void ImpelCharacter(int32_t character, float vx, float vy, float vz) {
  NativeCall call;
  call.Int(character)
      .Int(3)
      .Float(vx)
      .Float(vy)
      .Float(vz)
      .Float(0.0f)
      .Float(0.0f)
      .Float(0.0f)
      .Int(0)
      .Int(0)
      .Int(0)
      .Int(1);
  call.Invoke(0x343ABB0E);
}

void MeasurePointDistance(float x1, float y1, float z1, float x2, float y2, float z2,
                          float* distance) {
  NativeCall call;
  call.Float(x1).Float(y1).Float(z1).Float(x2).Float(y2).Float(z2).Pointer(distance);
  call.Invoke(0x9032AA79);
}

bool ProbeBoxBlocked(float a, float b, float c, float d, float e, float f) {
  NativeCall call;
  call.Float(a)
      .Float(b)
      .Float(c)
      .Float(d)
      .Float(e)
      .Float(f)
      .Bool(false)
      .Bool(true)
      .Bool(true)
      .Bool(false)
      .Bool(false);
  call.Invoke(0xC013972F);
  return call.ResultBool();
}

bool IsVehicleValid(int32_t vehicle) {
  NativeCall call;
  call.Int(vehicle);
  call.Invoke(0x8737CC23);
  return call.ResultBool();
}

bool IsCharacterInThisVehicle(int32_t character, int32_t vehicle) {
  NativeCall call;
  call.Int(character).Int(vehicle);
  call.Invoke(0xD60A5A37);
  return call.ResultBool();
}

void SeatCharacterInVehicle(int32_t character, int32_t vehicle) {
  NativeCall call;
  call.Int(character).Int(vehicle);
  call.Invoke(0xC0249BE5);
}

void TurnVehicleTo(int32_t vehicle, float value) {
  NativeCall call;
  call.Int(vehicle).Float(value);
  call.Invoke(0x951CB856);
}

void WriteVehicleCondition(int32_t vehicle, int32_t value) {
  NativeCall call;
  call.Int(vehicle).Int(value);
  call.Invoke(0xB3B086A2);
}

void ReadVehicleModel(int32_t vehicle, int32_t* model) {
  NativeCall call;
  call.Int(vehicle).Pointer(model);
  call.Invoke(0xBFD2172A);
}

void ReadModelExtent(int32_t model, Vector3* a, Vector3* b) {
  NativeCall call;
  call.Int(model).Pointer(a).Pointer(b);
  call.Invoke(0x91ABB8E0);
}

void PlaceVehicle(int32_t vehicle, float x, float y, float z) {
  NativeCall call;
  call.Int(vehicle).Float(x).Float(y).Float(z);
  call.Invoke(0x98EE9042);
}

int32_t LocateVehicleNear(float x, float y, float z, float radius) {
  NativeCall call;
  call.Float(x).Float(y).Float(z).Float(radius).Bool(false).Int(70);
  call.Invoke(0xCBCEC322);
  return call.ResultInt();
}

bool ProbeVehicleNear(float x, float y, float z, float radius, int32_t* found) {
  NativeCall call;
  call.Float(x).Float(y).Float(z).Float(radius).Int(0).Int(70).Pointer(found);
  call.Invoke(0x19EAD428);
  return call.ResultBool();
}

void ReadVehiclePosition(int32_t vehicle, float* x, float* y, float* z) {
  NativeCall call;
  call.Int(vehicle).Pointer(x).Pointer(y).Pointer(z);
  call.Invoke(0x6D72044F);
}

void ImpelVehicle(int32_t vehicle, float vx, float vy, float vz) {
  NativeCall call;
  call.Int(vehicle)
      .Int(3)
      .Float(vx)
      .Float(vy)
      .Float(vz)
      .Float(0.0f)
      .Float(0.0f)
      .Float(0.0f)
      .Int(0)
      .Int(0)
      .Int(0)
      .Int(1);
  call.Invoke(0x3343A65B);
}

void WriteVehicleRotation(int32_t vehicle, float qx, float qy, float qz, float qw) {
  NativeCall call;
  call.Int(vehicle).Float(qx).Float(qy).Float(qz).Float(qw);
  call.Invoke(0x7A5B849E);
}

void ReadVehicleRotation(int32_t vehicle, float* x, float* y, float* z, float* w) {
  NativeCall call;
  call.Int(vehicle).Pointer(x).Pointer(y).Pointer(z).Pointer(w);
  call.Invoke(0xD30891FA);
}

void ReadVehicleSpeedVector(int32_t vehicle, Vector3* velocity) {
  NativeCall call;
  call.Int(vehicle).Pointer(velocity).Bool(false);
  call.Invoke(0x373119B2);
}

void ReadVehicleCondition(int32_t vehicle, uint32_t* condition) {
  NativeCall call;
  call.Int(vehicle).Pointer(condition);
  call.Invoke(0xBCF5C60B);
}

void SetGameSpeed(float factor) {
  NativeCall call;
  call.Float(factor);
  call.Invoke(0xA7F84694);
}

void CueModeSwitch(int32_t value) {
  NativeCall call;
  call.Int(value);
  call.Invoke(0x66C1BDEE);
}

uint32_t QueryScrubStep() {
  NativeCall call;
  call.Invoke(0x45C8C188);
  return call.ResultUnsigned();
}

void TriggerFrontendEvent() {
  NativeCall call;
  call.Pointer(kDropWeaponEvent);
  call.Invoke(0x4B31CE89);
}

void CueRewindActivity() {
  NativeCall call;
  call.Invoke(0x0BF2CD82);
}

void CueRewindIdle() {
  NativeCall call;
  call.Invoke(0x6F32A4E2);
}

void CueRewindIdleLevel() {
  NativeCall call;
  call.Int(100);
  call.Invoke(0x35785333);
}

void CueRewindSettled() {
  NativeCall call;
  call.Invoke(0xB75D4AD2);
}

void CueOverlayFrame() {
  NativeCall call;
  call.Invoke(0xF3807BED);
}

void DrawScreenRect(float centreX, float centreY, float width, float height, int32_t red,
                    int32_t green, int32_t blue) {
  NativeCall call;
  call.Float(centreX).Float(centreY).Float(width).Float(height).Int(red).Int(green).Int(blue).Int(
      255);
  call.Invoke(0xDD2BFC77);
}

void DrawScreenText(float x, float y, const char* text) {
  NativeCall call;
  call.Float(x).Float(y).Pointer(kTextLabel).Pointer(text);
  call.Invoke(0x247F4D85);
}

void DistanceFromCurrent(float x, float y, float z) {
  Vector4& cur = rewindState.cur;
  MeasurePointDistance(cur.x, cur.y, cur.z, x, y, z, &cur.w);
}
