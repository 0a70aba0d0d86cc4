// The command line: tarnwell <command> [options]; `tarnwell <command> --help` for each.
#include <CLI/CLI.hpp>

#include <iostream>
#include <new>
#include <string>

#include "cli/Commands.h"
#include "model/Errors.h"
#ifdef TARNWELL_HAVE_MPI
#include "mpi/MpiPool.h"
#endif

namespace tarnwell::cli {
namespace {
int rank = 0, size = 1;
}  // namespace
int MpiRank() { return rank; }
int MpiSize() { return size; }
}  // namespace tarnwell::cli

int main(int argc, char** argv) {
#ifdef TARNWELL_HAVE_MPI
  // Under mpirun, MPI for the life of the program (nothing otherwise).
  tarnwell::mpi::Environment mpi(&argc, &argv);
  tarnwell::cli::rank = mpi.Rank();
  tarnwell::cli::size = mpi.Size();
#endif
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
  tarnwell::cli::AddCalibrateCommand(app, commands);
  tarnwell::cli::AddSensitivityCommand(app, commands);
  tarnwell::cli::AddUncertaintyCommand(app, commands);
  // A first word that names no command: say so, with the commands there are.
  if (argc > 1 && argv[1][0] != '-') {
    std::string names;
    bool known = false;
    for (const CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
      known = known || command->get_name() == argv[1];
      names += (names.empty() ? "" : ", ") + command->get_name();
    }
    if (!known) {
      std::cerr << "tarnwell: unknown command \"" << tarnwell::Printable(argv[1]) << "\" (the commands are " << names
                << ")\n";
      return 2;
    }
  }
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
  // A calibration and a run spread over the ranks of an MPI job; other commands would have
  // every rank write the same files.
  const std::string name = app.get_subcommands().front()->get_name();
  if (tarnwell::cli::size > 1 && name != "calibrate" && name != "run") {
    if (tarnwell::cli::rank == 0)
      std::cerr << "tarnwell: " << app.get_subcommands().front()->get_name()
                << " runs in one process: start it without mpirun\n";
    return 1;
  }
  try {
    for (const CLI::App* command : app.get_subcommands()) return commands.at(command)();
    return 2;
  } catch (const std::bad_alloc&) {
    std::cerr << "tarnwell: not enough memory\n";
    return 1;
  } catch (const std::exception& e) {
    // In an MPI job every rank meets the same failure: rank 0 tells it.
    if (tarnwell::cli::rank == 0) std::cerr << "tarnwell: " << tarnwell::Printable(e.what()) << "\n";
    return 1;
  }
}
