#include "formats/Scenario.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

using Json = nlohmann::ordered_json;

void WorldPatch::ApplyTo(WorldState& w) const {
  if (localPlayer) w.localPlayer = *localPlayer;
  if (playerIndex) w.playerIndex = *playerIndex;
  if (character) w.character = *character;
  if (playerValue) w.playerValue = *playerValue;
  if (frameStep) w.frameStep = *frameStep;
  if (scrubStep) w.scrubStep = *scrubStep;
  if (charValue) w.charValue = *charValue;
  if (inVehicle) w.inVehicle = *inVehicle;
  if (vehicle) w.vehicle = *vehicle;
  if (charPos) w.charPos = *charPos;
  if (heading) w.heading = *heading;
  if (charVel) w.charVel = *charVel;
  if (charCondition) w.charCondition = *charCondition;
  if (footValue) w.footValue = *footValue;
  if (bodyMode) w.bodyMode = *bodyMode;
  if (boxBlocked) w.boxBlocked = *boxBlocked;
  if (nearVehicle) w.nearVehicle = *nearVehicle;
  if (locate) w.locate = *locate;
  if (clockUs) w.clockUs = *clockUs;
  for (const auto& [handle, entry] : vehicles) {
    if (entry) {
      w.vehicles[handle] = *entry;
    } else {
      w.vehicles.erase(handle);
    }
  }
  for (const auto& [model, entry] : models) w.models[model] = entry;
}

namespace {

constexpr size_t kMaxFileBytes = 64u << 20;
constexpr int kMaxDepth = 64;

bool IsIdentifier(std::string_view key) {
  if (key.empty() || !(std::isalpha(static_cast<unsigned char>(key[0])) || key[0] == '_')) {
    return false;
  }
  for (char c : key) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  }
  return true;
}

std::string Quoted(std::string_view text) {
  return Json(std::string(text)).dump();
}

std::string Member(const std::string& path, std::string_view key) {
  if (IsIdentifier(key)) return path.empty() ? std::string(key) : path + "." + std::string(key);
  return (path.empty() ? std::string() : path) + "[" + Quoted(key) + "]";
}

std::string Element(const std::string& path, size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

std::string Shown(const std::string& path) {
  return path.empty() ? "(root)" : path;
}

// What a value was, for the message: short, and on one line.
std::string Describe(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return value.get<bool>() ? "true" : "false";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::array:
      return value.empty()       ? "an empty array"
             : value.size() == 1 ? "an array of 1 value"
                                 : "an array of " + std::to_string(value.size()) + " values";
    case Json::value_t::number_float:
      return value.dump() + " (a number with a fraction or exponent)";
    case Json::value_t::string: {
      std::string text = value.dump();
      if (text.size() > 40) text = text.substr(0, 37) + "...\"";
      return "the string " + text;
    }
    default:
      return value.dump();
  }
}

// Everything printable on one line: the message must not break the
// one-line contract whatever the file name or the scenario holds.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

class Reader {
 public:
  explicit Reader(std::string fileName) : file_(std::move(fileName)) {}

  [[noreturn]] void Fail(const std::string& path, const std::string& what) const {
    throw ScenarioError(OneLine(file_ + ": " + Shown(path) + ": " + what));
  }
  [[noreturn]] void Expected(const std::string& path, const std::string& expected,
                             const Json& got) const {
    Fail(path, "expected " + expected + ", got " + Describe(got));
  }

  // Fails on the first member whose name is not in `known`.
  void OnlyKnown(const Json& object, const std::string& path,
                 std::initializer_list<std::string_view> known) const {
    for (const auto& member : object.items()) {
      bool found = false;
      for (auto name : known) found = found || member.key() == name;
      if (!found) {
        std::string list;
        for (auto name : known) list += (list.empty() ? "" : ", ") + std::string(name);
        Fail(Member(path, member.key()), "unknown field; expected one of " + list);
      }
    }
  }

  const Json& Object(const Json& value, const std::string& path, const std::string& what) const {
    if (!value.is_object()) Expected(path, what, value);
    return value;
  }

  int64_t Integer(const Json& value, const std::string& path, int64_t low, int64_t high,
                  const std::string& what) const {
    std::string expected = what + " " + std::to_string(low) + " ... " + std::to_string(high);
    if (value.is_number_integer() && !value.is_number_unsigned()) {
      auto n = value.get<int64_t>();
      if (n >= low && n <= high) return n;
    } else if (value.is_number_unsigned()) {
      auto n = value.get<uint64_t>();
      if (high >= 0 && n <= static_cast<uint64_t>(high)) return static_cast<int64_t>(n);
    }
    Expected(path, expected, value);
  }

  int32_t Int32(const Json& value, const std::string& path) const {
    return static_cast<int32_t>(Integer(value, path, std::numeric_limits<int32_t>::min(),
                                        std::numeric_limits<int32_t>::max(), "an integer"));
  }
  uint32_t Uint32(const Json& value, const std::string& path) const {
    return static_cast<uint32_t>(
        Integer(value, path, 0, std::numeric_limits<uint32_t>::max(), "an unsigned integer"));
  }

  float Float(const Json& value, const std::string& path) const {
    const std::string expected = "a number or \"nan\", \"inf\", \"-inf\"";
    if (value.is_string()) {
      const auto& text = value.get_ref<const std::string&>();
      if (text == "nan") return std::numeric_limits<float>::quiet_NaN();
      if (text == "inf") return std::numeric_limits<float>::infinity();
      if (text == "-inf") return -std::numeric_limits<float>::infinity();
      Expected(path, expected, value);
    }
    if (!value.is_number()) Expected(path, expected, value);
    double wide = value.get<double>();
    if (!std::isfinite(wide) || std::fabs(wide) >= 0x1.ffffffp127) {  // would round to an infinity
      Expected(path, "a number within the 32-bit float range (or \"inf\", \"-inf\")", value);
    }
    return static_cast<float>(wide);
  }

  bool Bool(const Json& value, const std::string& path) const {
    if (!value.is_boolean()) Expected(path, "true or false", value);
    return value.get<bool>();
  }

  Vec3f Floats3(const Json& value, const std::string& path) const {
    float out[3];
    FloatArray(value, path, out, 3);
    return {out[0], out[1], out[2]};
  }

  void FloatArray(const Json& value, const std::string& path, float* out, size_t count) const {
    if (!value.is_array() || value.size() != count) {
      Expected(path, "an array of " + std::to_string(count) + " numbers", value);
    }
    for (size_t i = 0; i < count; ++i) out[i] = Float(value[i], Element(path, i));
  }

  // A handle or model named by an object key: the decimal spelling of a
  // signed 32-bit integer, one spelling per value.
  int32_t DecimalKey(const std::string& key, const std::string& path) const {
    std::string digits = key;
    bool negative = !digits.empty() && digits[0] == '-';
    if (negative) digits.erase(0, 1);
    bool ok = !digits.empty() && digits.size() <= 10 &&
              digits.find_first_not_of("0123456789") == std::string::npos &&
              (digits == "0" ? !negative : digits[0] != '0');
    if (ok) {
      int64_t n = std::stoll(digits) * (negative ? -1 : 1);
      if (n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max()) {
        return static_cast<int32_t>(n);
      }
    }
    Fail(path,
         "expected the key to be a decimal integer -2147483648 ... 2147483647 "
         "without leading zeros");
  }

  ScriptedVehicle Vehicle(const Json& value, const std::string& path) const {
    Object(value, path, "a vehicle object");
    OnlyKnown(value, path, {"pos", "rot", "vel", "condition", "model"});
    ScriptedVehicle vehicle;
    for (const auto& member : value.items()) {
      const std::string at = Member(path, member.key());
      const Json& v = member.value();
      if (member.key() == "pos") {
        vehicle.pos = Floats3(v, at);
      } else if (member.key() == "rot") {
        FloatArray(v, at, vehicle.rot, 4);
      } else if (member.key() == "vel") {
        vehicle.vel = Floats3(v, at);
      } else if (member.key() == "condition") {
        vehicle.condition = Uint32(v, at);
      } else {
        vehicle.model = Int32(v, at);
      }
    }
    return vehicle;
  }

  Locate LocateWay(const Json& value, const std::string& path) const {
    if (value.is_string()) {
      const auto& text = value.get_ref<const std::string&>();
      if (text == "fixed") return Locate::Fixed;
      if (text == "nearest") return Locate::Nearest;
    }
    Expected(path, "\"fixed\" or \"nearest\"", value);
  }

  ScriptedModel Model(const Json& value, const std::string& path) const {
    Object(value, path, "a model object");
    OnlyKnown(value, path, {"a", "b"});
    ScriptedModel model;
    if (value.contains("a")) model.a = Floats3(value["a"], Member(path, "a"));
    if (value.contains("b")) model.b = Floats3(value["b"], Member(path, "b"));
    return model;
  }

  WorldPatch World(const Json& value, const std::string& path) const {
    Object(value, path, "an object of world fields");
    OnlyKnown(
        value, path,
        {"localPlayer",   "playerIndex", "character", "playerValue", "frameStep",   "scrubStep",
         "charValue",     "inVehicle",   "vehicle",   "charPos",     "heading",     "charVel",
         "charCondition", "footValue",   "bodyMode",  "boxBlocked",  "nearVehicle", "clockUs",
         "vehicles",      "models",      "locate"});
    WorldPatch patch;
    for (const auto& member : value.items()) {
      const std::string& key = member.key();
      const std::string at = Member(path, key);
      const Json& v = member.value();
      if (key == "localPlayer") patch.localPlayer = Int32(v, at);
      if (key == "playerIndex") patch.playerIndex = Int32(v, at);
      if (key == "character") patch.character = Int32(v, at);
      if (key == "playerValue") patch.playerValue = Uint32(v, at);
      if (key == "frameStep") patch.frameStep = Uint32(v, at);
      if (key == "scrubStep") patch.scrubStep = Uint32(v, at);
      if (key == "charValue") patch.charValue = Uint32(v, at);
      if (key == "inVehicle") patch.inVehicle = Bool(v, at);
      if (key == "vehicle") patch.vehicle = Int32(v, at);
      if (key == "charPos") patch.charPos = Floats3(v, at);
      if (key == "heading") patch.heading = Float(v, at);
      if (key == "charVel") patch.charVel = Floats3(v, at);
      if (key == "charCondition") patch.charCondition = Uint32(v, at);
      if (key == "footValue") patch.footValue = Int32(v, at);
      if (key == "bodyMode") patch.bodyMode = Bool(v, at);
      if (key == "boxBlocked") patch.boxBlocked = Bool(v, at);
      if (key == "nearVehicle") patch.nearVehicle = Int32(v, at);
      if (key == "clockUs") patch.clockUs = Uint32(v, at);
      if (key == "locate") patch.locate = LocateWay(v, at);
      if (key == "vehicles") {
        Object(v, at, "an object: vehicle handle -> vehicle");
        for (const auto& entry : v.items()) {
          const std::string entryPath = Member(at, entry.key());
          int32_t handle = DecimalKey(entry.key(), entryPath);
          if (entry.value().is_null()) {
            patch.vehicles[handle] = std::nullopt;
          } else {
            patch.vehicles[handle] = Vehicle(entry.value(), entryPath);
          }
        }
      }
      if (key == "models") {
        Object(v, at, "an object: model -> model extents");
        for (const auto& entry : v.items()) {
          const std::string entryPath = Member(at, entry.key());
          int32_t model = DecimalKey(entry.key(), entryPath);
          patch.models[model] = Model(entry.value(), entryPath);
        }
      }
    }
    return patch;
  }

  int Key(const Json& value, const std::string& path) const {
    const std::string expected =
        "a key: a virtual-key code 1 ... 254 or one of \"F7\", \"SPACE\", \"Z\", \"X\", "
        "\"LEFT\", \"RIGHT\"";
    if (value.is_string()) {
      for (const auto& [name, code] : kKeyNames) {
        if (value.get_ref<const std::string&>() == name) return code;
      }
      Expected(path, expected, value);
    }
    if (value.is_number_integer()) {
      bool inRange = value.is_number_unsigned()
                         ? value.get<uint64_t>() <= 254
                         : value.get<int64_t>() >= 1 && value.get<int64_t>() <= 254;
      if (inRange && value.get<int64_t>() >= 1) return static_cast<int>(value.get<int64_t>());
    }
    Expected(path, expected, value);
  }

  std::vector<int> Keys(const Json& value, const std::string& path) const {
    if (!value.is_array()) Expected(path, "an array of keys", value);
    std::vector<int> keys;
    for (size_t i = 0; i < value.size(); ++i) keys.push_back(Key(value[i], Element(path, i)));
    return keys;
  }

  ScriptedPad Pad(const Json& value, const std::string& path) const {
    Object(value, path, "a pad object {\"buttons\", \"lt\", \"rt\"} or null");
    OnlyKnown(value, path, {"buttons", "lt", "rt"});
    ScriptedPad pad;
    for (const auto& member : value.items()) {
      const std::string at = Member(path, member.key());
      if (member.key() == "buttons") {
        pad.buttons = static_cast<uint16_t>(Integer(member.value(), at, 0, 65535, "an integer"));
      } else {
        auto trigger = static_cast<uint8_t>(Integer(member.value(), at, 0, 255, "an integer"));
        (member.key() == "lt" ? pad.lt : pad.rt) = trigger;
      }
    }
    return pad;
  }

  TimelineEntry Entry(const Json& value, const std::string& path, int64_t earliest) const {
    Object(value, path, "a timeline entry object");
    OnlyKnown(value, path, {"frame", "world", "hold", "release", "press", "cursor", "pad"});
    if (!value.contains("frame"))
      Fail(Member(path, "frame"), "missing; expected the integer frame every entry has");
    TimelineEntry entry;
    for (const auto& member : value.items()) {
      const std::string& key = member.key();
      const std::string at = Member(path, key);
      const Json& v = member.value();
      if (key == "frame") {
        entry.frame = Integer(v, at, 0, kMaxFrames, "an integer");
        if (entry.frame < earliest) {
          Fail(at, "expected a frame >= " + std::to_string(earliest) +
                       " (entries go in non-decreasing frame order), got " + Describe(v));
        }
      } else if (key == "world") {
        entry.world = World(v, at);
      } else if (key == "hold") {
        entry.hold = Keys(v, at);
      } else if (key == "release") {
        entry.release = Keys(v, at);
      } else if (key == "press") {
        entry.press = Keys(v, at);
      } else if (key == "pad") {
        entry.setsPad = true;
        if (!v.is_null()) entry.pad = Pad(v, at);
      } else {
        entry.setsCursor = true;
        if (!v.is_null()) {
          if (!v.is_array() || v.size() != 2) Expected(at, "[x, y] integers or null", v);
          entry.cursor = CursorPos{Int32(v[0], Element(at, 0)), Int32(v[1], Element(at, 1))};
        }
      }
    }
    for (size_t i = 0; i < entry.release.size(); ++i) {
      for (int held : entry.hold) {
        if (held == entry.release[i]) {
          Fail(Element(Member(path, "release"), i),
               "expected a key that the same entry does not hold, got " + std::to_string(held));
        }
      }
    }
    return entry;
  }

  Scenario Top(const Json& root) const {
    Object(root, "", "a scenario object");
    OnlyKnown(root, "", {"frames", "reenter", "settings", "moduleMtime", "world", "timeline"});
    if (!root.contains("frames")) Fail("frames", "missing; expected an integer 0 ... 2147483647");
    Scenario scenario;
    for (const auto& member : root.items()) {
      const std::string& key = member.key();
      const Json& v = member.value();
      if (key == "frames") {
        scenario.frames = Integer(v, key, 0, kMaxFrames, "an integer");
      } else if (key == "reenter") {
        scenario.reenter = Integer(v, key, 0, kMaxFrames, "an integer");
      } else if (key == "settings") {
        if (!v.is_null() && !v.is_string()) Expected(key, "a string or null", v);
        if (v.is_string()) scenario.settings = v.get<std::string>();
      } else if (key == "moduleMtime") {
        if (!v.is_null()) {
          if (!v.is_number_integer() ||
              (v.is_number_unsigned() &&
               v.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))) {
            Expected(key, "an integer number of seconds (64-bit) or null", v);
          }
          scenario.moduleMtime = v.get<int64_t>();
        }
      } else if (key == "world") {
        scenario.world = World(v, key);
      } else {
        if (!v.is_array()) Expected(key, "an array of timeline entries", v);
        int64_t earliest = 0;
        for (size_t i = 0; i < v.size(); ++i) {
          scenario.timeline.push_back(Entry(v[i], Element(key, i), earliest));
          earliest = scenario.timeline.back().frame;
        }
      }
    }
    if (scenario.frames + scenario.reenter > kMaxFrames) {
      Fail("reenter", "expected frames + reenter <= " + std::to_string(kMaxFrames) + ", got " +
                          std::to_string(scenario.frames) + " + " +
                          std::to_string(scenario.reenter));
    }
    return scenario;
  }

 private:
  std::string file_;
};

// Tracks where the parser is, to name duplicate members and to bound the
// nesting before it costs anything.
class PathTracker {
 public:
  explicit PathTracker(const Reader& reader) : reader_(reader) {}

  bool operator()(int depth, Json::parse_event_t event, Json& parsed) {
    using Event = Json::parse_event_t;
    switch (event) {
      case Event::object_start:
      case Event::array_start:
        if (depth >= kMaxDepth) {
          reader_.Fail(Path(),
                       "expected at most " + std::to_string(kMaxDepth) + " levels of nesting");
        }
        levels_.push_back({event == Event::object_start, {}, 0, {}});
        break;
      case Event::key: {
        Level& level = levels_.back();
        level.key = parsed.get<std::string>();
        if (!level.keys.insert(level.key).second)
          reader_.Fail(Path(), "field given twice; expected each field once");
        break;
      }
      case Event::object_end:
      case Event::array_end:
        levels_.pop_back();
        Advance();
        break;
      case Event::value:
        Advance();
        break;
    }
    return true;
  }

 private:
  struct Level {
    bool object;
    std::string key;
    size_t index;
    std::set<std::string> keys;
  };

  void Advance() {
    if (!levels_.empty() && !levels_.back().object) ++levels_.back().index;
  }

  std::string Path() const {
    std::string path;
    for (const auto& level : levels_) {
      path = level.object ? Member(path, level.key) : Element(path, level.index);
    }
    return path;
  }

  const Reader& reader_;
  std::vector<Level> levels_;
};

}  // namespace

Scenario ParseScenario(std::string_view text, const std::string& fileName) {
  Reader reader(fileName);
  Json root;
  try {
    PathTracker tracker(reader);
    root = Json::parse(text.begin(), text.end(), std::ref(tracker), true, false);
  } catch (const Json::exception& error) {  // also a number too large for a double
    std::string what = error.what();
    auto bracket = what.find("] ");
    if (bracket != std::string::npos) what.erase(0, bracket + 2);
    reader.Fail("", "expected one JSON object; " + what);
  }
  return reader.Top(root);
}

Scenario LoadScenarioFile(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    throw ScenarioError(OneLine(path + ": (root): is a directory, not a scenario file"));
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw ScenarioError(OneLine(path + ": (root): cannot be read: " + std::strerror(errno)));
  }
  std::string text;
  char chunk[65536];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
    text.append(chunk, static_cast<size_t>(file.gcount()));
    if (text.size() > kMaxFileBytes) {
      throw ScenarioError(OneLine(path + ": (root): expected a scenario of at most " +
                                  std::to_string(kMaxFileBytes >> 20) + " MiB"));
    }
  }
  if (file.bad()) throw ScenarioError(OneLine(path + ": (root): cannot be read"));
  return ParseScenario(text, path);
}
