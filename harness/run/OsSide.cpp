#include "run/OsSide.h"

#include <string_view>

namespace {

constexpr SHORT kDown = static_cast<SHORT>(0x8000);

std::u16string_view WideView(const char16_t* text) {
  if (text == nullptr) return {};
  size_t length = 0;
  while (text[length] != 0) ++length;
  return {text, length};
}

}  // namespace

OsSide::OsSide(TraceWriter& trace, std::optional<int64_t> moduleMtime)
    : trace_(trace), moduleMtime_(moduleMtime) {}

void OsSide::ApplyInput(const TimelineEntry& entry) {
  for (int key : entry.release) held_[key] = false;
  for (int key : entry.hold) held_[key] = true;
  for (int key : entry.press) pressed_[key] = true;
  if (entry.setsCursor) cursor_ = entry.cursor;
  if (entry.setsPad) pad_ = entry.pad;
}

void OsSide::TraceKeyCall(const char* api, int virtualKey) {
  trace_.BeginLine();
  trace_.Raw(",\"api\":\"");
  trace_.Raw(api);
  trace_.Raw("\",\"args\":[");
  trace_.Int(virtualKey);
  trace_.Raw("]");
  trace_.EndLine();
}

void OsSide::TraceCall(const char* api) {
  trace_.BeginLine();
  trace_.Raw(",\"api\":\"");
  trace_.Raw(api);
  trace_.Raw("\",\"args\":[]");
  trace_.EndLine();
}

SHORT OsSide::OnGetAsyncKeyState(int virtualKey) {
  TraceKeyCall("GetAsyncKeyState", virtualKey);
  if (!IsKey(virtualKey)) return 0;
  SHORT state = held_[virtualKey] ? kDown : 0;
  if (pressed_[virtualKey]) {
    pressed_[virtualKey] = false;
    state = static_cast<SHORT>(state | 1);
  }
  return state;
}

SHORT OsSide::OnGetKeyState(int virtualKey) {
  TraceKeyCall("GetKeyState", virtualKey);
  return IsKey(virtualKey) && held_[virtualKey] ? kDown : 0;
}

BOOL OsSide::OnGetCursorPos(POINT* point) {
  TraceCall("GetCursorPos");
  if (!cursor_ || point == nullptr) return FALSE;
  point->x = cursor_->x;
  point->y = cursor_->y;
  return TRUE;
}

DWORD OsSide::OnXInputGetState(DWORD userIndex, XINPUT_STATE* state) {
  trace_.BeginLine();
  trace_.Raw(",\"api\":\"XInputGetState\",\"args\":[");
  trace_.Unsigned(userIndex);
  trace_.Raw("]");
  trace_.EndLine();
  // Only user 0 is ever plugged in.
  if (!pad_ || userIndex != 0 || state == nullptr) return ERROR_DEVICE_NOT_CONNECTED;
  *state = {};
  state->Gamepad.wButtons = pad_->buttons;
  state->Gamepad.bLeftTrigger = pad_->lt;
  state->Gamepad.bRightTrigger = pad_->rt;
  return ERROR_SUCCESS;
}

BOOL OsSide::OnQueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  TraceCall("QueryPerformanceFrequency");
  if (frequency == nullptr) return FALSE;
  frequency->QuadPart = 1000000;  // the counter counts microseconds
  return TRUE;
}

BOOL OsSide::OnQueryPerformanceCounter(LARGE_INTEGER* counter) {
  TraceCall("QueryPerformanceCounter");
  if (counter == nullptr) return FALSE;
  counter->QuadPart = counter_;
  return TRUE;
}

bool OsSide::OnFileModificationTime(const char*, int64_t* seconds) {
  if (!moduleMtime_) return false;
  *seconds = *moduleMtime_;
  return true;
}

void OsSide::OnGetFullPathNameW(const char16_t* fileName, DWORD bufferLength) {
  trace_.BeginLine();
  trace_.Raw(",\"api\":\"GetFullPathNameW\",\"args\":[");
  trace_.String16(WideView(fileName));
  trace_.Raw(",");
  trace_.Unsigned(bufferLength);
  trace_.Raw("]");
  trace_.EndLine();
}

void OsSide::OnGetPrivateProfileIntW(const char16_t* section, const char16_t* key,
                                     INT defaultValue) {
  trace_.BeginLine();
  trace_.Raw(",\"api\":\"GetPrivateProfileIntW\",\"args\":[");
  trace_.String16(WideView(section));
  trace_.Raw(",");
  trace_.String16(WideView(key));
  trace_.Raw(",");
  trace_.Int(defaultValue);
  trace_.Raw("]");
  trace_.EndLine();
}

void OsSide::OnFileCreated(const char16_t*) {
  fileCreated_ = true;
}
