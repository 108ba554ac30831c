#include "cli/PlayCommand.h"

#include <iostream>
#include <memory>

#include "play/Play.h"

std::function<int()> AddPlayCommand(CLI::App& app) {
  struct Given {
    std::string script, settings, record, trace, module, log = "Quorvat.log";
    uint32_t frameMs = 0;
    bool virtualPad = false;
  };
  auto given = std::make_shared<Given>();
  CLI::App* play = app.add_subcommand(
      "play",
      "Play the live world in a window with the module loaded: walk, drive, rewind and scrub "
      "with the keys shown at the bottom, or with a game pad (its buttons and triggers reach the "
      "module when the settings say [Pad] Enable=1); Esc or closing the window ends the "
      "session.");
  play->add_option("--script", given->script,
                   "Start from this scenario's world, settings and module time (its timeline is "
                   "not played). Default: a built-in start beside a car.");
  play->add_option(
      "--settings", given->settings,
      "The settings file (keys, rewinding by holding, history length, push mode, game pad, "
      "hint and seconds label). Default: the script's settings, else Quorvat.ini in the current "
      "directory, else, without --script, the settings shipped with the DLL.");
  play->add_option("--record", given->record,
                   "Write the session here as a scenario, with each frame's real length as "
                   "clockUs: `demo --script` plays it again, `run` traces it.");
  play->add_option("--trace", given->trace, "Write the trace of the session here (JSON Lines).");
  play->add_option("--log", given->log,
                   "Where the module's support log is kept when the session ends, if its settings "
                   "turn it on ([Settings] Log=1, as the shipped ones do); the report says where.")
      ->capture_default_str();
  play->add_option("--frame-ms", given->frameMs,
                   "Milliseconds a frame, in real time and in the game. Default: the script's "
                   "frame step, else 16 (about 60 frames a second).")
      ->check(CLI::Range(1, 1000));
  play->add_flag("--virtual-pad", given->virtualPad,
                 "Plug in a game pad that lives in this program, for playing without a controller "
                 "and for tests, driven by lines on standard input, each holding until the next: "
                 "'BUTTONS LT RT [LX LY]' (XInput's button word 0-65535, e.g. 32 Back, 4096 A; "
                 "the triggers 0-255; the left stick -32768-32767, +LY forward), 'unplug' or "
                 "'plug'.");
  play->add_option("--module", given->module,
                   "The module to load. Default: the Quorvat module built next to this program.");
  return [play, given]() -> int {
    if (!play->parsed()) return -1;
    PlayOptions options;
    auto named = [](const std::string& value) {
      return value.empty() ? std::nullopt : std::optional<std::string>(value);
    };
    options.script = named(given->script);
    options.settings = named(given->settings);
    options.record = named(given->record);
    options.trace = named(given->trace);
    if (given->frameMs != 0) options.frameMs = given->frameMs;
    options.virtualPad = given->virtualPad;
    options.modulePath = given->module;
    options.log = given->log;
    PlaySession session = RunPlay(options);
    std::cout << PlayReport(session, options);
    return 0;
  };
}
