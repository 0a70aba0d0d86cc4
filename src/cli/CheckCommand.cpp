// "tarnwell check": start-up, then every input a run reads, reported as a table.
#include <CLI/CLI.hpp>

#include <iostream>

#include "app/Check.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "app/WorkspaceLock.h"
#include "cli/Commands.h"

namespace tarnwell::cli {

void AddCheckCommand(CLI::App& app, CommandMap& commands) {
  auto workspace = std::make_shared<std::string>(".");
  CLI::App* check = app.add_subcommand("check", "load every input of a run and report it");
  AddWorkspaceOption(*check, *workspace);
  commands[check] = [workspace] {
    Session session(*workspace);
    const auto lock = WorkspaceLock::Acquire(session.ws, "tarnwell check");
    FormCreate(session);
    RunCheck(session, std::cout);
    return 0;
  };
}

}  // namespace tarnwell::cli
