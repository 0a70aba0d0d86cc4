#include "cli/Commands.h"

namespace tarnwell::cli {

int RunSimulation(const std::string& workspace, Options& options);
int WriteCharts(const std::string& workspace, Options& options);
int RunBenchmark(Options& options);
int ImportCommand(const std::string& workspace, Options& options);
int ExportCommand(const std::string& workspace, Options& options);

int RunCommand(const std::string& command, const std::string& workspace, Options& options) {
  if (command == "run") return RunSimulation(workspace, options);
  if (command == "charts") return WriteCharts(workspace, options);
  if (command == "bench") return RunBenchmark(options);
  if (command == "import") return ImportCommand(workspace, options);
  if (command == "export") return ExportCommand(workspace, options);
  return kUnknownCommand;
}

const char* ExtraUsage() {
  return "  run    --workspace W [--years N] [--parameters FILE] [--erodibility uniform|nonuniform]\n"
         "         [--engine fused|reference] [--threads N]\n"
         "                                simulate every year and print a summary\n"
         "  charts --workspace W --sub-basin K|basin --year Y --out DIR [--format png|svg|all]\n"
         "                                draw the three charts of a stored year\n"
         "  bench  [--size N] [--threads T] [--days D]\n"
         "                                time both engines on a synthetic N x N sub-basin\n"
         "  import --config FILE --workspace W [--replace]\n"
         "                                make a workspace from GIS data (rasters, tables, NetCDF)\n"
         "  export --workspace W [--format csv|netcdf]\n"
         "                                write the stored results and the grids under Output/export/\n";
}

}  // namespace tarnwell::cli
