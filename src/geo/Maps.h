// Maps of every cell: per-cell yearly grids of one sub-basin written as GeoTIFF files
// (and one NetCDF per sub-basin with a year dimension), north up and georeferenced from
// the import's georef.txt or the grid header, under Output/maps/.
#pragma once

#include <string>
#include <vector>

#include "geo/Georef.h"

namespace tarnwell {
struct Session;
}

namespace tarnwell::geo {

// One year's grids: rows x cols in the model's own row order (row 1 = the first value
// line of the sub-basin's grids), NaN for cells outside the sub-basin.
struct YearlyCellMaps {
  int year = 0;
  std::vector<double> precipitation;       // mm
  std::vector<double> evapotranspiration;  // actual, mm
  std::vector<double> runoff;              // generated runoff, mm
  std::vector<double> soilLoss;            // t/ha
  std::vector<double> waterTableDepth;     // mean depth below the surface, m
  std::vector<double> snowPack;            // largest snow pack, mm
};

struct SubBasinMaps {
  int rows = 0, cols = 0;
  std::vector<YearlyCellMaps> years;
};

enum class MapFormat { GeoTiff, Netcdf };

// Writes <label>_<quantity>_<year>.tif for each quantity and year into dirFsPath, and with
// MapFormat::Netcdf also <label>.nc (dimensions year, y, x; y from north to south).
// Returns the files written (as dirDisplay + "/" + name).
std::vector<std::string> WriteYearlyMaps(const SubBasinMaps& maps, const GridGeoref& georef,
                                         const std::string& dirFsPath, const std::string& dirDisplay,
                                         const std::string& label, MapFormat format);

// Where the maps of a run go, and where each sub-basin's grids lie on the map.
struct MapsTarget {
  std::string dirFs, dirDisplay;    // Output/maps/
  std::vector<GridGeoref> georefs;  // sub-basin k at k - 1
};

// Everything the maps of a run need, checked before the run empties its first output file
// (a run that stopped at the first year's maps would have lost the earlier results): every
// sub-basin's terrain grid and its georef.txt, and Output/maps/ a directory inside the
// workspace that this program can write in (made when missing with create; without it only
// checked, nothing is left behind). Throws the file's error.
MapsTarget PrepareMaps(Session& session, bool create);

// The maps of sub-basin k, written under Output/maps/ as "subbasin<k>".
std::vector<std::string> WriteSubBasinMaps(const MapsTarget& target, int k, const SubBasinMaps& maps, MapFormat format);

}  // namespace tarnwell::geo
