// "tarnwell import": from GIS data (rasters any GDAL reads, class and sub-basin tables,
// daily tables, gridded NetCDF weather) to a workspace that check and run accept, every
// file in the model's own text form. Everything is read and checked before the first file
// is written, so a refused configuration leaves the workspace as it was; the new files are
// built beside the old ones and swapped in whole (StagedWorkspace), so a failure while
// writing leaves it as it was too.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarnwell::geo {

struct ImportOptions {
  std::string config;     // the configuration file
  std::string workspace;  // the workspace W to write
  bool replace = false;   // W's input/ and Parameters/ may be replaced
};

struct ImportedSubBasin {
  int id = 0;
  std::string name;
  int rows = 0, cols = 0;  // of its grids (the bounding box of its cells)
  long cells = 0;
  double areaKm2 = 0;
  int stationElevation = 0;
  int dischargeGaps = 0;         // days without an observed discharge (-999)
  double outletMovedMetres = 0;  // delineated: how far the outlet moved to its river
  long outletAccumulation = 0;   // delineated: the cells draining through the outlet
};

struct ImportReport {
  std::vector<ImportedSubBasin> subBasins;
  int firstYear = 0, lastYear = 0;
  int outletDischargeGaps = 0, outletSedimentGaps = 0;
  std::vector<std::string> warnings;  // what was imported but looks wrong (printed "warning: ...")
};

// Imports, prints the table of what was made to out and returns it. Throws the model's
// errors (file, line or row, the offending class or value) for what it cannot map.
ImportReport RunImport(const ImportOptions& options, std::ostream& out);

}  // namespace tarnwell::geo
