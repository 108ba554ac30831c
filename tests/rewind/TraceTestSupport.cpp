#include "TraceTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/Scenario.h"
#include "run/Runner.h"

namespace {

std::string CallOf(const std::string& raw, const nlohmann::json& line) {
  std::string name;
  for (const char* kind : {"native", "api", "host"}) {
    if (line.contains(kind)) name = line[kind].get<std::string>();
  }
  // The arguments exactly as written, floats in their nine digits.
  const std::string key = "\"args\":[";
  const size_t start = raw.find(key);
  if (start == std::string::npos) return name + "()";
  const size_t from = start + key.size();
  size_t depth = 1, i = from;
  bool quoted = false;
  for (; i < raw.size() && depth > 0; ++i) {
    if (raw[i] == '"' && raw[i - 1] != '\\') quoted = !quoted;
    if (quoted) continue;
    if (raw[i] == '[') ++depth;
    if (raw[i] == ']') --depth;
  }
  return name + "(" + raw.substr(from, i - 1 - from) + ")";
}

}  // namespace

Trace RunScenario(const nlohmann::json& scenario, std::optional<std::string>* log) {
  const Scenario parsed = ParseScenario(scenario.dump(), "test.json");
  RunOptions options;
  options.modulePath = QUORVAT_MODULE_FILE;
  const std::filesystem::path copy =
      std::filesystem::temp_directory_path() / ("quorvat-test-log-" + std::to_string(getpid()));
  std::filesystem::remove(copy);
  if (log != nullptr) options.logCopy = copy.string();
  const RunResult result = RunScriptedScenario(parsed, options);
  if (log != nullptr) {
    log->reset();
    std::ifstream in(copy, std::ios::binary);
    if (in) {
      std::ostringstream text;
      text << in.rdbuf();
      *log = text.str();
    }
    std::filesystem::remove(copy);
  }

  Trace trace;
  size_t pos = 0;
  const std::string& text = result.trace;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string raw = text.substr(pos, end - pos);
    pos = end + 1;
    const nlohmann::json line = nlohmann::json::parse(raw);
    if (line.contains("end")) {
      trace.state = line["state"];
      continue;
    }
    trace.lines.push_back({line["frame"].get<int64_t>(), CallOf(raw, line)});
  }
  return trace;
}

std::vector<std::string> Trace::Frame(int64_t frame) const {
  std::vector<std::string> calls;
  for (const TraceLine& line : lines)
    if (line.frame == frame) calls.push_back(line.call);
  return calls;
}

std::vector<std::string> Trace::Frame(int64_t frame, const std::vector<std::string>& names) const {
  std::vector<std::string> calls;
  for (const TraceLine& line : lines) {
    if (line.frame != frame) continue;
    for (const std::string& name : names)
      if (line.call.compare(0, name.size() + 1, name + "(") == 0) calls.push_back(line.call);
  }
  return calls;
}

std::vector<std::string> Trace::All(const std::string& name) const {
  std::vector<std::string> calls;
  for (const TraceLine& line : lines)
    if (line.call.compare(0, name.size() + 1, name + "(") == 0)
      calls.push_back(std::to_string(line.frame) + ":" + line.call);
  return calls;
}

int Trace::Count(const std::string& name) const {
  return static_cast<int>(All(name).size());
}

int Trace::Count(int64_t frame, const std::string& name) const {
  return static_cast<int>(Frame(frame, {name}).size());
}

nlohmann::json BaseWorld() {
  return {{"localPlayer", 3}, {"playerIndex", 7}, {"character", 5}, {"frameStep", 16}};
}

nlohmann::json At(int64_t frame, nlohmann::json fields) {
  // An empty world written `{}` arrives as null.
  if (fields.contains("world") && fields["world"].is_null())
    fields["world"] = nlohmann::json::object();
  fields["frame"] = frame;
  return fields;
}

nlohmann::json Recorded(int recorded, int frames, nlohmann::json settings,
                        nlohmann::json timeline) {
  nlohmann::json all = nlohmann::json::array();
  for (int f = 0; f < recorded; ++f) all.push_back(At(f, {{"world", {{"charPos", {f, 0, 1}}}}}));
  for (nlohmann::json& entry : timeline) all.push_back(entry);
  return {{"frames", frames}, {"settings", settings}, {"world", BaseWorld()}, {"timeline", all}};
}
