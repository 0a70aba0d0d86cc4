#include "cli/Commands.h"

namespace tarnwell::cli {

int RunSimulation(const std::string& workspace, Options& options);

int RunCommand(const std::string& command, const std::string& workspace, Options& options) {
  if (command == "run") return RunSimulation(workspace, options);
  return kUnknownCommand;
}

const char* ExtraUsage() {
  return "  run    --workspace W [--years N] [--parameters FILE] [--erodibility uniform|nonuniform]\n"
         "         [--engine fused|reference] [--threads N]\n"
         "                                simulate every year and print a summary\n";
}

}  // namespace tarnwell::cli
