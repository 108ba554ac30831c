// The game's side of the stand-in host for one run: it counts frames, keeps
// the script thread alive for as long as the scenario says, applies the
// timeline at the start of each frame, checks and traces every call, and
// lets the world answer the natives.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "HostControl.h"
#include "formats/Scenario.h"
#include "formats/TraceWriter.h"
#include "run/OsSide.h"
#include "run/RunError.h"
#include "world/World.h"

class GameHost : public HostHandler {
 public:
  GameHost(World& world, OsSide& os, TraceWriter& trace,
           const std::vector<TimelineEntry>& timeline);

  // An entry of the script body that is to last `frames` frames.
  void BeginEntry(int64_t frames);
  // Applies the timeline entries (and the live input) of the current frame,
  // then, after frame 0, moves the clock on by the world's step. Once per
  // frame.
  void StartFrame();
  int64_t Frame() const { return trace_.Frame(); }
  // Asked at every Wait; a non-empty answer is the run's fault.
  void SetFrameCheck(std::function<std::string()> check) { frameCheck_ = std::move(check); }
  // Asked at the start of every frame, after the timeline's entries of that
  // frame, for more entries to apply now; false stops the run there, before
  // the module's work of that frame.
  using LiveInput = std::function<bool(std::vector<TimelineEntry>& now)>;
  void SetLiveInput(LiveInput input) { liveInput_ = std::move(input); }
  // The live input stopped the run: no further frame and no second entry.
  bool Stopped() const { return stopped_; }

  // The first fault of the module, if any: the run stops at the next Wait
  // and reports it.
  const std::string& Fault() const { return fault_; }

  void OnSetName(ScriptThread* thread, const char* name) override;
  void OnRegisterThread(ScriptThread* thread) override;
  bool OnIsThreadAlive(ScriptThread* thread) override;
  bool OnWait(ScriptThread* thread, unsigned int milliseconds) override;
  void OnNative(NativeContext* context, uint32_t hash) override;

 private:
  void SetFault(std::string message);
  void TakeLiveInput();
  std::string At() const;
  void TraceNative(const NativeInfo& info, const NativeContext& context);

  World& world_;
  OsSide& os_;
  TraceWriter& trace_;
  const std::vector<TimelineEntry>& timeline_;
  size_t nextEntry_ = 0;
  int64_t entryFrames_ = 0;
  int64_t entryWaits_ = 0;
  std::string fault_;
  std::function<std::string()> frameCheck_;
  LiveInput liveInput_;
  bool stopped_ = false;
};
