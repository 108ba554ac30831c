#include "formats/ScenarioWriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

using Json = nlohmann::ordered_json;

namespace {

// The fewest digits that give the float back (0.7, not 0.699999988): the
// reader rounds the number to a float, so a person reads what was meant.
// Non-finite values take the strings the reader accepts.
Json Float(float value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[32];
  for (int digits = 1;; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    double wide = std::strtod(text, nullptr);
    if (static_cast<float>(wide) == value || digits == 9) return wide;
  }
}

Json Floats(const float* values, size_t count) {
  Json array = Json::array();
  for (size_t i = 0; i < count; ++i) array.push_back(Float(values[i]));
  return array;
}

Json Floats(Vec3f v) {
  const float values[] = {v.x, v.y, v.z};
  return Floats(values, 3);
}

Json Vehicle(const ScriptedVehicle& v) {
  return {{"pos", Floats(v.pos)},
          {"rot", Floats(v.rot, 4)},
          {"vel", Floats(v.vel)},
          {"condition", v.condition},
          {"model", v.model}};
}

template <class T>
void Put(Json& object, const char* key, const std::optional<T>& value) {
  if (value) object[key] = *value;
}

Json World(const WorldPatch& p) {
  Json w = Json::object();
  Put(w, "localPlayer", p.localPlayer);
  Put(w, "playerIndex", p.playerIndex);
  Put(w, "character", p.character);
  Put(w, "playerValue", p.playerValue);
  Put(w, "frameStep", p.frameStep);
  Put(w, "scrubStep", p.scrubStep);
  Put(w, "charValue", p.charValue);
  Put(w, "inVehicle", p.inVehicle);
  Put(w, "vehicle", p.vehicle);
  if (p.charPos) w["charPos"] = Floats(*p.charPos);
  if (p.heading) w["heading"] = Float(*p.heading);
  if (p.charVel) w["charVel"] = Floats(*p.charVel);
  Put(w, "charCondition", p.charCondition);
  Put(w, "footValue", p.footValue);
  Put(w, "bodyMode", p.bodyMode);
  Put(w, "boxBlocked", p.boxBlocked);
  Put(w, "nearVehicle", p.nearVehicle);
  Put(w, "clockUs", p.clockUs);
  if (p.locate) w["locate"] = *p.locate == Locate::Nearest ? "nearest" : "fixed";
  if (!p.vehicles.empty()) {
    Json vehicles = Json::object();
    for (const auto& [handle, v] : p.vehicles) {
      vehicles[std::to_string(handle)] = v ? Vehicle(*v) : Json(nullptr);
    }
    w["vehicles"] = vehicles;
  }
  if (!p.models.empty()) {
    Json models = Json::object();
    for (const auto& [model, m] : p.models) {
      models[std::to_string(model)] = {{"a", Floats(m.a)}, {"b", Floats(m.b)}};
    }
    w["models"] = models;
  }
  return w;
}

// The named keys by name, as a person writes them.
Json Keys(const std::vector<int>& keys) {
  Json array = Json::array();
  for (int key : keys) {
    Json written = key;
    for (const auto& [name, code] : kKeyNames) {
      if (code == key) written = name;
    }
    array.push_back(written);
  }
  return array;
}

Json Entry(const TimelineEntry& e) {
  Json entry = {{"frame", e.frame}};
  if (e.world) entry["world"] = World(*e.world);
  if (!e.hold.empty()) entry["hold"] = Keys(e.hold);
  if (!e.release.empty()) entry["release"] = Keys(e.release);
  if (!e.press.empty()) entry["press"] = Keys(e.press);
  if (e.setsCursor) entry["cursor"] = e.cursor ? Json{e.cursor->x, e.cursor->y} : Json(nullptr);
  if (e.setsPad) {
    if (e.pad) {
      // Released buttons and triggers at rest are the defaults: left out.
      Json pad = Json::object();
      if (e.pad->buttons != 0) pad["buttons"] = e.pad->buttons;
      if (e.pad->lt != 0) pad["lt"] = e.pad->lt;
      if (e.pad->rt != 0) pad["rt"] = e.pad->rt;
      entry["pad"] = pad;
    } else {
      entry["pad"] = nullptr;
    }
  }
  return entry;
}

}  // namespace

std::string ScenarioText(const Scenario& scenario) {
  std::string settings;
  try {
    settings = scenario.settings ? Json(*scenario.settings).dump() : "null";
  } catch (const Json::exception&) {
    throw std::runtime_error(
        "the settings are not UTF-8 text, which a scenario cannot hold byte for byte");
  }
  std::string text = "{\n  \"frames\": " + std::to_string(scenario.frames) + ",\n";
  if (scenario.reenter != 0) text += "  \"reenter\": " + std::to_string(scenario.reenter) + ",\n";
  text += "  \"settings\": " + settings + ",\n";
  text += "  \"moduleMtime\": " +
          (scenario.moduleMtime ? std::to_string(*scenario.moduleMtime) : "null") + ",\n";
  // The world a field a line, the timeline an entry a line: a person reads
  // and edits the file.
  Json world = World(scenario.world);
  text += "  \"world\": {";
  bool first = true;
  for (const auto& member : world.items()) {
    text +=
        (first ? "\n    " : ",\n    ") + Json(member.key()).dump() + ": " + member.value().dump();
    first = false;
  }
  text += first ? "},\n" : "\n  },\n";
  text += "  \"timeline\": [";
  for (size_t i = 0; i < scenario.timeline.size(); ++i) {
    text += (i == 0 ? "\n    " : ",\n    ") + Entry(scenario.timeline[i]).dump();
  }
  text += scenario.timeline.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return text;
}

void WriteScenarioFile(const Scenario& scenario, const std::string& path) {
  std::string text = ScenarioText(scenario);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) throw std::runtime_error(path + ": cannot write the scenario");
}
