// The vehicles around the player, through the corpus's two scenarios (the
// cross-build check runs the same files): which vehicles the probe finds,
// which it keeps, how a rewind frame puts them back and how the leave hands
// them over.
#include <gtest/gtest.h>

#include <fstream>

#include "TraceTestSupport.h"
#include "WorldCheck.h"
#include "formats/Scenario.h"
#include "run/Runner.h"

using nlohmann::json;
using Calls = std::vector<std::string>;

namespace {

json Corpus(const std::string& name) {
  std::ifstream in(std::string(QUORVAT_CORPUS_DIR) + "/" + name);
  return json::parse(in);
}

Trace RunCorpus(const std::string& name) {
  return RunScenario(Corpus(name));
}

// The calls of `frame` from the first one starting with `from` on.
Calls FrameFrom(const Trace& trace, int64_t frame, const std::string& from) {
  const Calls all = trace.Frame(frame);
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].rfind(from, 0) == 0) return Calls(all.begin() + static_cast<long>(i), all.end());
  }
  return {};
}

TEST(World, TheProbeGoesRoundItsSeventeenPointsOneRecordedFrameEach) {
  // The player at (-0, -0), posZ 0: turn 0 passes -0 as it stands, the
  // others add even a zero offset as floats.
  const Trace trace = RunCorpus("world-probe-round-and-drops.json");
  const std::string tail = ",false,70)";
  const Calls expected = {
      "0:LocateVehicleNear(-0,-0,0,14" + tail,
      "1:LocateVehicleNear(20,0,0,14" + tail,
      "2:LocateVehicleNear(14.1421356,14.1421356,0,14" + tail,
      "3:LocateVehicleNear(0,20,0,14" + tail,
      "4:LocateVehicleNear(-14.1421356,14.1421356,0,14" + tail,
      "5:LocateVehicleNear(-20,0,0,14" + tail,
      "6:LocateVehicleNear(-14.1421356,-14.1421356,0,14" + tail,
      "7:LocateVehicleNear(0,-20,0,14" + tail,
      "8:LocateVehicleNear(14.1421356,-14.1421356,0,14" + tail,
      "9:LocateVehicleNear(7,0,0,6" + tail,
      "10:LocateVehicleNear(4.94974756,4.94974756,0,6" + tail,
      "11:LocateVehicleNear(0,7,0,6" + tail,
      "12:LocateVehicleNear(-4.94974756,4.94974756,0,6" + tail,
      "13:LocateVehicleNear(-7,0,0,6" + tail,
      "14:LocateVehicleNear(-4.94974756,-4.94974756,0,6" + tail,
      "15:LocateVehicleNear(0,-7,0,6" + tail,
      "16:LocateVehicleNear(4.94974756,-4.94974756,0,6" + tail,
      "17:LocateVehicleNear(-0,-0,0,14" + tail,
      "18:LocateVehicleNear(20,0,0,14" + tail,
  };
  EXPECT_EQ(trace.All("LocateVehicleNear"), expected);
}

TEST(World, AFollowedVehicleIsReadUntilItIsGoneTooFarOrUnreadable) {
  const Trace trace = RunCorpus("world-probe-round-and-drops.json");
  auto reads = [&trace](int64_t frame) {
    Calls handles;
    for (const std::string& call : trace.Frame(frame, {"IsVehicleValid", "ReadVehicleCondition"})) {
      handles.push_back(call.substr(0, call.find(',')).substr(0, call.find(')')) + ")");
    }
    return handles;
  };
  const std::string valid = "IsVehicleValid(";
  const std::string read = "ReadVehicleCondition(";
  // 5 found first takes slot 0, 6 slot 1; at 45 m 6 stays while nothing
  // waits for a slot.
  EXPECT_EQ(reads(1), (Calls{valid + "5)", read + "5)", valid + "6)", read + "6)"}));
  EXPECT_EQ(reads(2), reads(1));
  // 8 found with no slot free: 6, beyond 30 m, makes room, and 8 takes it
  // when the probe finds it again.
  EXPECT_EQ(reads(3), (Calls{valid + "5)", read + "5)", valid + "6)"}));
  EXPECT_EQ(reads(4), (Calls{valid + "5)", read + "5)", valid + "8)", read + "8)"}));
  // 5 no longer exists; 8 just past 60 m; 9 at a position not a number;
  // 10 read whole, its infinite velocity drops it.
  EXPECT_EQ(reads(5), (Calls{valid + "5)", valid + "8)", read + "8)"}));
  EXPECT_EQ(reads(6), (Calls{valid + "8)"}));
  EXPECT_EQ(reads(7), (Calls{valid + "9)"}));
  EXPECT_EQ(reads(8), (Calls{valid + "10)", read + "10)"}));
  // 11 at exactly 60 m is kept for good, found once.
  EXPECT_EQ(reads(9), (Calls{valid + "11)", read + "11)"}));
  EXPECT_EQ(reads(18), reads(9));
}

TEST(World, GettingIntoAFollowedVehicleLetsItGoWithThePlayersHistories) {
  const Trace trace = RunCorpus("world-rewind-push-and-leave.json");
  EXPECT_EQ(trace.Frame(2, {"IsVehicleValid"}), (Calls{"IsVehicleValid(7)", "IsVehicleValid(9)"}));
  // In 7 from frame 3: the probe's finding it again is passed over too.
  for (int64_t frame = 3; frame <= 6; ++frame) {
    EXPECT_EQ(trace.Frame(frame, {"IsVehicleValid"}), Calls{"IsVehicleValid(9)"}) << frame;
  }
}

TEST(World, ARewindFrameEndsPuttingBackTheVehiclesPushModePassedOver) {
  const Trace trace = RunCorpus("world-rewind-push-and-leave.json");
  // Push mode's search finds 9, which the world part puts back: no push.
  EXPECT_EQ(FrameFrom(trace, 7, "ProbeVehicleNear"),
            (Calls{"ProbeVehicleNear(10,0,0,8,0,70,null)", "PlaceVehicle(7,10,0,0)",
                   "WriteVehicleRotation(7,0,0,0,1)", "IsVehicleValid(9)", "PlaceVehicle(9,8,5,0)",
                   "WriteVehicleRotation(9,0,0,0.5,0.866025388)", "WriteVehicleCondition(9,640)",
                   "Wait(0)"}));
  // 12, of no world part, is pushed as ever.
  EXPECT_EQ(trace.Frame(9, {"ImpelVehicle"}),
            Calls{"ImpelVehicle(12,3,0,1.24984372,0,0,0,0,0,0,0,1)"});
  // The oldest sample kept by the trims, on foot: both vehicles as they
  // stood then.
  EXPECT_EQ(trace.Frame(11, {"PlaceVehicle"}),
            (Calls{"PlaceVehicle(7,4,0,0)", "PlaceVehicle(9,8,5,0)"}));
}

TEST(World, TheLeaveHandsTheSlotsOverSkippingTheVehicleThePlayerImpelled) {
  const Trace trace = RunCorpus("world-rewind-push-and-leave.json");
  // Resumed from the on-foot sample whose slots held 7 and 9, in 7 now.
  EXPECT_EQ(trace.Frame(12, {"ImpelVehicle"}), (Calls{"ImpelVehicle(7,3,0.25,0,0,0,0,0,0,0,0,1)",
                                                      "ImpelVehicle(9,3,0,1,0,0,0,0,0,0,0,1)"}));
  EXPECT_EQ(trace.Frame(12, {"IsVehicleValid"}), (Calls{"IsVehicleValid(9)", "IsVehicleValid(9)"}));
  // The probe goes on from its turn, and a second entry of the script body
  // keeps the slots.
  EXPECT_EQ(trace.Frame(12, {"LocateVehicleNear"}),
            Calls{"LocateVehicleNear(30,-20,0,14,false,70)"});
  EXPECT_EQ(trace.Frame(14, {"LocateVehicleNear"}), Calls{"LocateVehicleNear(37,0,0,6,false,70)"});
  EXPECT_EQ(trace.Frame(16, {"IsVehicleValid"}), Calls{"IsVehicleValid(9)"});
}

TEST(World, TheSlotsAndWorldPartsHoldTogetherAfterEveryFrame) {
  for (const char* name :
       {"world-probe-round-and-drops.json", "world-rewind-push-and-leave.json"}) {
    RunOptions options;
    options.modulePath = QUORVAT_MODULE_FILE;
    options.frameCheck = [](int64_t, const QuorvatSnapshot& state) {
      const char* broken = BrokenWorld(state);
      return std::string(broken != nullptr ? broken : "");
    };
    const RunResult result = RunScriptedScenario(ParseScenario(Corpus(name).dump(), name), options);
    EXPECT_EQ(result.state.vehicleCount, 2u) << name;
    EXPECT_EQ(result.state.worldPartCount, result.state.sampleCount) << name;
  }
}

}  // namespace
