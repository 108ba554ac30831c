#include "play/PlayWindow.h"

#include <cstring>

#include "run/RunError.h"
#include "screenlink/FrameMessage.h"

namespace {

// A frame takes the screen a few milliseconds; this is for one that has
// stopped, so that a session can't hang for ever.
constexpr int kFrameTimeoutMs = 30 * 1000;
constexpr int kOpenTimeoutMs = 60 * 1000;

std::vector<std::string> Args(uint32_t frameMs, bool virtualPad) {
  std::vector<std::string> args = {"window", std::to_string(frameMs)};
  if (virtualPad) args.push_back("--virtual-pad");
  return args;
}

template <typename Record>
Record Take(const std::string& body, size_t& at) {
  Record record;
  if (body.size() - at < sizeof record) throw RunError("the screen's answer is cut short");
  std::memcpy(&record, body.data() + at, sizeof record);
  at += sizeof record;
  return record;
}

}  // namespace

PlayWindow::PlayWindow(uint32_t frameMs, bool virtualPad) : screen_(Args(frameMs, virtualPad)) {
  std::string refused = screen_.Receive(kDone, kOpenTimeoutMs);
  if (!refused.empty()) throw RunError(refused);
}

void PlayWindow::SetModels(const std::map<int32_t, ScriptedModel>& models) {
  screen_.Send(kModel, ModelsBody(models));
}

ScreenInput PlayWindow::Show(const LiveFrame* frame, const std::string& status,
                             const std::string& help) {
  std::string body;
  ShowRecord show{};
  show.hasFrame = frame != nullptr;
  show.statusLength = static_cast<uint32_t>(status.size());
  show.helpLength = static_cast<uint32_t>(help.size());
  Append(body, show);
  if (frame != nullptr) AppendFrame(body, *frame);
  body += status;
  body += help;
  screen_.Send(kShow, body);

  std::string answer = screen_.Receive(kInput, kFrameTimeoutMs);
  size_t at = 0;
  auto input = Take<InputRecord>(answer, at);
  ScreenInput out;
  if (input.padConnected != 0) {
    ScriptedPad pad;
    pad.buttons = input.buttons;
    pad.lt = input.lt;
    pad.rt = input.rt;
    out.pad.pad = pad;
    out.pad.stickX = input.stickX;
    out.pad.stickY = input.stickY;
  }
  out.stepUs = input.stepUs;
  out.framesASecond = input.framesASecond;
  out.seconds = input.seconds;
  out.lateFrames = input.lateFrames;
  for (uint32_t i = 0; i < input.keys; ++i) {
    auto key = Take<KeyRecord>(answer, at);
    out.keys.push_back({key.virtualKey, key.down != 0});
  }
  return out;
}
