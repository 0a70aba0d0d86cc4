#include "geo/GriddedWeather.h"

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>

#include "geo/GdalHandles.h"
#include "geo/NetcdfFile.h"
#include "model/Errors.h"

namespace tarnwell::geo {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The factor and offset that take a value in `units` to mm per day or degrees C.
bool UnitConversion(WeatherQuantity q, const std::string& unitsText, double& scale, double& offset) {
  std::string u = Lower(unitsText);
  u.erase(std::remove(u.begin(), u.end(), ' '), u.end());
  scale = 1;
  offset = 0;
  if (u.empty()) return true;  // taken to be the model's own units
  if (q == WeatherQuantity::Precipitation) {
    for (const char* s :
         {"mm", "mm/d", "mm/day", "mmd-1", "mmday-1", "mm/24h", "kgm-2", "kgm-2d-1", "kg/m2", "kg/m2/d"})
      if (u == s) return true;
    if (u == "kgm-2s-1" || u == "kg/m2/s" || u == "mms-1" || u == "mm/s") {
      scale = 86400;
      return true;
    }
    if (u == "m" || u == "m/d" || u == "md-1" || u == "m/day") {
      scale = 1000;
      return true;
    }
    return false;
  }
  for (const char* s : {"degc", "c", "°c", "celsius", "degree_celsius", "degrees_celsius", "deg_c", "degreesc"})
    if (u == s) return true;
  if (u == "k" || u == "kelvin" || u == "degk" || u == "degrees_kelvin") {
    offset = -273.15;
    return true;
  }
  return false;
}

// "days since 1989-01-01 00:00:00": the length of the unit in days and the reference.
bool ParseTimeUnits(const std::string& units, double& daysPerUnit, double& reference) {
  char unit[32] = {0};
  int y = 0, m = 0, d = 0, hh = 0, mm = 0;
  double ss = 0;
  const int got = std::sscanf(units.c_str(), "%31s since %d-%d-%d%*[ T]%d:%d:%lf", unit, &y, &m, &d, &hh, &mm, &ss);
  if (got < 4) return false;
  const std::string u = Lower(unit);
  if (u == "days" || u == "day" || u == "d") daysPerUnit = 1;
  else if (u == "hours" || u == "hour" || u == "h") daysPerUnit = 1.0 / 24;
  else if (u == "minutes" || u == "minute") daysPerUnit = 1.0 / 1440;
  else if (u == "seconds" || u == "second" || u == "s") daysPerUnit = 1.0 / 86400;
  else return false;
  std::chrono::year_month_day ymd{std::chrono::year(y), std::chrono::month(static_cast<unsigned>(m)),
                                  std::chrono::day(static_cast<unsigned>(d))};
  if (!ymd.ok()) return false;
  reference = static_cast<double>(Day(ymd).time_since_epoch().count()) + (got >= 5 ? hh / 24.0 : 0) +
              (got >= 6 ? mm / 1440.0 : 0) + (got >= 7 ? ss / 86400.0 : 0);
  return true;
}

// A regular axis: its first value and step; false when the values are not evenly spaced.
bool RegularAxis(const std::vector<double>& v, double& step) {
  if (v.size() < 2) return false;
  step = (v.back() - v.front()) / static_cast<double>(v.size() - 1);
  if (step == 0) return false;
  for (std::size_t i = 0; i < v.size(); ++i)
    if (std::fabs(v[i] - (v.front() + step * static_cast<double>(i))) > 1e-3 * std::fabs(step)) return false;
  return true;
}

// 'T', 'Y', 'X' or '?' (not known) for a dimension, from its coordinate variable.
char AxisKind(const std::string& name, const std::string& axisText, const std::string& standardText,
              const std::string& unitsText) {
  const std::string axis = Lower(axisText), standard = Lower(standardText), units = Lower(unitsText);
  const std::string n = Lower(name);
  if (axis == "t" || standard == "time" || units.find(" since ") != std::string::npos || n == "time" || n == "t")
    return 'T';
  if (axis == "x" || standard == "projection_x_coordinate" || standard == "longitude" || standard == "grid_longitude" ||
      units == "degrees_east" || units == "degree_east" || n == "x" || n == "lon" || n == "longitude" || n == "rlon")
    return 'X';
  if (axis == "y" || standard == "projection_y_coordinate" || standard == "latitude" || standard == "grid_latitude" ||
      units == "degrees_north" || units == "degree_north" || n == "y" || n == "lat" || n == "latitude" || n == "rlat")
    return 'Y';
  return '?';
}

std::string AxisLabel(char kind) {
  switch (kind) {
    case 'T': return " (time)";
    case 'X': return " (x)";
    case 'Y': return " (y)";
  }
  return "";
}

}  // namespace

GriddedWeather GriddedWeather::Open(const std::string& fsPath, const std::string& displayName,
                                    const std::string& variable, WeatherQuantity quantity, CellCoordinates coordinates,
                                    const std::string& crsWkt) {
  GriddedWeather w;
  w.path_ = fsPath;
  w.variable_ = variable;
  w.name_ = displayName + " (variable " + variable + ")";
  NetcdfFile nc = NetcdfFile::OpenForReading(fsPath, displayName);
  w.varId_ = nc.VariableId(variable);
  if (w.varId_ < 0) throw InputError(displayName, 0, "no variable \"" + variable + "\"");
  int ndims = 0;
  nc.Check(nc_inq_varndims(nc.Id(), w.varId_, &ndims), "cannot inquire " + variable);
  if (ndims != 3)
    throw InputError(w.name_, 0,
                     "the variable has " + std::to_string(ndims) + " dimensions; time, y and x are expected");
  int dims[3];
  nc.Check(nc_inq_vardimid(nc.Id(), w.varId_, dims), "cannot inquire " + variable);
  std::vector<double> axis[3];
  std::string dimName[3];
  int coordVar[3];
  for (int k = 0; k < 3; ++k) {
    char name[NC_MAX_NAME + 1];
    nc.Check(nc_inq_dimname(nc.Id(), dims[k], name), "cannot inquire a dimension");
    dimName[k] = name;
    coordVar[k] = nc.VariableId(name);
    if (coordVar[k] < 0)
      throw InputError(w.name_, 0, "the dimension \"" + dimName[k] + "\" has no coordinate variable");
    axis[k] = nc.ReadReals(coordVar[k]);
  }
  // Each dimension by what its coordinate variable says it is (axis, standard name, units,
  // name): a grid stored as (time, x, y) would otherwise be read with its axes swapped.
  char kind[3];
  for (int k = 0; k < 3; ++k)
    kind[k] = AxisKind(dimName[k], nc.TextAttribute(coordVar[k], "axis"),
                       nc.TextAttribute(coordVar[k], "standard_name"), nc.TextAttribute(coordVar[k], "units"));
  const bool expected = (kind[0] == 'T' || kind[0] == '?') && (kind[1] == 'Y' || kind[1] == '?') &&
                        (kind[2] == 'X' || kind[2] == '?');
  if (!expected) {
    std::string order;
    for (int k = 0; k < 3; ++k) order += (k ? ", " : "") + dimName[k] + AxisLabel(kind[k]);
    throw InputError(w.name_, 0,
                     "the variable's dimensions are (" + order +
                         "); the order (time, y, x) is expected: reorder the file's dimensions");
  }

  // Time axis: one calendar day per step.
  const std::string calendar = Lower(nc.TextAttribute(coordVar[0], "calendar"));
  if (!calendar.empty() && calendar != "standard" && calendar != "gregorian" && calendar != "proleptic_gregorian")
    throw InputError(w.name_, 0, "the calendar \"" + calendar + "\" is not the standard calendar");
  double daysPerUnit = 1, reference = 0;
  const std::string timeUnits = nc.TextAttribute(coordVar[0], "units");
  if (!ParseTimeUnits(timeUnits, daysPerUnit, reference))
    throw InputError(w.name_, 0, "the time units \"" + timeUnits + "\" are not of the form \"days since YYYY-MM-DD\"");
  if (axis[0].empty()) throw InputError(w.name_, 0, "the file holds no time step");
  for (double t : axis[0])
    w.days_.push_back(Day(std::chrono::days(static_cast<long>(std::floor(reference + t * daysPerUnit + 1e-9)))));
  // One step a day, in calendar order.
  for (std::size_t t = 1; t < w.days_.size(); ++t) {
    if (w.days_[t] > w.days_[t - 1]) continue;
    throw InputError(
        w.name_, 0,
        "the time axis " + dimName[0] + " is not ascending: step " + std::to_string(t) + " (" + IsoDate(w.days_[t]) +
            ") " + (w.days_[t] == w.days_[t - 1] ? "falls on the same day as" : "comes before") + " step " +
            std::to_string(t - 1) + " (" + IsoDate(w.days_[t - 1]) + "); one step a day in calendar order is expected");
  }

  // The grid.
  double dy = 0, dx = 0;
  if (!RegularAxis(axis[1], dy) || !RegularAxis(axis[2], dx))
    throw InputError(w.name_, 0, "the x and y coordinates must be evenly spaced, with at least two cells each way");
  const auto [yMin, yMax] = std::minmax_element(axis[1].begin(), axis[1].end());
  const auto [xMin, xMax] = std::minmax_element(axis[2].begin(), axis[2].end());
  w.frame_.rows = static_cast<int>(axis[1].size());
  w.frame_.cols = static_cast<int>(axis[2].size());
  w.frame_.cellWidth = std::fabs(dx);
  w.frame_.cellHeight = std::fabs(dy);
  w.frame_.west = *xMin - (coordinates == CellCoordinates::Centres ? w.frame_.cellWidth / 2 : 0);
  w.frame_.north = *yMax + (coordinates == CellCoordinates::Centres ? w.frame_.cellHeight / 2 : 0);
  (void)yMin;
  (void)xMax;
  w.frame_.crsWkt = crsWkt;
  w.flipRows_ = dy > 0;  // the file's first row is the southern one
  w.flipCols_ = dx < 0;

  // Values: packing, missing values, units.
  double s = 1, o = 0;
  nc.RealAttribute(w.varId_, "scale_factor", s);
  nc.RealAttribute(w.varId_, "add_offset", o);
  w.hasFill_ = nc.RealAttribute(w.varId_, "_FillValue", w.fill_);
  w.hasMissing_ = nc.RealAttribute(w.varId_, "missing_value", w.missing_);
  const std::string units = nc.TextAttribute(w.varId_, "units");
  if (!UnitConversion(quantity, units, w.unitScale_, w.unitOffset_))
    throw InputError(w.name_, 0,
                     "the units \"" + units + "\" are not known for " +
                         (quantity == WeatherQuantity::Precipitation ? "precipitation (mm per day, kg m-2 s-1, m)"
                                                                     : "air temperature (degrees C or K)"));
  w.scale_ = s;
  w.offset_ = o;
  w.quantity_ = quantity;
  return w;
}

std::vector<CellWeight> GriddedWeather::Weights(const GridFrame& target, const std::vector<std::size_t>& cells,
                                                const std::string& what) const {
  std::map<std::size_t, double> sum;
  const GridFrame& w = frame_;
  auto refuse = [&](std::size_t cell) {
    const int r = static_cast<int>(cell / static_cast<std::size_t>(target.cols));
    const int c = static_cast<int>(cell % static_cast<std::size_t>(target.cols));
    char buf[200];
    std::snprintf(buf, sizeof buf, " has a cell (centre x %.1f, y %.1f) outside the weather grid", target.CentreX(c),
                  target.CentreY(r));
    throw InputError(name_, 0, what + buf);
  };
  if (SameCrs(target.crsWkt, w.crsWkt)) {
    for (std::size_t cell : cells) {
      const int r = static_cast<int>(cell / static_cast<std::size_t>(target.cols));
      const int c = static_cast<int>(cell % static_cast<std::size_t>(target.cols));
      const double x0 = target.west + target.cellWidth * c, x1 = x0 + target.cellWidth;
      const double y1 = target.north - target.cellHeight * r, y0 = y1 - target.cellHeight;
      const int c0 = std::max(0, static_cast<int>(std::floor((x0 - w.west) / w.cellWidth)));
      const int c1 = std::min(w.cols - 1, static_cast<int>(std::floor((x1 - w.west) / w.cellWidth)));
      const int r0 = std::max(0, static_cast<int>(std::floor((w.north - y1) / w.cellHeight)));
      const int r1 = std::min(w.rows - 1, static_cast<int>(std::floor((w.north - y0) / w.cellHeight)));
      double covered = 0;
      for (int wr = r0; wr <= r1; ++wr)
        for (int wc = c0; wc <= c1; ++wc) {
          const double ox = std::min(x1, w.west + w.cellWidth * (wc + 1)) - std::max(x0, w.west + w.cellWidth * wc);
          const double oy = std::min(y1, w.north - w.cellHeight * wr) - std::max(y0, w.north - w.cellHeight * (wr + 1));
          if (ox <= 0 || oy <= 0) continue;
          sum[static_cast<std::size_t>(wr) * static_cast<std::size_t>(w.cols) + static_cast<std::size_t>(wc)] += ox *
                                                                                                                 oy;
          covered += ox * oy;
        }
      if (covered <= 0) refuse(cell);
    }
  } else {
    Srs from = SrsFromWkt(target.crsWkt), to = SrsFromWkt(w.crsWkt);
    OGRCoordinateTransformationH t = OCTNewCoordinateTransformation(static_cast<OGRSpatialReferenceH>(from.get()),
                                                                    static_cast<OGRSpatialReferenceH>(to.get()));
    if (!t)
      throw InputError(name_, 0, "no transformation from the target grid's coordinate system to the weather grid's");
    const double area = target.cellWidth * target.cellHeight;
    for (std::size_t cell : cells) {
      const int r = static_cast<int>(cell / static_cast<std::size_t>(target.cols));
      const int c = static_cast<int>(cell % static_cast<std::size_t>(target.cols));
      double x = target.CentreX(c), y = target.CentreY(r);
      if (!OCTTransform(t, 1, &x, &y, nullptr)) {
        OCTDestroyCoordinateTransformation(t);
        refuse(cell);
      }
      const double wc = std::floor((x - w.west) / w.cellWidth), wr = std::floor((w.north - y) / w.cellHeight);
      if (wc < 0 || wr < 0 || wc >= w.cols || wr >= w.rows) {
        OCTDestroyCoordinateTransformation(t);
        refuse(cell);
      }
      sum[static_cast<std::size_t>(wr) * static_cast<std::size_t>(w.cols) + static_cast<std::size_t>(wc)] += area;
    }
    OCTDestroyCoordinateTransformation(t);
  }
  std::vector<CellWeight> out;
  for (const auto& [cell, weight] : sum) out.push_back({cell, weight});
  return out;
}

std::vector<double> GriddedWeather::Series(const std::vector<CellWeight>& weights, Day first, Day last) const {
  std::map<Day, std::size_t> index;
  for (std::size_t t = 0; t < days_.size(); ++t) index.emplace(days_[t], t);
  // The block of file rows and columns that holds every weighted cell.
  std::size_t fr0 = SIZE_MAX, fr1 = 0, fc0 = SIZE_MAX, fc1 = 0;
  const std::size_t rows = static_cast<std::size_t>(frame_.rows), cols = static_cast<std::size_t>(frame_.cols);
  auto fileRow = [&](std::size_t r) { return flipRows_ ? rows - 1 - r : r; };
  auto fileCol = [&](std::size_t c) { return flipCols_ ? cols - 1 - c : c; };
  for (const CellWeight& cw : weights) {
    const std::size_t r = fileRow(cw.cell / cols), c = fileCol(cw.cell % cols);
    fr0 = std::min(fr0, r);
    fr1 = std::max(fr1, r);
    fc0 = std::min(fc0, c);
    fc1 = std::max(fc1, c);
  }
  double total = 0;
  for (const CellWeight& cw : weights) total += cw.weight;
  NetcdfFile nc = NetcdfFile::OpenForReading(path_, name_);
  const std::size_t nr = fr1 - fr0 + 1, ncol = fc1 - fc0 + 1;
  std::vector<double> block(nr * ncol);
  std::vector<double> out;
  for (Day d = first; d <= last; d += std::chrono::days(1)) {
    auto it = index.find(d);
    if (it == index.end())
      throw InputError(name_, 0,
                       "date gap: no time step for " + IsoDate(d) + " (the file covers " + IsoDate(days_.front()) +
                           " to " + IsoDate(days_.back()) + ")");
    const std::size_t start[3] = {it->second, fr0, fc0}, count[3] = {1, nr, ncol};
    nc.Check(nc_get_vara_double(nc.Id(), varId_, start, count, block.data()), "cannot read " + variable_);
    double sum = 0;
    for (const CellWeight& cw : weights) {
      const std::size_t r = fileRow(cw.cell / cols), c = fileCol(cw.cell % cols);
      const double raw = block[(r - fr0) * ncol + (c - fc0)];
      if (!std::isfinite(raw) || (hasFill_ && raw == fill_) || (hasMissing_ && raw == missing_))
        throw InputError(name_, 0,
                         "no value on " + IsoDate(d) + " in the weather cell of row " + std::to_string(cw.cell / cols) +
                             ", column " + std::to_string(cw.cell % cols) + " (from the north-west, 0-based)");
      const double value = (raw * scale_ + offset_) * unitScale_ + unitOffset_;
      const std::string problem = DailyValueProblem(
          quantity_ == WeatherQuantity::Precipitation ? DailyQuantity::Precipitation : DailyQuantity::Temperature,
          value);
      if (!problem.empty()) {
        char shown[40];
        std::snprintf(shown, sizeof shown, "%g", value);
        throw InputError(
            name_, 0,
            std::string(quantity_ == WeatherQuantity::Precipitation ? "the precipitation " : "the air temperature ") +
                shown + (quantity_ == WeatherQuantity::Precipitation ? " mm" : " degrees C") + " on " + IsoDate(d) +
                " in the weather cell of row " + std::to_string(cw.cell / cols) + ", column " +
                std::to_string(cw.cell % cols) + " (from the north-west, 0-based) " + problem);
      }
      sum += cw.weight * value;
    }
    out.push_back(sum / total);
  }
  return out;
}

}  // namespace tarnwell::geo
