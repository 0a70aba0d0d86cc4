// The commands of the command line. Each command file declares its options on a CLI11
// subcommand and hands back what runs it; main parses, then runs the chosen command.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace CLI {
class App;
class Validator;
}  // namespace CLI

namespace tarnwell::cli {

// What runs a parsed subcommand; its result is the exit status.
using CommandMap = std::map<const CLI::App*, std::function<int()>>;

void AddCheckCommand(CLI::App& app, CommandMap& commands);
void AddRunCommand(CLI::App& app, CommandMap& commands);
void AddChartsCommand(CLI::App& app, CommandMap& commands);
void AddBenchCommand(CLI::App& app, CommandMap& commands);
// import and export (say they are not available when the build has no GDAL and NetCDF).
void AddImportCommand(CLI::App& app, CommandMap& commands);
void AddExportCommand(CLI::App& app, CommandMap& commands);
void AddCalibrateCommand(CLI::App& app, CommandMap& commands);
void AddSensitivityCommand(CLI::App& app, CommandMap& commands);
void AddUncertaintyCommand(CLI::App& app, CommandMap& commands);

// This process's rank and the number of ranks of its MPI job (0 and 1 without mpirun).
int MpiRank();
int MpiSize();

// --workspace W on a subcommand: an existing directory (default: the current directory).
void AddWorkspaceOption(CLI::App& command, std::string& workspace);
// The checks of option values, so that a value out of range is refused as a mistyped command
// line (exit status 2) before anything runs. NotEmpty: a name that names something (an
// unset shell variable gives ''). WholeNumber: digits only, from lowest to highest.
// InputFile: a file that can be read (not missing, not a directory, a device or a pipe).
CLI::Validator NotEmpty();
CLI::Validator WholeNumber(std::uint64_t lowest, std::uint64_t highest);
CLI::Validator InputFile();
// --threads N on a subcommand: 1 .. 1024 (0 stays: every hardware thread).
void AddThreadsOption(CLI::App& command, int& threads, const char* what);
// --carry-over mean|cells: how each later year starts (empty: the workspace's
// Parameters/run.txt, else mean).
void AddCarryOverOption(CLI::App& command, std::string& carryOver);
// --groundwater-sum twice|once into `groundwaterSum` (empty when not given).
void AddGroundwaterSumOption(CLI::App& command, std::string& groundwaterSum);

}  // namespace tarnwell::cli
