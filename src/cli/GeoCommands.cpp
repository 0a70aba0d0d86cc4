// "tarnwell import" and "tarnwell export": thin glue over the geo library, which is only
// there when the build found GDAL and NetCDF.
#include <iostream>
#include <set>
#include <stdexcept>

#include "cli/Commands.h"
#ifdef TARNWELL_GEO
#include "geo/Export.h"
#include "geo/Import.h"
#endif

namespace tarnwell::cli {

namespace {

void OnlyOptions(const std::string& command, const Options& options, const std::set<std::string>& allowed) {
  for (const auto& [key, value] : options)
    if (!allowed.count(key)) throw std::invalid_argument(command + " has no option --" + key);
}

#ifndef TARNWELL_GEO
int NotAvailable(const std::string& command) {
  std::cerr << "tarnwell: " << command
            << " is not available: this program was built without GDAL and NetCDF "
               "(install libgdal-dev and libnetcdf-dev and build it again)\n";
  return 1;
}
#endif

}  // namespace

int ImportCommand(const std::string& workspace, Options& options) {
  OnlyOptions("import", options, {"workspace", "config", "replace"});
  if (!options.count("config") || options["config"].empty()) throw std::invalid_argument("import needs --config FILE");
  if (options.count("replace") && !options["replace"].empty())
    throw std::invalid_argument("--replace takes no value");
#ifdef TARNWELL_GEO
  geo::ImportOptions o;
  o.config = options["config"];
  o.workspace = workspace;
  o.replace = options.count("replace") > 0;
  geo::RunImport(o, std::cout);
  return 0;
#else
  (void)workspace;
  return NotAvailable("import");
#endif
}

int ExportCommand(const std::string& workspace, Options& options) {
  OnlyOptions("export", options, {"workspace", "format"});
  const std::string format = options.count("format") ? options["format"] : "csv";
  if (format != "csv" && format != "netcdf")
    throw std::invalid_argument("--format must be csv or netcdf, not \"" + format + "\"");
#ifdef TARNWELL_GEO
  geo::ExportOptions o;
  o.workspace = workspace;
  o.format = format == "csv" ? geo::ExportFormat::Csv : geo::ExportFormat::Netcdf;
  geo::RunExport(o, std::cout);
  return 0;
#else
  (void)workspace;
  return NotAvailable("export");
#endif
}

}  // namespace tarnwell::cli
