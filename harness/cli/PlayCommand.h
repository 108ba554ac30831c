// The `play` subcommand of quorvat-sim.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

// Adds the subcommand; the returned action runs it when the command line
// names it and returns its exit status, else -1.
std::function<int()> AddPlayCommand(CLI::App& app);
