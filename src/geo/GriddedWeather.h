// Daily weather on a grid in a NetCDF file (a variable over time, y and x), averaged over
// a sub-basin with each weather cell weighted by the area of the sub-basin it covers.
#pragma once

#include <string>
#include <vector>

#include "geo/GeoSupport.h"
#include "geo/Raster.h"

namespace tarnwell::geo {

// What the x and y coordinate values of the file stand for: the cell centres (the CF
// convention), or each cell's west and north edges.
enum class CellCoordinates { Centres, UpperLeft };
enum class WeatherQuantity { Precipitation, Temperature };  // mm per day, degrees C

struct CellWeight {
  std::size_t cell = 0;  // weather cell, north row first
  double weight = 0;     // area of the sub-basin in it (target map units squared)
};

class GriddedWeather {
 public:
  // Reads the coordinates and the time axis; crsWkt is the grid's coordinate system
  // (empty: the same as the target grid's).
  static GriddedWeather Open(const std::string& fsPath, const std::string& displayName, const std::string& variable,
                             WeatherQuantity quantity, CellCoordinates coordinates, const std::string& crsWkt);

  const GridFrame& Frame() const { return frame_; }
  const std::string& Name() const { return name_; }
  Day FirstDay() const { return days_.front(); }
  Day LastDay() const { return days_.back(); }

  // Weights of the weather cells over the target cells listed (indices of target, north
  // row first): the exact overlap areas when both grids share a coordinate system, else
  // each target cell's area given to the weather cell holding its centre. A target cell
  // outside the weather grid is refused, naming `what`.
  std::vector<CellWeight> Weights(const GridFrame& target, const std::vector<std::size_t>& cells,
                                  const std::string& what) const;
  // The weighted mean of each day first..last in the model's units; a day the file lacks
  // or a missing value under a weighted cell is refused.
  std::vector<double> Series(const std::vector<CellWeight>& weights, Day first, Day last) const;

 private:
  std::string path_, name_, variable_;
  int varId_ = -1;
  GridFrame frame_;
  bool flipRows_ = false, flipCols_ = false;  // file order against north-first, west-first
  std::vector<Day> days_;                     // per time index
  double scale_ = 1, offset_ = 0;             // packing and unit conversion together
  double unitScale_ = 1, unitOffset_ = 0;
  bool hasFill_ = false, hasMissing_ = false;
  double fill_ = 0, missing_ = 0;
  WeatherQuantity quantity_ = WeatherQuantity::Precipitation;
};

}  // namespace tarnwell::geo
