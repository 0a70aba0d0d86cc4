#include "cli/Commands.h"

#include <CLI/CLI.hpp>

#include <charconv>

#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell::cli {

CLI::Validator NotEmpty() {
  return CLI::Validator(
      [](std::string& value) { return value.empty() ? std::string("the value is empty") : std::string(); },
      "NOT EMPTY");
}

CLI::Validator WholeNumber(std::uint64_t lowest, std::uint64_t highest) {
  const std::string range = std::to_string(lowest) + " to " + std::to_string(highest);
  return CLI::Validator(
      [lowest, highest, range](std::string& value) {
        std::uint64_t v = 0;
        const char* end = value.data() + value.size();
        const bool digits = !value.empty() && value[0] >= '0' && value[0] <= '9';
        const auto r = std::from_chars(value.data(), end, v);
        if (!digits || r.ec != std::errc() || r.ptr != end || v < lowest || v > highest)
          return "\"" + Printable(value) + "\" is not a whole number from " + range;
        return std::string();
      },
      "INT in [" + range + "]");
}

CLI::Validator InputFile() {
  return CLI::Validator(
      [](std::string& value) {
        const std::string problem = InputFileProblem(value);
        return problem.empty() ? problem : "\"" + Printable(value) + "\": " + problem;
      },
      "FILE");
}

void AddWorkspaceOption(CLI::App& command, std::string& workspace) {
  command.add_option("--workspace", workspace, "the workspace directory (input/, Parameters/, Output/)")
      ->check(NotEmpty())
      ->check(CLI::ExistingDirectory)
      ->default_str(".");
}

void AddThreadsOption(CLI::App& command, int& threads, const char* what) {
  command.add_option("--threads", threads, what)->check(CLI::Range(1, 1024));
}

void AddCarryOverOption(CLI::App& command, std::string& carryOver) {
  command
      .add_option("--carry-over", carryOver,
                  "how each later year starts: mean (every cell from its sub-basin's means, the default) "
                  "or cells (every cell keeps its stores); default: Parameters/run.txt, else mean")
      ->check(CLI::IsMember({"mean", "cells"}));
}

void AddGroundwaterSumOption(CLI::App& command, std::string& groundwaterSum) {
  command
      .add_option("--groundwater-sum", groundwaterSum,
                  "how the outlet's groundwater series counts each cell's groundwater outflow: twice (after the "
                  "outflow and again after the lateral exchange, the default) or once (what the cell loses); "
                  "default: Parameters/run.txt, else twice")
      ->check(CLI::IsMember({"twice", "once"}));
}

}  // namespace tarnwell::cli
