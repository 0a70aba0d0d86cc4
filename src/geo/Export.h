// "tarnwell export": the stored results of every sub-basin and of the whole basin, as they
// stand in the output files, for other tools (Python, R, GIS), under Output/export/:
//   stations.csv                      number, name, output directory and area of each
//   csv:    subbasin<k>_daily.csv, _monthly.csv, _annual.csv and basin_*.csv: UTF-8, one
//           header row, ISO dates, the unit in every column name
//   netcdf: daily.nc, monthly.nc, annual.nc: CF-1.8 time series (station x time)
//   subbasin<k>_terrain.tif, _land_use.tif, _slope.tif: the input grids, north up,
//           georeferenced from georef.txt (or the grid header)
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarnwell::geo {

enum class ExportFormat { Csv, Netcdf };

struct ExportOptions {
  std::string workspace;
  ExportFormat format = ExportFormat::Csv;
};

// Writes the files and lists them on out; returns their paths.
std::vector<std::string> RunExport(const ExportOptions& options, std::ostream& out);

// One sub-basin grid (a DSAA file) as a GeoTIFF, north row first; cells the model takes
// for outside the basin become no-data. kind: "terrain", "land_use" or "slope".
void ExportGrid(const std::string& gridFsPath, const std::string& gridDisplay, const std::string& kind,
                const std::string& tiffFsPath, const std::string& tiffDisplay);

}  // namespace tarnwell::geo
