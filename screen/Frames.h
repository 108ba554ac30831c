// The frames, models and rewinds the game sends, as the screen draws them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "stream/ScreenStream.h"

struct Point3 {
  float x = 0, y = 0, z = 0;
};

struct Vehicle {
  Point3 pos;
  float rot[4] = {0, 0, 0, 1};  // x, y, z, w
  int32_t model = 0;
  bool cruising = false;
  bool wrecked = false;
  bool followed = false;
};

struct Text {
  float x, y;
  std::string text;
};

struct Frame {
  int64_t frame = 0;
  float gameSpeed = 1;
  Point3 charPos;
  float heading = 0;
  bool inVehicle = false;
  int32_t vehicle = 0;
  std::map<int32_t, Vehicle> vehicles;
  std::vector<RectRecord> rects;
  std::vector<Text> texts;
  bool overlay = false;
  bool recorded = false;
  Point3 bodyPos;
};

struct Model {
  Point3 a, b;
};

struct Rewind {
  int64_t enterFrame = 0;
  int64_t leaveFrame = -1;
  int64_t scrubbedFrame = -1;
  Point3 enterPos, restoredPos;
};

class BodyReader;

// Each throws StreamError for a body that isn't what its kind says.
Frame ReadFrame(BodyReader& body);
std::map<int32_t, Model> ReadModels(const std::string& body);
Rewind ReadRewind(const std::string& body);
