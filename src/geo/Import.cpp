#include "geo/Import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <set>

#include "app/Session.h"
#include "app/Startup.h"
#include "app/Workspace.h"
#include "geo/FlowDirection.h"
#include "geo/GdalHandles.h"
#include "geo/GeoSupport.h"
#include "geo/Georef.h"
#include "geo/GriddedWeather.h"
#include "geo/ImportConfig.h"
#include "geo/Raster.h"
#include "geo/StagedWorkspace.h"
#include "geo/Table.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Calendar.h"
#include "model/Errors.h"
#include "model/InputRanges.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"
#include "processes/Processes.h"
#include "results/Statistic.h"

namespace tarnwell::geo {

namespace fs = std::filesystem;

namespace {

// Blank cells of the three grids: outside the basin for the model's readers (terrain not
// strictly between 0 and 2e30, land use 150 or more, slope negative).
constexpr const char* kOutsideTerrain = "-9999";
constexpr const char* kOutsideLandUse = "255";
constexpr const char* kOutsideSlope = "-9999";
// The model's mark for a day without an observation.
constexpr const char* kNoObservation = "-999";

// The five names of the path file: terrain, land use, weather, season (the model always
// takes Parameters/season.txt instead), slope.
const std::vector<std::string> kPathLines{"dem.grd", "landuse.grd", "weather.in", "season.txt", "slope.grd"};

// A starting parameter set for a temperate basin (the values tuned on the demo basin);
// line 1 (latitude) and line 3 (years) are set by the import.
const std::vector<std::string> kDefaultParameters{"纬度 0",
                                                  "蒸发折算系数 1.3",
                                                  "模拟年数 1",
                                                  "各层土壤蒸发权重 0.5 0.3 0.2",
                                                  "蒸散发可利用参数 2.0",
                                                  "大水面蒸发系数 1.1",
                                                  "土壤蒸发参数 0.9",
                                                  "蒸腾亏空系数 0.5",
                                                  "自由水出流系数 0.3 0.2 0.02",
                                                  "自由水出流阈值 10 5",
                                                  "土壤蓄水Wm分布曲线指数 0.2",
                                                  "壤中流调蓄系数 0.8",
                                                  "地下水调蓄系数 0.95",
                                                  "包气带积水向地下水输送参数 0.1 0.02 0.5",
                                                  "日正温融雪量 3.0",
                                                  "日积雪蒸发量 0.1",
                                                  "土壤优先流空隙率 0.65",
                                                  "日负温土壤水冻结量 1.0",
                                                  "降水积雪气温 0.0",
                                                  "土壤水冻结气温 -2.0",
                                                  "土壤饱和含水量 0.45",
                                                  "田间持水量 0.3",
                                                  "凋萎含水量 0.12",
                                                  "土壤层包气带厚度 100 250 450",
                                                  "上土层排水率 0.05",
                                                  "可侵蚀性 0.25",
                                                  "紫色土 0.3 黄壤性土 0.3 黄棕壤 0.3 酸性棕壤 0.3",
                                                  "暗棕壤 0.3 中性粗骨土 0.3 高山草甸土 0.3 高山寒漠土 0.3",
                                                  "泥沙库初始沙量 0",
                                                  "泥沙库冲刷指数 0.1",
                                                  "泥沙库沉降指数 0.3",
                                                  "临界沉积流速 0.2",
                                                  "临界冲刷流速 0.5",
                                                  "泥沙库固结系数 0.01"};

// Colour spectra of the three maps: a node per line, position in percent of the grid's
// range, then red, green and blue.
const std::vector<std::string> kSlopeColours{"ColorMap 2 1",  "0 255 255 229", "10 255 247 188", "25 254 227 145",
                                             "45 254 196 79", "65 254 153 41", "80 236 112 20",  "100 153 52 4"};
const std::vector<std::string> kTerrainColours{"ColorMap 2 1",   "0 38 115 0",     "12 85 160 40",  "25 170 205 102",
                                               "40 235 230 140", "60 205 170 100", "80 160 110 70", "100 245 245 245"};
// Codes 11..51 span the range: cultivated 0-5 %, forest 25-32.5 %, grass 50 %, water 75 %,
// built-up 100 %.
const std::vector<std::string> kLandUseColours{"ColorMap 2 1",  "0 230 200 90",   "5 250 230 120",  "20 120 170 60",
                                               "25 20 100 30",  "32.5 60 140 50", "45 150 210 110", "50 170 225 120",
                                               "70 90 170 200", "75 60 130 210",  "95 200 90 90",   "100 200 60 60"};

struct SubBasinEntry {
  int id = 0;
  std::string name, kText, xText;
  double k = 0, x = 0;
  std::optional<int> stationElevation;
  long line = 0;
};

// Lines as the import writes them (GBK, CR LF), to be read from memory.
TextReader InMemory(const std::vector<std::string>& lines, const std::string& name) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return TextReader::FromString(EncodeGbk(text), name);
}

// A table of a comma-separated list with a header row and no dates.
Table ReadList(const std::string& path) {
  TableFormat format;
  format.dateColumns.clear();
  return Table::Read(path, path, format);
}

// A name becomes a directory and a token of the sub-basin list: it must survive both.
void CheckName(const Table& t, std::size_t row, const std::string& name) {
  auto refuse = [&](const std::string& why) {
    throw InputError(t.Name(), t.Line(row), "the sub-basin name \"" + name + "\" " + why);
  };
  if (name.empty()) refuse("is empty");
  if (name == "." || name == "..") refuse("cannot name a directory");
  if (name.find_first_of(" \t,;\"'/\\") != std::string::npos || name[0] == '#')
    refuse("holds a blank, comma, semicolon, quote, slash or leading #, which the model's files cannot keep");
  if (DecodeText(EncodeGbk(name)) != name) refuse("has characters the model's GBK files cannot hold");
}

std::vector<SubBasinEntry> ReadSubBasins(const std::string& path) {
  Table t = ReadList(path);
  const int idCol = t.Column("id", "the sub-basin id"), nameCol = t.Column("name", "the sub-basin name");
  const int kCol = t.Column("muskingum_k_hours", "the Muskingum K (hours)");
  const int xCol = t.Column("muskingum_x", "the Muskingum x");
  const int elevCol = t.HasColumn("station_elevation") ? t.Column("station_elevation", "") : -1;
  std::vector<SubBasinEntry> list;
  std::map<int, long> ids;
  std::map<std::string, long> names;
  for (std::size_t r = 0; r < t.Rows(); ++r) {
    SubBasinEntry s;
    s.line = t.Line(r);
    s.id = t.Integer(r, idCol);
    if (s.id <= 0) throw ConversionError(t.Name(), s.line, t.Field(r, idCol), idCol, "a positive sub-basin id");
    s.name = t.Field(r, nameCol);
    CheckName(t, r, s.name);
    s.kText = t.Field(r, kCol);
    s.xText = t.Field(r, xCol);
    s.k = t.Real(r, kCol);
    s.x = t.Real(r, xCol);
    const std::string muskingum = "the Muskingum K = " + s.kText + " h and x = " + s.xText + " (columns " +
                                  std::to_string(kCol + 1) + " and " + std::to_string(xCol + 1) + ") ";
    if (const std::string problem = MuskingumDenominatorProblem(s.k, s.x); !problem.empty())
      throw InputError(t.Name(), s.line, muskingum + problem);
    if (!(s.k >= 0) || !(s.x >= 0 && s.x <= 0.5))
      throw InputError(t.Name(), s.line,
                       muskingum +
                           "lie outside the routing's sense: K is a storage time of 0 h or more, x the "
                           "weight of the inflow in the storage, from 0 to 0.5");
    if (elevCol >= 0 && !t.Missing(r, elevCol)) {
      s.stationElevation = t.Integer(r, elevCol);
      if (*s.stationElevation < kLowestElevation || *s.stationElevation > kHighestElevation)
        throw ConversionError(t.Name(), s.line, t.Field(r, elevCol), elevCol,
                              "a station elevation on land on Earth (-450 to 9000 m)");
    }
    if (!ids.emplace(s.id, s.line).second)
      throw InputError(t.Name(), s.line, "the sub-basin id " + std::to_string(s.id) + " is given twice");
    if (!names.emplace(s.name, s.line).second)
      throw InputError(t.Name(), s.line, "the sub-basin name \"" + s.name + "\" is given twice");
    list.push_back(s);
  }
  if (list.empty()) throw InputError(t.Name(), 0, "the table lists no sub-basin");
  if (list.size() > 50) throw InputError(t.Name(), list[50].line, "the model takes at most 50 sub-basins");
  return list;
}

// Land-cover class -> the model's land-use code (1..149: the model counts codes of 150 or
// more as outside the sub-basin).
std::map<long, int> ReadClasses(const std::string& path) {
  Table t = ReadList(path);
  const int classCol = t.Column("class", "the land-cover class"),
            codeCol = t.Column("code", "the model's land-use code");
  std::map<long, int> map;
  for (std::size_t r = 0; r < t.Rows(); ++r) {
    const int cls = t.Integer(r, classCol);
    const int code = t.Integer(r, codeCol);
    if (code < 1 || code > 149)
      throw ConversionError(t.Name(), t.Line(r), t.Field(r, codeCol), codeCol, "a land-use code from 1 to 149");
    if (!map.emplace(cls, code).second)
      throw InputError(t.Name(), t.Line(r), "the class " + std::to_string(cls) + " is given twice");
  }
  return map;
}

std::vector<Outlet> ReadOutlets(const std::string& path) {
  Table t = ReadList(path);
  const int idCol = t.Column("id", "the sub-basin id"), xCol = t.Column("x", "the outlet's x");
  const int yCol = t.Column("y", "the outlet's y");
  const int areaCol = t.HasColumn("area_km2") ? t.Column("area_km2", "") : -1;
  std::vector<Outlet> outlets;
  for (std::size_t r = 0; r < t.Rows(); ++r) {
    Outlet o;
    o.id = t.Integer(r, idCol);
    o.x = t.Real(r, xCol);
    o.y = t.Real(r, yCol);
    o.line = t.Line(r);
    if (areaCol >= 0 && !t.Missing(r, areaCol)) {
      o.areaKm2 = t.Real(r, areaCol);
      if (!(o.areaKm2 > 0))
        throw ConversionError(t.Name(), o.line, t.Field(r, areaCol), areaCol, "a drainage area above 0 km2");
    }
    outlets.push_back(o);
  }
  return outlets;
}

std::string CellText(const GridFrame& f, std::size_t i) {
  const int r = static_cast<int>(i / static_cast<std::size_t>(f.cols)),
            c = static_cast<int>(i % static_cast<std::size_t>(f.cols));
  char buf[200];
  std::snprintf(buf, sizeof buf,
                "the cell centred at x %.3f, y %.3f (row %d, column %d of the grid from the north-west, 0-based)",
                f.CentreX(c), f.CentreY(r), r, c);
  return buf;
}

// The grid everything is put on: the terrain's own, or the coordinate system and cell size
// the configuration asks for over the terrain's extent.
GridFrame TargetGrid(const ImportConfig& c, const Raster& terrain) {
  GridFrame t = terrain.frame;
  const KeyValueFile& f = c.file;
  if (!c.targetCrs.empty() || c.targetCellSize) {
    const std::string crs = c.targetCrs.empty() ? terrain.frame.crsWkt : c.targetCrs;
    const bool reproject = !SameCrs(crs, terrain.frame.crsWkt);
    if (!c.targetCrs.empty() && terrain.frame.crsWkt.empty())
      f.Refuse("target_crs", "the terrain raster " + terrain.name + " carries no coordinate system: give source_crs");
    if (reproject && !c.targetCellSize) f.Refuse("target_crs", "give target_cell_size too when reprojecting");
    const double cell = c.targetCellSize ? *c.targetCellSize : terrain.frame.cellWidth;
    t.crsWkt = crs;
    t.cellWidth = t.cellHeight = cell;
    if (!reproject) {
      t.cols = static_cast<int>(std::ceil((terrain.frame.East() - terrain.frame.west) / cell - 1e-9));
      t.rows = static_cast<int>(std::ceil((terrain.frame.north - terrain.frame.South()) / cell - 1e-9));
    } else {
      Srs from = SrsFromWkt(terrain.frame.crsWkt), to = SrsFromWkt(crs);
      OGRCoordinateTransformationH h = OCTNewCoordinateTransformation(static_cast<OGRSpatialReferenceH>(from.get()),
                                                                      static_cast<OGRSpatialReferenceH>(to.get()));
      double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
      const bool ok = h && OCTTransformBounds(h, terrain.frame.west, terrain.frame.South(), terrain.frame.East(),
                                              terrain.frame.north, &x0, &y0, &x1, &y1, 21);
      if (h) OCTDestroyCoordinateTransformation(h);
      if (!ok) f.Refuse("target_crs", "the terrain's extent cannot be transformed into it");
      t.west = std::floor(x0 / cell) * cell;
      t.north = std::ceil(y1 / cell) * cell;
      t.cols = static_cast<int>(std::ceil((x1 - t.west) / cell - 1e-9));
      t.rows = static_cast<int>(std::ceil((t.north - y0) / cell - 1e-9));
    }
  }
  if (IsGeographicCrs(t.crsWkt))
    throw InputError(c.file.Name(), c.file.Line("target_crs"),
                     "the target grid is in a geographic coordinate system (degrees); the model needs metres: "
                     "give target_crs and target_cell_size");
  if (static_cast<double>(t.rows) * t.cols > 4e8)
    throw InputError(
        c.file.Name(), c.file.Line("target_cell_size"),
        "the target grid would have " + std::to_string(t.rows) + " x " + std::to_string(t.cols) + " cells");
  return t;
}

// A raster read and put on the target grid; refused when none of it overlaps the terrain.
Raster OnTarget(const std::string& path, const std::string& assumedCrs, const GridFrame& target, Resampling how,
                const std::string& terrainName) {
  Raster r = OnGrid(ReadRaster(path, path, assumedCrs), target, how);
  if (r.DataCells() == 0)
    throw InputError(path, 0,
                     "the raster does not overlap the terrain raster " + terrainName + " (no value on its grid)");
  return r;
}

struct SubBasinCells {
  SubBasinEntry entry;
  std::vector<std::size_t> cells;  // north row first
  int r0 = 0, r1 = 0, c0 = 0, c1 = 0;
};

// Sub-basin id of every target cell (0: none).
std::vector<int> SubBasinIds(const ImportConfig& c, const std::vector<SubBasinEntry>& specs, const GridFrame& target,
                             const std::string& terrainName, std::vector<Outlet>& placed) {
  if (!c.subBasinRaster.empty()) {
    Raster ids = OnTarget(c.subBasinRaster, c.sourceCrs, target, Resampling::Nearest, terrainName);
    std::vector<int> out(ids.values.size(), 0);
    for (std::size_t i = 0; i < out.size(); ++i) {
      if (!ids.IsData(i)) continue;
      const double v = ids.values[i];
      if (v != std::floor(v) || v < 0 || v > 2e9)
        throw InputError(c.subBasinRaster, 0,
                         CellText(target, i) + " holds " + CompactReal(v, 6) + ", not a sub-basin id");
      out[i] = static_cast<int>(v);
    }
    return out;
  }
  Raster dirs = ReadRaster(c.flowDirection, c.flowDirection, c.sourceCrs);
  // Directions cannot be resampled: the grid may only be cut or extended by whole cells.
  const GridFrame& d = dirs.frame;
  const double offX = (d.west - target.west) / target.cellWidth, offY = (target.north - d.north) / target.cellHeight;
  if (!SameCrs(d.crsWkt, target.crsWkt) || std::fabs(d.cellWidth - target.cellWidth) > 1e-6 * target.cellWidth ||
      std::fabs(d.cellHeight - target.cellHeight) > 1e-6 * target.cellHeight ||
      std::fabs(offX - std::round(offX)) > 1e-6 || std::fabs(offY - std::round(offY)) > 1e-6)
    throw InputError(c.flowDirection, 0,
                     "the flow directions must lie on the target grid (the same coordinate system, cell size and "
                     "cell edges); directions cannot be resampled");
  dirs = OnGrid(dirs, target, Resampling::Nearest);
  if (dirs.DataCells() == 0)
    throw InputError(c.flowDirection, 0, "the raster does not overlap the terrain raster " + terrainName);
  std::vector<Outlet> outlets = ReadOutlets(c.outlets);
  // One outlet per listed sub-basin, and no other.
  std::map<int, long> seen;
  for (const Outlet& o : outlets) {
    if (std::none_of(specs.begin(), specs.end(), [&](const SubBasinEntry& s) { return s.id == o.id; }))
      throw InputError(c.outlets, o.line, "the outlet's id " + std::to_string(o.id) + " is not in " + c.subBasins);
    if (!seen.emplace(o.id, o.line).second)
      throw InputError(c.outlets, o.line, "a second outlet for the id " + std::to_string(o.id));
  }
  for (const SubBasinEntry& s : specs)
    if (!seen.count(s.id))
      throw InputError(c.subBasins, s.line, "the sub-basin " + std::to_string(s.id) + " has no outlet in " + c.outlets);
  dirs.name = c.flowDirection;
  RequireSoundDirections(dirs, c.coding);
  PlaceOutlets(dirs, c.coding, outlets, c.outlets, c.outletSnapRadius);
  placed = outlets;
  return DelineateSubBasins(dirs, c.coding, outlets);
}

// The whole calendar years from first to last day; refused when there is none.
void WholeYears(Day first, Day last, const std::string& source, int& y0, int& y1) {
  y0 = YearOf(first) + (MonthOf(first) == 1 && DayOfMonthOf(first) == 1 ? 0 : 1);
  y1 = YearOf(last) - (MonthOf(last) == 12 && DayOfMonthOf(last) == 31 ? 0 : 1);
  if (y0 > y1)
    throw InputError(source, 0,
                     "the weather covers no whole calendar year (" + IsoDate(first) + " to " + IsoDate(last) + ")");
}

std::string Fill(std::string pattern, const SubBasinEntry& s) {
  for (const auto& [key, value] :
       {std::pair<std::string, std::string>{"{id}", std::to_string(s.id)}, {"{name}", s.name}})
    for (std::size_t at; (at = pattern.find(key)) != std::string::npos;) pattern.replace(at, key.size(), value);
  return pattern;
}

// A day's observation as the model's files hold it.
std::string Observation(double v, int decimals) {
  if (std::isnan(v)) return kNoObservation;
  return decimals == 3 ? Fixed(v, 3) : CompactReal(v, decimals);
}

struct DailyWeather {
  std::vector<double> precip, temp, flow, conc;  // flow and conc NaN where unobserved
};

// DSAA lines of a sub-basin's box. The model divides the x extent by the rows and the y
// extent by the columns, so the header extents are the cell sizes times those counts from
// the true south-west corner; the first value line is the southern row, as a Surfer grid
// stores it.
std::vector<std::string> DsaaLines(const SubBasinCells& b, const GridFrame& f, long long zMin, long long zMax,
                                   const std::function<std::string(std::size_t)>& value, const std::vector<int>& owner,
                                   int k, const char* outside) {
  const int rows = b.r1 - b.r0 + 1, cols = b.c1 - b.c0 + 1;
  const double west = f.west + f.cellWidth * b.c0, south = f.north - f.cellHeight * (b.r1 + 1);
  const long long x0 = std::llround(west), y0 = std::llround(south);
  std::vector<std::string> lines{"DSAA", std::to_string(cols) + " " + std::to_string(rows),
                                 std::to_string(x0) + " " + std::to_string(std::llround(west + f.cellWidth * rows)),
                                 std::to_string(y0) + " " + std::to_string(std::llround(south + f.cellHeight * cols)),
                                 std::to_string(zMin) + " " + std::to_string(zMax)};
  for (int r = b.r1; r >= b.r0; --r) {
    std::string line;
    for (int c = b.c0; c <= b.c1; ++c) {
      const std::size_t i = static_cast<std::size_t>(r) * static_cast<std::size_t>(f.cols) +
                            static_cast<std::size_t>(c);
      if (c > b.c0) line += ' ';
      line += owner[i] == k ? value(i) : outside;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

// The parameter file: the template's lines (checked by the model's own loader) or the
// defaults, with the number of years and, when given, the latitude set.
std::vector<std::string> ParameterLines(const ImportConfig& c, int years, double latitude, bool latitudeKnown) {
  std::vector<std::string> lines;
  if (!c.parameters.empty()) {
    TextReader reader(c.parameters, c.parameters);
    while (!reader.AtEnd()) lines.push_back(reader.ReadLine());
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    TextReader check = TextReader::FromString(text, c.parameters);
    ParameterSet p;
    LoadParameters(check, p);
  } else {
    lines = kDefaultParameters;
    if (!latitudeKnown)
      throw InputError(
          c.file.Name(), 0,
          "give latitude (or a parameters template): the grids carry no coordinate system to find it from");
  }
  if (latitudeKnown) lines[0] = "纬度 " + CompactReal(latitude, 4);
  lines[2] = "模拟年数 " + std::to_string(years);
  if (!c.parameters.empty()) {
    // The values a run cannot compute with are refused as the template's.
    ParameterSet p;
    TextReader check = InMemory(lines, c.parameters);
    LoadParameters(check, p);
    RequireComputableParameters(p, c.parameters);
  }
  return lines;
}

std::vector<std::string> TemplateOr(const std::string& path, const std::vector<std::string>& fallback) {
  if (path.empty()) return fallback;
  std::vector<std::string> lines;
  TextReader reader(path, path);
  while (!reader.AtEnd()) lines.push_back(reader.ReadLine());
  return lines;
}

// The latitude of the middle of the basin, when its coordinate system is known.
bool BasinLatitude(const GridFrame& f, const std::vector<SubBasinCells>& basins, double& latitude) {
  if (f.crsWkt.empty()) return false;
  int r0 = f.rows, r1 = 0, c0 = f.cols, c1 = 0;
  for (const SubBasinCells& b : basins) {
    r0 = std::min(r0, b.r0);
    r1 = std::max(r1, b.r1);
    c0 = std::min(c0, b.c0);
    c1 = std::max(c1, b.c1);
  }
  Srs from = SrsFromWkt(f.crsWkt), to = SrsFromWkt(CrsFromText("EPSG:4326", "", 0));
  OGRCoordinateTransformationH h = OCTNewCoordinateTransformation(static_cast<OGRSpatialReferenceH>(from.get()),
                                                                  static_cast<OGRSpatialReferenceH>(to.get()));
  if (!h) return false;
  double x = (f.CentreX(c0) + f.CentreX(c1)) / 2, y = (f.CentreY(r0) + f.CentreY(r1)) / 2;
  const bool ok = OCTTransform(h, 1, &x, &y, nullptr) != 0;
  OCTDestroyCoordinateTransformation(h);
  latitude = std::round(y * 10) / 10;
  return ok;
}

std::string Shown(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// Every day's value of a table column within its quantity's range; noDataKey names the
// configuration key that declares the table's no-data value.
void RequireDailyRange(const Table& t, int column, const DailyValues& v, DailyQuantity q, const std::string& what,
                       const std::string& noDataKey) {
  for (std::size_t i = 0; i < v.values.size(); ++i) {
    if (std::isnan(v.values[i])) continue;
    const std::string problem = DailyValueProblem(q, v.values[i]);
    if (problem.empty()) continue;
    const std::string header = static_cast<std::size_t>(column) < t.Header().size()
                                   ? " (" + t.Header()[static_cast<std::size_t>(column)] + ")"
                                   : "";
    throw InputError(t.Name(), v.lines[i],
                     "the " + what + " " + Shown(v.values[i]) + " in column " + std::to_string(column + 1) + header +
                         " on " + IsoDate(v.first + std::chrono::days(static_cast<long>(i))) + " " + problem +
                         (v.values[i] < 0 ? " (declare it with " + noDataKey + ")" : ""));
  }
}

// What the import writes of one sub-basin.
struct SubBasinFiles {
  std::vector<std::string> terrain, landUse, slope, met;
  GridGeoref georef;
};

// Every file about to be written, read from memory by the readers a check and a run use:
// what they would refuse is refused now, before anything is written. The checks of the
// values at their sources name the source; this is the guarantee behind them.
void ReadAsTheModelWill(const std::string& workspace, const std::vector<SubBasinCells>& basins,
                        const std::vector<SubBasinFiles>& files, const std::vector<std::string>& list,
                        const std::vector<std::string>& river, const std::vector<std::string>& params,
                        const std::vector<std::string>& season, int y0, int y1) {
  {
    Session scratch(workspace);
    TextReader r = InMemory(list, "input/子流域.in");
    LoadSubBasinList(scratch, r);
  }
  {
    TextReader r = InMemory(params, "Parameters/当前参数文件.txt");
    ParameterSet p;
    LoadParameters(r, p);
    RequireComputableParameters(p, r.Name());
  }
  {
    TextReader r = InMemory(season, "Parameters/season.txt");
    ParseSeasonDays(r);
  }
  for (std::size_t k = 0; k < basins.size(); ++k) {
    const std::string dir = "input/" + basins[k].entry.name + "/";
    TextReader t = InMemory(files[k].terrain, dir + kPathLines[0]);
    const GridFile terrain = ParseGridFile(t, true);
    TextReader l = InMemory(files[k].landUse, dir + kPathLines[1]);
    const GridFile land = ParseGridFile(l, false);
    if (land.rows != terrain.rows || land.cols != terrain.cols)
      throw InputError(l.Name(), 2, "the land-use grid would not have the terrain grid's size");
    TextReader sl = InMemory(files[k].slope, dir + kPathLines[4]);
    ParseSlopeValues(sl, terrain.rows, terrain.cols);
    const bool inside = std::any_of(terrain.values.begin(), terrain.values.end(),
                                    [](double z) { return z > 0 && z < kNoDataLimit; });
    const bool area = std::any_of(land.values.begin(), land.values.end(), [](double v) { return v < 150; });
    if (!inside || !area) throw InputError(t.Name(), 0, "the sub-basin would have no cell inside the basin");
    TextReader m = InMemory(files[k].met, dir + kPathLines[2]);
    for (int y = y0; y <= y1; ++y)
      if (ReadMetBlock(m).year != y) throw InputError(m.Name(), 0, "the year blocks would not follow each other");
  }
  TextReader r = InMemory(river, "input/RiverDaily.in");
  for (int y = y0; y <= y1; ++y) ReadOutletBlock(y, YearLength(y), r);
}

}  // namespace

ImportReport RunImport(const ImportOptions& options, std::ostream& out) {
  InitGdal();
  const ImportConfig c = ReadImportConfig(options.config, options.config);
  const std::vector<SubBasinEntry> specs = ReadSubBasins(c.subBasins);
  // One stated code stands for a land-cover raster of one class.
  const std::map<long, int> classes = c.landUseCode > 0 ? std::map<long, int>{{1, c.landUseCode}}
                                                        : ReadClasses(c.landCoverClasses);

  // Rasters onto one grid.
  const Raster terrainSource = ReadRaster(c.terrain, c.terrain, c.sourceCrs);
  const GridFrame target = TargetGrid(c, terrainSource);
  const Raster terrain = OnGrid(terrainSource, target, Resampling::Bilinear);
  if (terrain.DataCells() == 0) throw InputError(c.terrain, 0, "the terrain raster has no value on the target grid");
  Raster land;
  if (c.landUseCode > 0) {
    land = terrain;
    std::fill(land.values.begin(), land.values.end(), 1.0);
    land.hasNoData = false;
    land.name = "land_use_code";
  } else {
    land = OnTarget(c.landCover, c.sourceCrs, target, Resampling::Mode, c.terrain);
  }
  Raster slope;
  if (c.slope.empty()) {
    slope = HornSlope(terrain);
  } else {
    slope = OnTarget(c.slope, c.sourceCrs, target, Resampling::Bilinear, c.terrain);
    if (c.slopeInPercent)
      for (std::size_t i = 0; i < slope.values.size(); ++i)
        if (slope.IsData(i)) slope.values[i] = std::atan(slope.values[i] / 100.0) * 180.0 / 3.14159265358979323846;
  }
  std::vector<Outlet> outlets;
  const std::vector<int> ids = SubBasinIds(c, specs, target, c.terrain, outlets);

  // Each listed sub-basin's cells, checked: an elevation above 0, a mapped land-cover class
  // and a slope in every one.
  std::vector<SubBasinCells> basins;
  std::map<int, std::size_t> byId;
  for (const SubBasinEntry& s : specs) {
    byId[s.id] = basins.size();
    basins.push_back({s, {}, target.rows, -1, target.cols, -1});
  }
  const std::string idSource = c.subBasinRaster.empty() ? c.outlets : c.subBasinRaster;
  std::vector<int> owner(target.Cells(), -1);  // index of the sub-basin a cell belongs to
  std::vector<double> codes(target.Cells(), 0);
  for (std::size_t i = 0; i < ids.size(); ++i) {
    auto it = byId.find(ids[i]);
    if (ids[i] == 0 || it == byId.end()) continue;
    SubBasinCells& b = basins[it->second];
    auto where = [&] { return CellText(target, i) + " of sub-basin " + b.entry.name; };
    if (!terrain.IsData(i)) throw InputError(c.terrain, 0, "no elevation at " + where());
    // Beyond any land: a no-data value the raster does not declare (32767 or -32768 of a
    // 16-bit grid), or another unit. A slope computed from the terrain takes the cells around.
    const int row = static_cast<int>(i / static_cast<std::size_t>(target.cols));
    const int column = static_cast<int>(i % static_cast<std::size_t>(target.cols));
    for (int dr = -1; dr <= 1; ++dr)
      for (int dc = -1; dc <= 1; ++dc) {
        const int r2 = row + dr, c2 = column + dc;
        if ((dr != 0 || dc != 0) && (!c.slope.empty() || r2 < 0 || c2 < 0 || r2 >= target.rows || c2 >= target.cols))
          continue;
        const std::size_t j = static_cast<std::size_t>(r2) * static_cast<std::size_t>(target.cols) +
                              static_cast<std::size_t>(c2);
        const double z = terrain.values[j];
        if (!terrain.IsData(j) || (z >= kLowestElevation && z <= kHighestElevation)) continue;
        throw InputError(
            c.terrain, 0,
            "the elevation " + Shown(z) + " m at " + CellText(target, j) +
                (j == i ? " of sub-basin " + b.entry.name : ", beside " + where() + " and so in its slope,") +
                " lies beyond any land on Earth (" + Shown(kLowestElevation) + " to " + Shown(kHighestElevation) +
                " m): a no-data value the raster does not declare, or another unit");
      }
    if (!(terrain.values[i] > 0) || terrain.values[i] >= 2e30)
      throw InputError(c.terrain, 0,
                       "the elevation " + CompactReal(terrain.values[i], 2) + " at " + where() +
                           " is not above 0, which the model takes for a cell outside the basin");
    if (!land.IsData(i)) throw InputError(c.landCover, 0, "no land-cover class at " + where());
    const double cls = land.values[i];
    auto code = cls == std::floor(cls) && std::fabs(cls) < 1e15 ? classes.find(static_cast<long>(cls)) : classes.end();
    if (code == classes.end())
      throw InputError(c.landCoverClasses, 0,
                       "the land-cover class " + CompactReal(cls, 6) + " (in " + c.landCover + " at " + where() +
                           ") is not mapped to a land-use code");
    if (!slope.IsData(i) || slope.values[i] < 0)
      throw InputError(c.slope.empty() ? c.terrain : c.slope, 0, "no slope at " + where());
    if (slope.values[i] > kSteepestSlope)
      throw InputError(c.slope, 0,
                       "the slope " + Shown(slope.values[i]) + " at " + where() + " is steeper than " +
                           Shown(kSteepestSlope) + " degrees" +
                           (c.slopeInPercent ? "" : ": a slope in percent? (slope_units = percent)"));
    codes[i] = code->second;
    owner[i] = static_cast<int>(it->second);
    const int r = static_cast<int>(i / static_cast<std::size_t>(target.cols));
    const int col = static_cast<int>(i % static_cast<std::size_t>(target.cols));
    b.cells.push_back(i);
    b.r0 = std::min(b.r0, r);
    b.r1 = std::max(b.r1, r);
    b.c0 = std::min(b.c0, col);
    b.c1 = std::max(b.c1, col);
  }
  long totalCells = 0;
  ImportReport report;
  const double cellKm2 = target.cellWidth * target.cellHeight / 1e6;
  for (const SubBasinCells& b : basins) {
    if (b.cells.empty())
      throw InputError(
          c.subBasins, b.entry.line,
          "the sub-basin " + std::to_string(b.entry.id) + " (" + b.entry.name + ") has no cell in " + idSource);
    totalCells += static_cast<long>(b.cells.size());
    // An outlet beside its river drains a sliver of hillside: a basin far smaller than meant.
    const double area = static_cast<double>(b.cells.size()) * cellKm2;
    const std::string named = "the sub-basin " + std::to_string(b.entry.id) + " (" + b.entry.name + ")";
    const auto outlet = std::find_if(outlets.begin(), outlets.end(),
                                     [&](const Outlet& o) { return o.id == b.entry.id; });
    if (area < c.minSubBasinAreaKm2)
      throw InputError(outlet != outlets.end() ? c.outlets : c.subBasins,
                       outlet != outlets.end() ? outlet->line : b.entry.line,
                       named + " has " + Shown(area) + " km2 (" + std::to_string(b.cells.size()) +
                           " cells), less than min_sub_basin_area_km2 = " + Shown(c.minSubBasinAreaKm2) + " km2" +
                           (outlet != outlets.end() ? ": does its outlet lie beside the river?" : ""));
    // The stated area is the gauge's drainage area: its sub-basin and every one above it.
    const double drains = outlet != outlets.end() ? static_cast<double>(outlet->accumulation) * cellKm2 : 0;
    if (outlet != outlets.end() && outlet->areaKm2 > 0 && std::fabs(drains - outlet->areaKm2) > 0.2 * outlet->areaKm2)
      report.warnings.push_back(
          c.outlets + " line " + std::to_string(outlet->line) + ": the outlet of " + named + " drains " +
          Shown(drains) + " km2, " + Shown(std::round(std::fabs(drains / outlet->areaKm2 - 1) * 100)) +
          " % off the stated area_km2 " + Shown(outlet->areaKm2) + ": does the outlet lie on the river it gauges?");
    const std::string negative = NegativeMuskingumCoefficient(b.entry.k, b.entry.x);
    if (!negative.empty())
      report.warnings.push_back(c.subBasins + " line " + std::to_string(b.entry.line) + ": " + named +
                                ": Muskingum K = " + b.entry.kText + " h and x = " + b.entry.xText +
                                " give a negative routing coefficient " + negative +
                                ": the routed discharge can fall below zero (K x at most 12 h and (1 - x) K at "
                                "least 12 h keep every coefficient at 0 or above)");
  }

  // The period and the daily series.
  int y0 = 0, y1 = 0;
  std::vector<DailyWeather> weather(basins.size());
  std::optional<GriddedWeather> precipGrid, tempGrid;
  std::vector<Table> weatherTables;
  if (c.Gridded()) {
    const std::string crs = !c.netcdfCrs.empty() ? c.netcdfCrs : !c.sourceCrs.empty() ? c.sourceCrs : target.crsWkt;
    precipGrid = GriddedWeather::Open(c.precipitationNetcdf, c.precipitationNetcdf, c.precipitationVariable,
                                      WeatherQuantity::Precipitation, c.netcdfCoordinates, crs);
    tempGrid = GriddedWeather::Open(c.temperatureNetcdf, c.temperatureNetcdf, c.temperatureVariable,
                                    WeatherQuantity::Temperature, c.netcdfCoordinates, crs);
    WholeYears(std::max(precipGrid->FirstDay(), tempGrid->FirstDay()),
               std::min(precipGrid->LastDay(), tempGrid->LastDay()), c.precipitationNetcdf, y0, y1);
  } else {
    Day first = Day::min(), last = Day::max();
    for (const SubBasinCells& b : basins) {
      const std::string path = c.file.ExistingPath("weather_table", Fill(c.weatherTable->path, b.entry));
      weatherTables.push_back(Table::Read(path, path, c.weatherTable->format));
      const Table& t = weatherTables.back();
      if (t.Rows() == 0) throw InputError(path, 0, "the table holds no day");
      Day lo = Day::max(), hi = Day::min();
      for (std::size_t r = 0; r < t.Rows(); ++r) {
        const Day d = t.Date(r);
        lo = std::min(lo, d);
        hi = std::max(hi, d);
      }
      first = std::max(first, lo);
      last = std::min(last, hi);
    }
    if (first > last) throw InputError(c.file.Name(), c.file.Line("weather_table"), "the weather tables share no day");
    WholeYears(first, last, c.file.Name(), y0, y1);
  }
  if (c.firstYear) {
    y0 = *c.firstYear;
    y1 = *c.lastYear;
  }
  const Day first = MakeDay(y0, 1, 1), last = MakeDay(y1, 12, 31);
  const std::size_t days = static_cast<std::size_t>((last - first).count() + 1);
  const double nan = std::numeric_limits<double>::quiet_NaN();

  std::vector<double> outletFlow(days, nan), outletConc(days, nan);
  if (c.discharge) {
    Table t = Table::Read(c.discharge->path, c.discharge->path, c.discharge->format);
    const int column = t.Column(c.dischargeColumn, "the discharge");
    const DailyValues v = ReadDaily(t, column, first, last);
    RequireDailyRange(t, column, v, DailyQuantity::Discharge, "discharge", "discharge_no_data");
    outletFlow = v.values;
  }
  if (c.sediment) {
    Table t = Table::Read(c.sediment->path, c.sediment->path, c.sediment->format);
    const int column = t.Column(c.sedimentColumn, "the sediment concentration");
    const DailyValues v = ReadDaily(t, column, first, last);
    RequireDailyRange(t, column, v, DailyQuantity::Concentration, "sediment concentration", "sediment_no_data");
    outletConc = v.values;
  } else if (c.sedimentConcentration) {
    outletConc.assign(days, *c.sedimentConcentration);
  }

  for (std::size_t k = 0; k < basins.size(); ++k) {
    const SubBasinCells& b = basins[k];
    DailyWeather& w = weather[k];
    const std::string what = "sub-basin " + b.entry.name;
    if (c.Gridded()) {
      w.precip = precipGrid->Series(precipGrid->Weights(target, b.cells, what), first, last);
      w.temp = tempGrid->Series(tempGrid->Weights(target, b.cells, what), first, last);
    } else {
      const Table& t = weatherTables[k];
      auto column = [&](const std::string& name, const std::string& role, DailyQuantity q, const std::string& said) {
        const int col = t.Column(name, role);
        DailyValues v = ReadDaily(t, col, first, last);
        if (q == DailyQuantity::Precipitation || q == DailyQuantity::Temperature) RequireEveryDay(t, v, said);
        RequireDailyRange(t, col, v, q, said, "weather_table_no_data");
        return v.values;
      };
      w.precip = column(c.weatherPrecipitation, "the precipitation", DailyQuantity::Precipitation, "precipitation");
      w.temp = column(c.weatherTemperature, "the air temperature", DailyQuantity::Temperature, "air temperature");
      if (!c.weatherDischarge.empty())
        w.flow = column(c.weatherDischarge, "the discharge", DailyQuantity::Discharge, "discharge");
      if (!c.weatherSediment.empty())
        w.conc = column(c.weatherSediment, "the sediment concentration", DailyQuantity::Concentration,
                        "sediment concentration");
    }
    // A sub-basin without its own gauge: the outlet's discharge by its share of the area
    // (an estimate, not an observation), the outlet's concentration.
    if (c.subBasinDischarge == SubBasinDischarge::AreaShare) {
      const double share = static_cast<double>(b.cells.size()) / static_cast<double>(totalCells);
      w.flow.resize(days);
      for (std::size_t d = 0; d < days; ++d) w.flow[d] = outletFlow[d] * share;
      if (w.conc.empty()) w.conc = outletConc;
    }
    if (w.flow.empty()) w.flow.assign(days, nan);
    if (w.conc.empty()) w.conc.assign(days, nan);
  }

  // Grid texts and figures of each sub-basin.
  report.firstYear = y0;
  report.lastYear = y1;
  for (double v : outletFlow) report.outletDischargeGaps += std::isnan(v) ? 1 : 0;
  for (double v : outletConc) report.outletSedimentGaps += std::isnan(v) ? 1 : 0;
  using Files = SubBasinFiles;
  std::vector<Files> files(basins.size());
  for (std::size_t k = 0; k < basins.size(); ++k) {
    const SubBasinCells& b = basins[k];
    Files& out1 = files[k];
    double zLo = 1e300, zHi = -1e300, sLo = 1e300, sHi = -1e300, sum = 0;
    long long cLo = 1000, cHi = 0;
    auto round2 = [](double v) { return std::round(v * 100) / 100; };
    for (std::size_t i : b.cells) {
      const double z = round2(terrain.values[i]);
      zLo = std::min(zLo, z);
      zHi = std::max(zHi, z);
      sum += z;
      sLo = std::min(sLo, round2(slope.values[i]));
      sHi = std::max(sHi, round2(slope.values[i]));
      cLo = std::min(cLo, static_cast<long long>(codes[i]));
      cHi = std::max(cHi, static_cast<long long>(codes[i]));
    }
    ImportedSubBasin r;
    r.id = b.entry.id;
    r.name = b.entry.name;
    r.rows = b.r1 - b.r0 + 1;
    r.cols = b.c1 - b.c0 + 1;
    r.cells = static_cast<long>(b.cells.size());
    r.areaKm2 = static_cast<double>(r.cells) * target.cellWidth * target.cellHeight / 1e6;
    for (const Outlet& o : outlets)
      if (o.id == r.id) r.outletMovedMetres = o.movedMetres, r.outletAccumulation = o.accumulation;
    r.stationElevation = b.entry.stationElevation ? *b.entry.stationElevation
                         : c.stationElevation     ? *c.stationElevation
                                                  : static_cast<int>(std::lround(sum / static_cast<double>(r.cells)));
    for (double v : weather[k].flow) r.dischargeGaps += std::isnan(v) ? 1 : 0;
    // The terrain's z maximum lies above the highest cell: a cell at or above it would lose
    // its groundwater conductivity.
    out1.terrain = DsaaLines(
        b, target, static_cast<long long>(std::floor(zLo)), static_cast<long long>(std::floor(zHi)) + 1,
        [&](std::size_t i) { return CompactReal(terrain.values[i], 2); }, owner, static_cast<int>(k), kOutsideTerrain);
    out1.landUse = DsaaLines(
        b, target, cLo, cHi, [&](std::size_t i) { return std::to_string(static_cast<int>(codes[i])); }, owner,
        static_cast<int>(k), kOutsideLandUse);
    out1.slope = DsaaLines(
        b, target, static_cast<long long>(std::floor(sLo)), static_cast<long long>(std::floor(sHi)) + 1,
        [&](std::size_t i) { return CompactReal(slope.values[i], 2); }, owner, static_cast<int>(k), kOutsideSlope);
    out1.georef.rows = r.rows;
    out1.georef.cols = r.cols;
    out1.georef.west = target.west + target.cellWidth * b.c0;
    out1.georef.south = target.north - target.cellHeight * (b.r1 + 1);
    out1.georef.cellWidth = target.cellWidth;
    out1.georef.cellHeight = target.cellHeight;
    out1.georef.crsWkt = target.crsWkt;
    // The meteorological file: a block per year, header "year months start-day 1 station
    // elevation", then "year month day 0 P T Q C" per day.
    const DailyWeather& w = weather[k];
    for (int y = y0; y <= y1; ++y) {
      out1.met.push_back(std::to_string(y) + " 12 1 1 " + std::to_string(r.stationElevation));
      for (Day d = MakeDay(y, 1, 1); d <= MakeDay(y, 12, 31); d += std::chrono::days(1)) {
        const std::size_t i = static_cast<std::size_t>((d - first).count());
        out1.met.push_back(std::to_string(y) + " " + std::to_string(MonthOf(d)) + " " +
                           std::to_string(DayOfMonthOf(d)) + " 0 " + Fixed(w.precip[i], 2) + " " + Fixed(w.temp[i], 2) +
                           " " + Observation(w.flow[i], 3) + " " + Observation(w.conc[i], 4));
      }
    }
    report.subBasins.push_back(r);
  }
  std::vector<std::string> river;
  for (int y = y0; y <= y1; ++y) {
    river.push_back(std::to_string(y) + "年 日期 流量(m3/s) 含沙量(kg/m3)");
    for (Day d = MakeDay(y, 1, 1); d <= MakeDay(y, 12, 31); d += std::chrono::days(1)) {
      const std::size_t i = static_cast<std::size_t>((d - first).count());
      river.push_back(IsoDate(d) + " " + Observation(outletFlow[i], 3) + " " + Observation(outletConc[i], 4));
    }
  }
  double latitude = c.latitude.value_or(0);
  const bool latitudeKnown = c.latitude.has_value() ||
                             (c.parameters.empty() && BasinLatitude(target, basins, latitude));
  const std::vector<std::string> params = ParameterLines(c, y1 - y0 + 1, latitude, latitudeKnown);
  const std::vector<std::string> slopeClr = TemplateOr(c.slopeColours, kSlopeColours);
  const std::vector<std::string> terrainClr = TemplateOr(c.terrainColours, kTerrainColours);
  const std::vector<std::string> landUseClr = TemplateOr(c.landUseColours, kLandUseColours);
  std::vector<std::string> list{std::to_string(basins.size())};
  for (const SubBasinCells& b : basins) list.push_back(b.entry.name + " " + b.entry.kText + " " + b.entry.xText);
  const std::vector<std::string> season{"生长季节 起 满 落 止", c.seasonDays};
  try {
    ReadAsTheModelWill(options.workspace, basins, files, list, river, params, season, y0, y1);
  } catch (const TarnwellError& e) {
    throw InputError(c.file.Name(), 0,
                     std::string("the workspace made from it would not pass the model's readers: ") + e.what());
  }

  // Everything is checked: now the workspace, built beside the old one and swapped in whole.
  std::vector<std::string> sources{
      options.config,      c.terrain,       c.landCover,    c.landCoverClasses, c.slope,
      c.subBasinRaster,    c.flowDirection, c.outlets,      c.subBasins,        c.precipitationNetcdf,
      c.temperatureNetcdf, c.parameters,    c.slopeColours, c.terrainColours,   c.landUseColours};
  for (const Table& t : weatherTables) sources.push_back(t.Name());
  if (c.discharge) sources.push_back(c.discharge->path);
  if (c.sediment) sources.push_back(c.sediment->path);
  StagedWorkspace staged(options.workspace, options.replace, sources);
  const Workspace& ws = staged.Ws();
  for (std::size_t k = 0; k < basins.size(); ++k) {
    const std::string dir = "input/" + basins[k].entry.name;
    staged.Write(dir + "/" + kPathLines[0], files[k].terrain);
    staged.Write(dir + "/" + kPathLines[1], files[k].landUse);
    staged.Write(dir + "/" + kPathLines[4], files[k].slope);
    staged.Write(dir + "/" + kPathLines[2], files[k].met);
    WriteGeorefFile(staged.Staged(dir), dir, files[k].georef);
  }
  staged.Write("input/子流域.in", list);
  staged.Write("input/RiverDaily.in", river);
  staged.Write("Parameters/当前参数文件.txt", params);
  staged.Write("Parameters/缺省参数文件.txt", params);
  staged.Write("Parameters/当前路径文件.txt", kPathLines);
  staged.Write("Parameters/缺省路径文件.txt", kPathLines);
  staged.Write("Parameters/season.txt", season);
  staged.Write("Parameters/slope.clr", slopeClr);
  staged.Write("Parameters/land.clr", terrainClr);
  staged.Write("Parameters/landuse.clr", landUseClr);
  staged.Commit();

  // What was made.
  char buf[256];
  std::snprintf(buf, sizeof buf, "grid: %d x %d cells of %s x %s, coordinate system %s; slope %s\n", target.rows,
                target.cols, CompactReal(target.cellWidth, 6).c_str(), CompactReal(target.cellHeight, 6).c_str(),
                CrsLabel(target.crsWkt).c_str(),
                c.slope.empty()    ? "from the terrain (Horn)"
                : c.slopeInPercent ? "from percent"
                                   : "as given");
  out << buf;
  std::snprintf(buf, sizeof buf, "%-4s %s %11s %9s %12s %9s %11s %6s\n", "No.", PadToColumns("Name", 16).c_str(),
                "Rows x Cols", "Cells", "Area (km2)", "Elev. (m)", "Years", "Gaps");
  out << buf;
  for (std::size_t k = 0; k < report.subBasins.size(); ++k) {
    const ImportedSubBasin& r = report.subBasins[k];
    const std::string size = std::to_string(r.rows) + " x " + std::to_string(r.cols);
    const std::string years = std::to_string(y0) + "-" + std::to_string(y1);
    std::snprintf(buf, sizeof buf, "%-4zu %s %11s %9ld %12.3f %9d %11s %6d\n", k + 1, PadToColumns(r.name, 16).c_str(),
                  size.c_str(), r.cells, r.areaKm2, r.stationElevation, years.c_str(), r.dischargeGaps);
    out << buf;
  }
  std::snprintf(buf, sizeof buf,
                "basin outlet (input/RiverDaily.in): %zu days, %d without discharge, %d without sediment "
                "concentration (written as -999)\n",
                days, report.outletDischargeGaps, report.outletSedimentGaps);
  out << buf;
  if (!c.flowDirection.empty() && c.outletSnapRadius > 0)
    for (const ImportedSubBasin& r : report.subBasins) {
      std::snprintf(
          buf, sizeof buf, "outlet %d (%s): moved %s m to the largest flow accumulation within %d cells (%ld cells)\n",
          r.id, r.name.c_str(), CompactReal(r.outletMovedMetres, 1).c_str(), c.outletSnapRadius, r.outletAccumulation);
      out << buf;
    }
  for (const std::string& w : report.warnings) out << "warning: " << w << "\n";
  out << "written to " << ws.Root().string() << "\n";
  return report;
}

}  // namespace tarnwell::geo
