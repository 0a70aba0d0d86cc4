#include "cli/Commands.h"

#include <CLI/CLI.hpp>

namespace tarnwell::cli {

void AddWorkspaceOption(CLI::App& command, std::string& workspace) {
  command.add_option("--workspace", workspace, "the workspace directory (input/, Parameters/, Output/)")
      ->check(CLI::ExistingDirectory)
      ->default_str(".");
}

void AddThreadsOption(CLI::App& command, int& threads, const char* what) {
  command.add_option("--threads", threads, what)->check(CLI::Range(1, 1024));
}

}  // namespace tarnwell::cli
