// The command line: tarnwell <command> [options]; `tarnwell <command> --help` for each.
#include <CLI/CLI.hpp>

#include <iostream>
#include <new>
#include <string>

#include "cli/Commands.h"
#include "model/Errors.h"

int main(int argc, char** argv) {
  CLI::App app("Tarnwell: a distributed, daily-step eco-hydrological model of a watershed", "tarnwell");
  app.require_subcommand(1);
  app.set_help_all_flag("--help-all", "help for every command");
  tarnwell::cli::CommandMap commands;
  tarnwell::cli::AddCheckCommand(app, commands);
  tarnwell::cli::AddRunCommand(app, commands);
  tarnwell::cli::AddChartsCommand(app, commands);
  tarnwell::cli::AddBenchCommand(app, commands);
  tarnwell::cli::AddImportCommand(app, commands);
  tarnwell::cli::AddExportCommand(app, commands);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // A mistyped command line: the reason, then where the help is. Exit status 2.
    std::cerr << "tarnwell: " << tarnwell::Printable(e.what()) << "\n";
    std::cerr << "run \"tarnwell --help\" or \"tarnwell <command> --help\" for the options\n";
    return 2;
  }
  try {
    for (const CLI::App* command : app.get_subcommands()) return commands.at(command)();
    return 2;
  } catch (const std::bad_alloc&) {
    std::cerr << "tarnwell: not enough memory\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "tarnwell: " << tarnwell::Printable(e.what()) << "\n";
    return 1;
  }
}
