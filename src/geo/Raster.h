// Rasters through GDAL: any format it reads (GeoTIFF, ESRI ASCII, Surfer, NetCDF, ...),
// resampled and reprojected onto a target grid, the slope of a terrain, and GeoTIFF out.
// Values are held north row first, as GDAL holds them; the model's own row order is the
// business of the writers of its grids.
#pragma once

#include <string>
#include <vector>

namespace tarnwell::geo {

// What a map can hold: a projected map spans some 4e7 m around the Earth, a geographic one
// 360 degrees. A grid placed beyond these (a no-data value taken for an origin) gives files
// whose place no GIS tool can compute.
inline constexpr double kLargestMapCoordinate = 1e9;
inline constexpr double kLargestCellSize = 1e7;

// A north-up grid of cells: rows run south from the north edge, columns east from the
// west edge.
struct GridFrame {
  int rows = 0, cols = 0;
  double west = 0, north = 0;            // map units
  double cellWidth = 0, cellHeight = 0;  // both positive
  std::string crsWkt;                    // empty: not known

  double East() const { return west + cellWidth * cols; }
  double South() const { return north - cellHeight * rows; }
  double CentreX(int col) const { return west + cellWidth * (col + 0.5); }
  double CentreY(int row) const { return north - cellHeight * (row + 0.5); }
  std::size_t Cells() const { return static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols); }
  // The same cells: sizes, origin and cell size equal to a millionth of a cell, and the
  // same coordinate system (an unknown one matches any).
  bool SameGrid(const GridFrame& other) const;
};

struct Raster {
  std::string name;  // as messages show the file
  GridFrame frame;
  std::vector<double> values;  // frame.rows x frame.cols, north row first
  bool hasNoData = false;
  double noData = 0;

  bool IsData(std::size_t i) const;
  std::size_t DataCells() const;
};

enum class Resampling { Nearest, Bilinear, Mode };

// Band 1 of a raster file. assumedCrs (WKT, may be empty) stands for the coordinate system
// when the file carries none. A raster without a georeference, or a rotated one, is refused.
Raster ReadRaster(const std::string& fsPath, const std::string& displayName, const std::string& assumedCrs);

// The raster on the target grid: its own values when it is on that grid already, otherwise
// resampled (and reprojected when the coordinate systems differ) by GDAL's warper. Cells
// the source does not cover are no-data.
Raster OnGrid(const Raster& source, const GridFrame& target, Resampling how);

// Slope in degrees by Horn's method (GDAL's terrain processing: a no-data neighbour counts
// as level with the cell, a cell on the raster's border takes GDAL's edge rule). No-data
// cells stay no-data (-9999).
Raster HornSlope(const Raster& terrain);

// Coordinate systems: the WKT of "EPSG:3035", a WKT text, a PROJ string, ...; InputError
// naming `where` when GDAL does not know it.
std::string CrsFromText(const std::string& text, const std::string& where, long line);
bool SameCrs(const std::string& a, const std::string& b);  // an empty one matches any
bool IsGeographicCrs(const std::string& wkt);
// "EPSG:3035" when the system has that code, else a short name.
std::string CrsLabel(const std::string& wkt);

enum class PixelType { Byte, Int16, Int32, Float32, Float64 };

// A GeoTIFF of the grid (values north row first), written to a temporary name and renamed,
// so a file of that name is always whole.
void WriteGeoTiff(const std::string& fsPath, const std::string& displayName, const GridFrame& frame,
                  const std::vector<double>& values, double noData, PixelType type);

}  // namespace tarnwell::geo
