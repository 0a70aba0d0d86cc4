// The import configuration: a UTF-8 text file, one "key = value" a line, "#" starting a
// comment line; paths are relative to the file. The README lists every key.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geo/FlowDirection.h"
#include "geo/GriddedWeather.h"
#include "geo/KeyValueFile.h"
#include "geo/Table.h"

namespace tarnwell::geo {

// A daily table named in the configuration: its file and how to read it.
struct TableSource {
  std::string key;   // the configuration key naming the file
  std::string path;  // file on disk (for the weather table, the pattern)
  TableFormat format;
};

// How the sub-basins' own observed discharge is made when no table gives it.
enum class SubBasinDischarge { None, AreaShare };

struct ImportConfig {
  KeyValueFile file;

  std::string terrain, landCover, landCoverClasses, slope;
  int landUseCode = 0;  // instead of a land-cover raster: one model land-use code for every cell (0: none)
  bool slopeInPercent = false;
  std::string subBasinRaster;          // or:
  std::string flowDirection, outlets;  // delineation
  D8Coding coding = D8Coding::Esri;
  int outletSnapRadius = 2;  // cells an outlet may move to its river
  std::string subBasins;
  double minSubBasinAreaKm2 = 1;  // a smaller sub-basin is refused

  std::string sourceCrs;  // WKT; empty: none given
  std::string targetCrs;  // WKT; empty: the terrain's
  std::optional<double> targetCellSize;

  std::optional<int> firstYear, lastYear;
  std::optional<int> stationElevation;  // none: the sub-basin's mean elevation

  // Weather: gridded NetCDF ...
  std::string precipitationNetcdf, precipitationVariable, temperatureNetcdf, temperatureVariable;
  CellCoordinates netcdfCoordinates = CellCoordinates::Centres;
  std::string netcdfCrs;
  // ... or a table per sub-basin ({id} and {name} in the path are filled in).
  std::optional<TableSource> weatherTable;
  std::string weatherPrecipitation, weatherTemperature, weatherDischarge, weatherSediment;  // columns

  std::optional<TableSource> discharge, sediment;
  std::string dischargeColumn, sedimentColumn;
  std::optional<double> sedimentConcentration;
  SubBasinDischarge subBasinDischarge = SubBasinDischarge::None;

  std::string parameters;  // template parameter file; empty: the defaults
  std::optional<double> latitude;
  std::string seasonDays = "90 140 260 310";
  std::string slopeColours, terrainColours, landUseColours;  // templates; empty: the defaults

  bool Gridded() const { return !precipitationNetcdf.empty(); }
};

// Reads and checks the configuration: unknown keys, missing files, keys that do not go
// together; each refusal names the file and the line.
ImportConfig ReadImportConfig(const std::string& fsPath, const std::string& displayName);

}  // namespace tarnwell::geo
