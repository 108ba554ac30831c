#include "world/NativeTable.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<NativeInfo, kNativeCount> kTable = {{
    {NativeId::QueryLocalPlayerId, "QueryLocalPlayerId", 0x1CC648EA, ""},
    {NativeId::PlayerIndexFromId, "PlayerIndexFromId", 0x8035E327, "I"},
    {NativeId::ReadPlayerCharacter, "ReadPlayerCharacter", 0x6B86410E, "IO"},
    {NativeId::ReadPlayerValue, "ReadPlayerValue", 0xEA6A8B1C, "IO"},
    {NativeId::WritePlayerValue, "WritePlayerValue", 0x55B888E7, "II"},
    {NativeId::ApplyPlayerValue, "ApplyPlayerValue", 0x2BCB3B77, "I"},
    {NativeId::QueryFrameStep, "QueryFrameStep", 0x330A9C0C, ""},
    {NativeId::CueNormalPlay, "CueNormalPlay", 0x27C1B7C6, "I"},
    {NativeId::IsCharacterInVehicle, "IsCharacterInVehicle", 0x74C3E7A5, "I"},
    {NativeId::ReadCharacterVehicle, "ReadCharacterVehicle", 0x73EA87E1, "IO"},
    {NativeId::ReadCharacterPosition, "ReadCharacterPosition", 0xC5892F5F, "IOOO"},
    {NativeId::ReadCharacterFacing, "ReadCharacterFacing", 0x96843575, "IO"},
    {NativeId::ReadCharacterSpeedVector, "ReadCharacterSpeedVector", 0xAFA40D33, "IOOO"},
    {NativeId::ReadCharacterCondition, "ReadCharacterCondition", 0xA1DFED67, "IO"},
    {NativeId::ReadCharacterSelection, "ReadCharacterSelection", 0x0C058FF9, "IO"},
    {NativeId::QueryCharacterValue, "QueryCharacterValue", 0xFF316392, "I"},
    {NativeId::WriteCharacterValue, "WriteCharacterValue", 0x37504EAB, "II"},
    {NativeId::QueryCharacterBodyMode, "QueryCharacterBodyMode", 0xC833BBE1, "I"},
    {NativeId::EnterCharacterBodyMode, "EnterCharacterBodyMode", 0xC5DCC21B, "IIIIIII"},
    {NativeId::LeaveCharacterBodyMode, "LeaveCharacterBodyMode", 0x02FA5C99, "IB"},
    {NativeId::TurnCharacterTo, "TurnCharacterTo", 0x9D0E2598, "IF"},
    {NativeId::WriteCharacterCondition, "WriteCharacterCondition", 0x5BC562BF, "II"},
    {NativeId::WriteCharacterSelection, "WriteCharacterSelection", 0xBB1A1C18, "IIB"},
    {NativeId::UnseatCharacterAt, "UnseatCharacterAt", 0xAA1AB0C7, "IFFF"},
    {NativeId::PlaceCharacter, "PlaceCharacter", 0x049727E0, "IFFF"},
    {NativeId::PinCharacter, "PinCharacter", 0x6410A13F, "IB"},
    {NativeId::ImpelCharacter, "ImpelCharacter", 0x343ABB0E, "IIFFFFFFIIII"},
    {NativeId::MeasurePointDistance, "MeasurePointDistance", 0x9032AA79, "FFFFFFO"},
    {NativeId::ProbeBoxBlocked, "ProbeBoxBlocked", 0xC013972F, "FFFFFFBBBBB"},
    {NativeId::IsVehicleValid, "IsVehicleValid", 0x8737CC23, "I"},
    {NativeId::IsCharacterInThisVehicle, "IsCharacterInThisVehicle", 0xD60A5A37, "II"},
    {NativeId::SeatCharacterInVehicle, "SeatCharacterInVehicle", 0xC0249BE5, "II"},
    {NativeId::TurnVehicleTo, "TurnVehicleTo", 0x951CB856, "IF"},
    {NativeId::WriteVehicleCondition, "WriteVehicleCondition", 0xB3B086A2, "II"},
    {NativeId::ReadVehicleModel, "ReadVehicleModel", 0xBFD2172A, "IO"},
    {NativeId::ReadModelExtent, "ReadModelExtent", 0x91ABB8E0, "IVV"},
    {NativeId::PlaceVehicle, "PlaceVehicle", 0x98EE9042, "IFFF"},
    {NativeId::LocateVehicleNear, "LocateVehicleNear", 0xCBCEC322, "FFFFBI"},
    {NativeId::ProbeVehicleNear, "ProbeVehicleNear", 0x19EAD428, "FFFFIIO"},
    {NativeId::ReadVehiclePosition, "ReadVehiclePosition", 0x6D72044F, "IOOO"},
    {NativeId::ImpelVehicle, "ImpelVehicle", 0x3343A65B, "IIFFFFFFIIII"},
    {NativeId::WriteVehicleRotation, "WriteVehicleRotation", 0x7A5B849E, "IFFFF"},
    {NativeId::ReadVehicleRotation, "ReadVehicleRotation", 0xD30891FA, "IOOOO"},
    {NativeId::ReadVehicleSpeedVector, "ReadVehicleSpeedVector", 0x373119B2, "IVB"},
    {NativeId::ReadVehicleCondition, "ReadVehicleCondition", 0xBCF5C60B, "IO"},
    {NativeId::SetGameSpeed, "SetGameSpeed", 0xA7F84694, "F"},
    {NativeId::CueModeSwitch, "CueModeSwitch", 0x66C1BDEE, "I"},
    {NativeId::QueryScrubStep, "QueryScrubStep", 0x45C8C188, ""},
    {NativeId::TriggerFrontendEvent, "TriggerFrontendEvent", 0x4B31CE89, "T"},
    {NativeId::CueRewindActivity, "CueRewindActivity", 0x0BF2CD82, ""},
    {NativeId::CueRewindIdle, "CueRewindIdle", 0x6F32A4E2, ""},
    {NativeId::CueRewindIdleLevel, "CueRewindIdleLevel", 0x35785333, "I"},
    {NativeId::CueRewindSettled, "CueRewindSettled", 0xB75D4AD2, ""},
    {NativeId::CueOverlayFrame, "CueOverlayFrame", 0xF3807BED, ""},
    {NativeId::DrawScreenRect, "DrawScreenRect", 0xDD2BFC77, "FFFFIIII"},
    {NativeId::DrawScreenText, "DrawScreenText", 0x247F4D85, "FFTT"},
}};

constexpr bool InIdOrder() {
  for (size_t i = 0; i < kTable.size(); ++i) {
    if (static_cast<size_t>(kTable[i].id) != i) return false;
  }
  return true;
}
static_assert(InIdOrder(), "NativeById indexes the table by id");

// Hashes sorted once for the lookup every call makes.
struct HashIndex {
  std::array<const NativeInfo*, kNativeCount> byHash{};
  HashIndex() {
    for (size_t i = 0; i < kTable.size(); ++i) byHash[i] = &kTable[i];
    std::sort(byHash.begin(), byHash.end(),
              [](const NativeInfo* a, const NativeInfo* b) { return a->hash < b->hash; });
  }
};

const HashIndex& Index() {
  static const HashIndex index;
  return index;
}

}  // namespace

const NativeInfo* NativeTableBegin() {
  return kTable.data();
}
const NativeInfo* NativeTableEnd() {
  return kTable.data() + kTable.size();
}

const NativeInfo* FindNative(uint32_t hash) {
  const auto& sorted = Index().byHash;
  auto it = std::lower_bound(sorted.begin(), sorted.end(), hash,
                             [](const NativeInfo* info, uint32_t h) { return info->hash < h; });
  return (it != sorted.end() && (*it)->hash == hash) ? *it : nullptr;
}

const NativeInfo& NativeById(NativeId id) {
  return kTable[static_cast<size_t>(id)];
}
