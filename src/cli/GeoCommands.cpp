// "tarnwell import" and "tarnwell export": their options, over the geo library, which is
// only there when the build found GDAL and NetCDF.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "cli/Commands.h"
#ifdef TARNWELL_GEO
#include "geo/Export.h"
#include "geo/Import.h"
#endif

namespace tarnwell::cli {

namespace {

#ifndef TARNWELL_GEO
int NotAvailable(const char* command) {
  std::cerr << "tarnwell: " << command
            << " is not available: this program was built without GDAL and NetCDF "
               "(install libgdal-dev and libnetcdf-dev and build it again)\n";
  return 1;
}
#endif

struct ImportArguments {
  std::string config, workspace;
  bool replace = false;
};

struct ExportArguments {
  std::string workspace = ".";
  std::string format = "csv";
};

}  // namespace

void AddImportCommand(CLI::App& app, CommandMap& commands) {
  auto a = std::make_shared<ImportArguments>();
  CLI::App* import = app.add_subcommand("import", "make a workspace from GIS data (rasters, tables, NetCDF weather)");
  import->add_option("--config", a->config, "the import configuration (key = value lines)")
      ->required()
      ->check(NotEmpty())
      ->check(InputFile());
  import->add_option("--workspace", a->workspace, "the workspace to write (made when missing)")
      ->required()
      ->check(NotEmpty());
  import->add_flag("--replace", a->replace,
                   "replace the workspace's input/ and Parameters/ when it has them (only a workspace's: a "
                   "sub-basin list in input/, a parameter file in Parameters/)");
  commands[import] = [a] {
#ifdef TARNWELL_GEO
    geo::ImportOptions o;
    o.config = a->config;
    o.workspace = a->workspace;
    o.replace = a->replace;
    geo::RunImport(o, std::cout);
    return 0;
#else
    return NotAvailable("import");
#endif
  };
}

void AddExportCommand(CLI::App& app, CommandMap& commands) {
  auto a = std::make_shared<ExportArguments>();
  CLI::App* exp = app.add_subcommand("export", "write the stored results and the grids under Output/export/");
  AddWorkspaceOption(*exp, a->workspace);
  exp->add_option("--format", a->format, "csv (default) or netcdf")->check(CLI::IsMember({"csv", "netcdf"}));
  commands[exp] = [a] {
#ifdef TARNWELL_GEO
    geo::ExportOptions o;
    o.workspace = a->workspace;
    o.format = a->format == "netcdf" ? geo::ExportFormat::Netcdf : geo::ExportFormat::Csv;
    geo::RunExport(o, std::cout);
    return 0;
#else
    return NotAvailable("export");
#endif
  };
}

}  // namespace tarnwell::cli
