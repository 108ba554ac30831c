#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "HarnessTestSupport.h"
#include "host/Snapshot.h"

namespace {

TEST(TraceFloat, NineSignificantDigitsThatGiveTheFloatBack) {
  EXPECT_EQ(FormatTraceFloat(0.8f), "0.800000012");
  EXPECT_EQ(FormatTraceFloat(2.0f), "2");
  EXPECT_EQ(FormatTraceFloat(-1.0f), "-1");
  EXPECT_EQ(FormatTraceFloat(0.0f), "0");
  EXPECT_EQ(FormatTraceFloat(-0.0f), "-0");
  EXPECT_EQ(FormatTraceFloat(123456789.0f), "123456792");
  EXPECT_EQ(FormatTraceFloat(1e10f), "1e+10");
  EXPECT_EQ(FormatTraceFloat(3.40282347e38f), "3.40282347e+38");
  EXPECT_EQ(FormatTraceFloat(1e-5f), "9.99999975e-06");
  EXPECT_EQ(FormatTraceFloat(std::numeric_limits<float>::denorm_min()), "1.40129846e-45");
  EXPECT_EQ(FormatTraceFloat(std::numeric_limits<float>::quiet_NaN()), "\"nan\"");
  EXPECT_EQ(FormatTraceFloat(-std::numeric_limits<float>::quiet_NaN()), "\"nan\"");
  EXPECT_EQ(FormatTraceFloat(std::numeric_limits<float>::infinity()), "\"inf\"");
  EXPECT_EQ(FormatTraceFloat(-std::numeric_limits<float>::infinity()), "\"-inf\"");
  // Every float survives the round trip through its text.
  for (float f : {0.1f, 1.0f / 3.0f, 16777217.0f, 7.006492e-45f, -2.5e-38f}) {
    EXPECT_EQ(std::strtof(FormatTraceFloat(f).c_str(), nullptr), f) << f;
  }
}

// The shortcut for short binary fractions writes what the general
// conversion would.
TEST(TraceFloat, ShortcutAgreesWithTheGeneralConversion) {
  auto general = [](float f) {
    char text[32];
    auto end = std::to_chars(text, text + sizeof text, static_cast<double>(f),
                             std::chars_format::general, 9)
                   .ptr;
    return std::string(text, end);
  };
  std::vector<float> values;
  for (int i = -20000; i <= 20000; ++i) values.push_back(static_cast<float>(i) / 512.0f);
  for (float f = 1.0f; f < 4e9f; f *= 3.7f) {
    values.push_back(std::floor(f));
    values.push_back(-std::floor(f) - 0.5f);
  }
  values.insert(values.end(), {999999936.0f, 1e9f, 123456789.5f, 0.001953125f, 0.0009765625f,
                               16777216.0f, 2147483648.0f, -0.0f});
  uint32_t bits = 12345;
  for (int i = 0; i < 20000; ++i) {
    bits = bits * 1664525u + 1013904223u;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    if (std::isfinite(f)) values.push_back(f);
  }
  for (float f : values) ASSERT_EQ(FormatTraceFloat(f), general(f)) << f;
}

TEST(TraceString, EscapesWhateverBytesTheModuleHandsOver) {
  TraceWriter writer(nullptr);
  writer.String(std::string("a\"b\\c\nd\te\x01\xC3\xA9", 12));
  EXPECT_EQ(writer.Text(), R"("a\"b\\c\nd\te\u0001\u00c3\u00a9")");
  TraceWriter wide(nullptr);
  wide.String16(u"Q\u00e9\"\\\U0001F600");
  EXPECT_EQ(wide.Text(), R"("Q\u00e9\"\\\ud83d\ude00")");
}

TEST(TraceLines, NativeArgumentsByKind) {
  TestGame game;
  int32_t out = 0;
  Record playerChar({7, Address(&out)});
  game.Call(playerChar, 0x6B86410E);
  EXPECT_EQ(game.LastLine(),
            R"({"frame":-1,"native":"ReadPlayerCharacter","hash":"0x6B86410E","args":[7,null]})");

  game.trace.SetFrame(12);
  Record speed({Bits(-1.0f)});
  game.Call(speed, 0xA7F84694);
  EXPECT_EQ(game.LastLine(),
            R"({"frame":12,"native":"SetGameSpeed","hash":"0xA7F84694","args":[-1]})");

  Record negative({static_cast<uint32_t>(-5), 0x80000000u});
  game.Call(negative, 0x55B888E7);
  EXPECT_EQ(
      game.LastLine(),
      R"({"frame":12,"native":"WritePlayerValue","hash":"0x55B888E7","args":[-5,-2147483648]})");

  Record pin({3, 1});
  game.Call(pin, 0x6410A13F);
  EXPECT_EQ(game.LastLine(),
            R"({"frame":12,"native":"PinCharacter","hash":"0x6410A13F","args":[3,true]})");
  Record unpin({3, 0});
  game.Call(unpin, 0x6410A13F);
  EXPECT_EQ(game.LastLine(),
            R"({"frame":12,"native":"PinCharacter","hash":"0x6410A13F","args":[3,false]})");

  const char* label = "STRING";
  const char* stamp = ":: 2.000";
  Record text({Bits(0.8f), Bits(0.7f), Address(label), Address(stamp)});
  game.Call(text, 0x247F4D85);
  EXPECT_EQ(
      game.LastLine(),
      R"({"frame":12,"native":"DrawScreenText","hash":"0x247F4D85","args":[0.800000012,0.699999988,"STRING",":: 2.000"]})");

  Record none({});
  game.Call(none, 0x0BF2CD82);
  EXPECT_EQ(game.LastLine(),
            R"({"frame":12,"native":"CueRewindActivity","hash":"0x0BF2CD82","args":[]})");

  float nan = std::numeric_limits<float>::quiet_NaN();
  Record turn({4, Bits(nan)});
  game.Call(turn, 0x9D0E2598);
  EXPECT_EQ(game.LastLine(),
            R"({"frame":12,"native":"TurnCharacterTo","hash":"0x9D0E2598","args":[4,"nan"]})");
}

TEST(TraceLines, HostAndOperatingSystemCalls) {
  TimelineEntry held;
  held.hold = {90};
  TestGame game({}, {held});
  ScriptThread* thread = nullptr;
  char name[] = "Quorvat";
  game.host.OnSetName(thread, name);
  EXPECT_EQ(game.LastLine(), R"({"frame":-1,"host":"SetName","args":["Quorvat"]})");
  game.host.OnRegisterThread(thread);
  EXPECT_EQ(game.LastLine(), R"({"frame":-1,"host":"RegisterThread","args":[]})");

  game.trace.SetFrame(0);
  game.host.StartFrame();
  game.host.BeginEntry(1);
  EXPECT_TRUE(game.host.OnIsThreadAlive(thread));
  EXPECT_EQ(game.LastLine(), R"({"frame":0,"host":"IsThreadAlive","args":[],"result":true})");

  EXPECT_EQ(game.os.OnGetKeyState(90), static_cast<SHORT>(0x8000));
  EXPECT_EQ(game.LastLine(), R"({"frame":0,"api":"GetKeyState","args":[90]})");
  EXPECT_EQ(game.os.OnGetAsyncKeyState(-3), 0);
  EXPECT_EQ(game.LastLine(), R"({"frame":0,"api":"GetAsyncKeyState","args":[-3]})");
  POINT point{5, 5};
  EXPECT_EQ(game.os.OnGetCursorPos(&point), TRUE);
  EXPECT_EQ(game.LastLine(), R"({"frame":0,"api":"GetCursorPos","args":[]})");
  game.os.OnGetFullPathNameW(u"Quorvat.ini", 500);
  EXPECT_EQ(game.LastLine(), R"({"frame":0,"api":"GetFullPathNameW","args":["Quorvat.ini",500]})");
  game.os.OnGetPrivateProfileIntW(u"Keys", u"EnableKey", 118);
  EXPECT_EQ(game.LastLine(),
            R"({"frame":0,"api":"GetPrivateProfileIntW","args":["Keys","EnableKey",118]})");
  LARGE_INTEGER count{};
  EXPECT_EQ(game.os.OnQueryPerformanceFrequency(&count), TRUE);
  EXPECT_EQ(count.QuadPart, 1000000);
  EXPECT_EQ(game.LastLine(), R"({"frame":0,"api":"QueryPerformanceFrequency","args":[]})");
  EXPECT_EQ(game.os.OnQueryPerformanceCounter(nullptr), FALSE);
  EXPECT_EQ(game.LastLine(), R"({"frame":0,"api":"QueryPerformanceCounter","args":[]})");

  game.host.OnWait(thread, 0);
  EXPECT_EQ(game.LastLine(), R"({"frame":0,"host":"Wait","args":[0]})");
  EXPECT_EQ(game.trace.Frame(), 1);
  // A frame of the default clockUs has passed.
  EXPECT_EQ(game.os.OnQueryPerformanceCounter(&count), TRUE);
  EXPECT_EQ(count.QuadPart, 1000016667);
  EXPECT_FALSE(game.host.OnIsThreadAlive(thread));
  EXPECT_EQ(game.LastLine(), R"({"frame":1,"host":"IsThreadAlive","args":[],"result":false})");
}

TEST(TraceLines, EndLineHoldsTheStateInItsOrder) {
  QuorvatSnapshot state{};
  state.rewinding = 1;
  state.playIndex = 3;
  state.playLength = 40;
  state.timeScaleRamp = 0.015f;
  state.letterboxHeight = 0.1f;
  state.settleFrames = -2;
  state.cursorIdleFrames = 100;
  state.frameCount = 100;
  state.recSize = 4294967295u;
  state.pushMode = 1;
  state.enableKey = 118;
  state.charValue = 3000000000u;
  state.buildStamp = std::numeric_limits<float>::infinity();
  state.sampleCount = 41;
  TraceWriter writer(nullptr);
  writer.SetFrame(50);
  writer.EndLineOf(state);
  EXPECT_EQ(writer.Text(),
            R"({"frame":50,"end":true,"state":{"rewinding":1,"playIndex":3,"playLength":40,)"
            R"("timeScaleRamp":0.0149999997,"letterboxHeight":0.100000001,"settleFrames":-2,)"
            R"("cursorIdleFrames":100,"frameCount":100,"recSize":4294967295,"pushMode":1,)"
            R"("enableKey":118,"charValue":3000000000,"buildStamp":"inf","sampleCount":41}})"
            "\n");
}

TEST(TraceLines, MutedWriterDropsWholeLines) {
  TraceWriter writer(nullptr);
  writer.BeginLine();
  writer.EndLine();
  writer.BeginLine();
  writer.Raw(",\"x\":1");
  writer.Mute();
  writer.EndLine();
  EXPECT_EQ(writer.Text(), "{\"frame\":-1}\n");
}

}  // namespace
