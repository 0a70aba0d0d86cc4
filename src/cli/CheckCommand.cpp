// "tarnwell check": start-up, then every input a run reads, reported as a table; with --maps
// also what a run's maps need.
#include <CLI/CLI.hpp>

#include <iostream>
#include <stdexcept>

#include "app/Check.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "app/WorkspaceLock.h"
#include "cli/Commands.h"
#ifdef TARNWELL_GEO
#include "geo/Maps.h"
#endif

namespace tarnwell::cli {

namespace {

struct CheckOptions {
  std::string workspace = ".";
  bool maps = false;
};

}  // namespace

void AddCheckCommand(CLI::App& app, CommandMap& commands) {
  auto o = std::make_shared<CheckOptions>();
  CLI::App* check = app.add_subcommand("check", "load every input of a run and report it");
  AddWorkspaceOption(*check, o->workspace);
  check->add_flag("--maps", o->maps,
                  "check too what run --maps needs: every sub-basin's georef.txt and a writable Output/maps/");
  commands[check] = [o] {
    Session session(o->workspace);
    const auto lock = WorkspaceLock::Acquire(session.ws, "tarnwell check");
    StartUpWorkspace(session);
    RunCheck(session, std::cout);
    if (o->maps) {
#ifdef TARNWELL_GEO
      geo::PrepareMaps(session, false);
      std::cout << "maps: every sub-basin georeferenced, Output/maps/ writable\n";
#else
      throw std::invalid_argument("this build writes no maps (built without GDAL and NetCDF)");
#endif
    }
    return 0;
  };
}

}  // namespace tarnwell::cli
