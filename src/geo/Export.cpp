#include "geo/Export.h"

#include <netcdf.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/Session.h"
#include "app/Startup.h"
#include "app/WorkspaceLock.h"
#include "geo/GeoSupport.h"
#include "geo/Georef.h"
#include "geo/NetcdfFile.h"
#include "geo/OutputFiles.h"
#include "geo/Raster.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "results/Format.h"
#include "results/Statistic.h"

namespace tarnwell::geo {

namespace fs = std::filesystem;

namespace {

// A column of the output files: its name in the export, its unit (UDUNITS) and meaning.
struct Column {
  const char* name;
  const char* units;
  const char* longName;
  const char* cellMethods;  // for budget columns: how the period's days are combined
};

// "Daily.out", "Daily_s.out", "Daily_f.out" in file order.
const Column kDaily[] = {
    {"Precip", "mm", "precipitation, mean over the cells", nullptr},
    {"Intercep", "mm", "canopy interception, mean over the cells", nullptr},
    {"PET", "mm", "potential evapotranspiration", nullptr},
    {"AET", "mm", "actual evapotranspiration, mean over the cells", nullptr},
    {"Uzone1", "mm", "soil water of layer 1, mean over the cells", nullptr},
    {"Uzone2", "mm", "soil water of layer 2, mean over the cells", nullptr},
    {"Uzone3", "mm", "soil water of layer 3, mean over the cells", nullptr},
    {"U_drain", "mm", "drainage below the soil layers, mean over the cells", nullptr},
    {"Subflow", "mm", "interflow, mean over the cells", nullptr},
    {"G_Flow", "mm", "groundwater outflow", nullptr},
    {"Si_flow", "mm", "simulated runoff depth", nullptr},
    {"Re_flow", "mm", "observed runoff depth", nullptr},
    {"G_drain", "mm", "routed groundwater flow plus deep leakage", nullptr},
    {"G_Stable", "m", "mean water table relative to the mean surface (negative below it)", nullptr},
    {"Si_errosion", "t", "soil erosion summed over the cells", nullptr},
    {"Re_chansha", "t", "observed sediment load", nullptr},
    {"Si_chansha", "t", "simulated sediment load at the outlet", nullptr},
    {"Sediment", "t", "channel sediment store after the day", nullptr},
    {"SnowPack", "mm", "snow pack, mean over the cells", nullptr},
    {"FrostSoil", "mm", "frozen soil depth, mean over the cells", nullptr},
    {"AirTemp", "degC", "air temperature at the mean elevation", nullptr},
    {"GroundWater", "m", "mean water table relative to the mean surface (negative below it)", nullptr},
};
constexpr std::size_t kSiFlow = 10, kReFlow = 11;
// The whole basin's Si_flow and Re_flow are discharges at the outlet.
const Column kOutletFlow[] = {
    {"Si_flow_outlet", "m3 s-1", "simulated discharge at the basin outlet (routed sum of the sub-basins)", nullptr},
    {"Re_flow_outlet", "m3 s-1", "observed discharge at the basin outlet", nullptr},
};
// "Budget.out" (N, then 12 values) and "Budget_s.out" (its 8 values after N).
const Column kBudget[] = {
    {"days", "d", "number of simulated days (N)", nullptr},
    {"measured_mean_flow", "mm", "mean observed runoff depth", "time: mean"},
    {"simulated_mean_flow", "mm", "mean simulated runoff depth", "time: mean"},
    {"mean_diff_flow", "mm", "mean simulated minus mean observed runoff depth", "time: mean"},
    {"stdev_diff_flow", "mm2", "difference statistic of the daily runoff depths (ST.DEV. OF DIFF.)", nullptr},
    {"corr_coef_flow", "1", "correlation of observed and simulated daily runoff depth", nullptr},
    {"total_measured_flow", "mm", "total observed runoff depth", "time: sum"},
    {"total_simulated_flow", "mm", "total simulated runoff depth", "time: sum"},
    {"precip", "mm", "total precipitation", "time: sum"},
    {"aet", "mm", "total actual evapotranspiration", "time: sum"},
    {"intercep", "mm", "total interception", "time: sum"},
    {"soil_drain", "mm", "total drainage below the soil layers", "time: sum"},
    {"ground_water_flow", "mm", "total groundwater outflow", "time: sum"},
    {"measured_mean_sediment", "t", "mean observed daily sediment load", "time: mean"},
    {"simulated_mean_sediment", "t", "mean simulated daily sediment load", "time: mean"},
    {"mean_diff_sediment", "t", "mean simulated minus mean observed sediment load", "time: mean"},
    {"stdev_diff_sediment", "t2", "difference statistic of the daily sediment loads (ST.DEV. OF DIFF.)", nullptr},
    {"corr_coef_sediment", "1", "correlation of observed and simulated daily sediment load", nullptr},
    {"total_measured_sediment", "t", "total observed sediment load", "time: sum"},
    {"total_simulated_sediment", "t", "total simulated sediment load", "time: sum"},
    {"total_erosion", "t", "total soil erosion", "time: sum"},
};
constexpr std::size_t kDailyColumns = std::size(kDaily), kBudgetColumns = std::size(kBudget);

// A CSV name: the column's name and its unit.
std::string CsvName(const Column& c) {
  std::string u = c.units;
  if (u == "1" || u == "d") return c.name;
  if (u == "m3 s-1") u = "m3s";
  return std::string(c.name) + "_" + u;
}

struct Station {
  std::string label;  // "subbasin1", ..., "basin"
  std::string name, directory;
  double areaKm2 = 0;
  bool basin = false;
  StationResults results;
};

// One merged daily row: the 22 values of a date (empty where a file has no row).
using DailyTable = std::map<Day, std::vector<std::string>>;
DailyTable MergeDaily(const StationResults& r) {
  DailyTable t;
  auto add = [&](const std::vector<DayRow>& rows, std::size_t at) {
    for (const DayRow& row : rows) {
      std::vector<std::string>& v = t[row.date];
      v.resize(kDailyColumns);
      for (std::size_t i = 0; i < row.values.size(); ++i) v[at + i] = row.values[i];
    }
  };
  add(r.daily, 0);
  add(r.sediment, 14);
  add(r.frozen, 18);
  return t;
}

// Budget rows by period (year, month; month 0 the year): N and 20 values.
using BudgetTable = std::map<std::pair<int, int>, std::vector<std::string>>;
BudgetTable MergeBudget(const StationResults& r) {
  BudgetTable t;
  for (const BudgetRow& row : r.budget) {
    std::vector<std::string>& v = t[{row.year, row.month}];
    v.resize(kBudgetColumns);
    for (std::size_t i = 0; i < row.values.size(); ++i) v[i] = row.values[i];
  }
  for (const BudgetRow& row : r.sedimentBudget) {
    std::vector<std::string>& v = t[{row.year, row.month}];
    v.resize(kBudgetColumns);
    if (v[0].empty()) v[0] = row.values[0];
    for (std::size_t i = 1; i < row.values.size(); ++i) v[12 + i] = row.values[i];
  }
  return t;
}

std::string PeriodText(int year, int month) {
  return month == 0 ? std::to_string(year) : Printf("%04d-%02d", year, month);
}

// Writes text to a temporary name and renames it, so the file of that name is whole.
void WriteText(const fs::path& path, const std::string& display, const std::string& text) {
  const fs::path part = path.string() + ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      std::error_code ec;
      fs::remove(part, ec);
      throw FileError(display, 0, "cannot write the file");
    }
  }
  std::error_code ec;
  fs::rename(part, path, ec);
  if (ec) throw FileError(display, 0, "cannot write the file: " + ec.message());
}

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

void WriteCsvFiles(const Station& s, const fs::path& dir, const std::string& displayDir,
                   std::vector<std::string>& written) {
  std::string text = "date";
  // The whole basin's Si_flow and Re_flow: the same names, in m3/s.
  for (std::size_t i = 0; i < kDailyColumns; ++i)
    text += "," +
            (s.basin && (i == kSiFlow || i == kReFlow) ? std::string(kDaily[i].name) + "_m3s" : CsvName(kDaily[i]));
  text += "\n";
  for (const auto& [day, values] : MergeDaily(s.results)) {
    text += IsoDate(day);
    for (const std::string& v : values) text += "," + v;
    text += "\n";
  }
  const std::string daily = s.label + "_daily.csv";
  WriteText(dir / daily, displayDir + "/" + daily, text);
  written.push_back(displayDir + "/" + daily);

  const BudgetTable budget = MergeBudget(s.results);
  for (const bool annual : {false, true}) {
    std::string t = annual ? "year" : "month";
    for (const Column& c : kBudget) t += "," + CsvName(c);
    t += "\n";
    for (const auto& [period, values] : budget) {
      if ((period.second == 0) != annual) continue;
      t += PeriodText(period.first, period.second);
      for (const std::string& v : values) t += "," + v;
      t += "\n";
    }
    const std::string name = s.label + (annual ? "_annual.csv" : "_monthly.csv");
    WriteText(dir / name, displayDir + "/" + name, t);
    written.push_back(displayDir + "/" + name);
  }
}

double Number(const std::string& s) {
  double v = 0;
  ParseReal(s, v);
  return v;
}

// The CF-1.8 header shared by the three series files: station and time dimensions, the
// station's name, number and area, the time axis counted in days from the first year.
struct SeriesFile {
  NetcdfFile nc;
  int station = -1, time = -1, timeVar = -1, boundsVar = -1;
};

SeriesFile StartSeriesFile(const fs::path& path, const std::string& display, const std::vector<Station>& stations,
                           std::size_t times, int firstYear, const std::string& what, bool bounds) {
  SeriesFile f{NetcdfFile::Create(path.string(), display)};
  NetcdfFile& nc = f.nc;
  nc.PutText(NC_GLOBAL, "Conventions", "CF-1.8");
  nc.PutText(NC_GLOBAL, "featureType", "timeSeries");
  nc.PutText(NC_GLOBAL, "title", what + " of every sub-basin and of the whole basin");
  nc.PutText(NC_GLOBAL, "source",
             "Tarnwell output files (Daily.out, Daily_s.out, Daily_f.out, Budget.out, Budget_s.out)");
  f.station = nc.AddDimension("station", stations.size());
  f.time = nc.AddDimension("time", times);
  std::size_t longest = 1;
  for (const Station& s : stations) longest = std::max(longest, s.name.size());
  const int strlen = nc.AddDimension("name_strlen", longest);
  f.timeVar = nc.AddVariable("time", NC_INT, {f.time});
  nc.PutText(f.timeVar, "standard_name", "time");
  nc.PutText(f.timeVar, "long_name", bounds ? "first day of the period" : "day");
  nc.PutText(f.timeVar, "units", "days since " + std::to_string(firstYear) + "-01-01 00:00:00");
  nc.PutText(f.timeVar, "calendar", "standard");
  nc.PutText(f.timeVar, "axis", "T");
  if (bounds) {
    const int nv = nc.AddDimension("nv", 2);
    nc.PutText(f.timeVar, "bounds", "time_bnds");
    f.boundsVar = nc.AddVariable("time_bnds", NC_INT, {f.time, nv});
    nc.PutText(f.boundsVar, "long_name", "first day of the period and the day after its last");
    nc.PutText(f.boundsVar, "units", "days since " + std::to_string(firstYear) + "-01-01 00:00:00");
    nc.PutText(f.boundsVar, "calendar", "standard");
  }
  const int name = nc.AddVariable("station_name", NC_CHAR, {f.station, strlen});
  nc.PutText(name, "cf_role", "timeseries_id");
  nc.PutText(name, "_Encoding", "utf-8");
  nc.PutText(name, "long_name", "sub-basin name (全流域: the whole basin at its outlet)");
  const int number = nc.AddVariable("station_number", NC_INT, {f.station});
  nc.PutText(number, "long_name", "sub-basin number in the sub-basin list (0: the whole basin)");
  nc.PutText(number, "units", "1");
  const int area = nc.AddVariable("station_area", NC_DOUBLE, {f.station});
  nc.PutText(area, "long_name", "area of the sub-basin (the whole basin: their sum)");
  nc.PutText(area, "units", "km2");
  nc.EndDefinitions();
  std::vector<int> numbers;
  std::vector<double> areas;
  for (std::size_t k = 0; k < stations.size(); ++k) {
    nc.WriteText(name, {k, 0}, {1, stations[k].name.size()}, stations[k].name);
    numbers.push_back(stations[k].basin ? 0 : static_cast<int>(k + 1));
    areas.push_back(stations[k].areaKm2);
  }
  nc.WriteInts(number, numbers);
  nc.WriteReals(area, areas);
  nc.Check(nc_redef(nc.Id()), "cannot add the variables");
  return f;
}

int AddSeriesVariable(SeriesFile& f, const Column& c) {
  const int v = f.nc.AddVariable(c.name, NC_DOUBLE, {f.station, f.time});
  f.nc.PutText(v, "long_name", c.longName);
  f.nc.PutText(v, "units", c.units);
  f.nc.PutText(v, "coordinates", "station_name");
  if (c.cellMethods) f.nc.PutText(v, "cell_methods", c.cellMethods);
  f.nc.PutReal(v, "_FillValue", NC_FILL_DOUBLE, NC_DOUBLE);
  return v;
}

void WriteNetcdfFiles(const std::vector<Station>& stations, const fs::path& dir, const std::string& displayDir,
                      std::vector<std::string>& written) {
  // Daily: the union of the stations' days.
  std::vector<DailyTable> daily;
  std::set<Day> days;
  for (const Station& s : stations) {
    daily.push_back(MergeDaily(s.results));
    for (const auto& [d, v] : daily.back()) days.insert(d);
  }
  if (days.empty()) throw InputError(displayDir, 0, "the output files hold no day");
  const int firstYear = YearOf(*days.begin());
  const Day origin = MakeDay(firstYear, 1, 1);
  {
    SeriesFile f = StartSeriesFile(dir / "daily.nc", displayDir + "/daily.nc", stations, days.size(), firstYear,
                                   "Daily series", false);
    std::vector<int> vars;
    for (const Column& c : kDaily) vars.push_back(AddSeriesVariable(f, c));
    const int outletSi = AddSeriesVariable(f, kOutletFlow[0]), outletRe = AddSeriesVariable(f, kOutletFlow[1]);
    f.nc.EndDefinitions();
    std::vector<int> time;
    for (Day d : days) time.push_back(static_cast<int>((d - origin).count()));
    f.nc.WriteInts(f.timeVar, time);
    const std::size_t n = days.size();
    std::vector<std::vector<double>> data(kDailyColumns + 2, std::vector<double>(stations.size() * n, NC_FILL_DOUBLE));
    for (std::size_t k = 0; k < stations.size(); ++k) {
      std::size_t t = 0;
      for (Day d : days) {
        auto it = daily[k].find(d);
        if (it != daily[k].end())
          for (std::size_t i = 0; i < kDailyColumns; ++i) {
            if (it->second[i].empty()) continue;
            std::size_t target = i;
            if (stations[k].basin && i == kSiFlow) target = kDailyColumns;
            if (stations[k].basin && i == kReFlow) target = kDailyColumns + 1;
            data[target][k * n + t] = Number(it->second[i]);
          }
        ++t;
      }
    }
    for (std::size_t i = 0; i < kDailyColumns; ++i) f.nc.WriteReals(vars[i], data[i]);
    f.nc.WriteReals(outletSi, data[kDailyColumns]);
    f.nc.WriteReals(outletRe, data[kDailyColumns + 1]);
    f.nc.Finish();
    written.push_back(displayDir + "/daily.nc");
  }
  // Monthly and annual budgets.
  std::vector<BudgetTable> budgets;
  for (const Station& s : stations) budgets.push_back(MergeBudget(s.results));
  for (const bool annual : {false, true}) {
    std::set<std::pair<int, int>> periods;
    for (const BudgetTable& b : budgets)
      for (const auto& [p, v] : b)
        if ((p.second == 0) == annual) periods.insert(p);
    const std::string name = annual ? "annual.nc" : "monthly.nc";
    SeriesFile f = StartSeriesFile(dir / name, displayDir + "/" + name, stations, periods.size(), firstYear,
                                   annual ? "Annual budgets" : "Monthly budgets", true);
    std::vector<int> vars;
    for (const Column& c : kBudget) vars.push_back(AddSeriesVariable(f, c));
    f.nc.EndDefinitions();
    std::vector<int> time, bounds;
    for (const auto& [year, month] : periods) {
      const Day start = MakeDay(year, annual ? 1 : month, 1);
      const Day end = annual        ? MakeDay(year + 1, 1, 1)
                      : month == 12 ? MakeDay(year + 1, 1, 1)
                                    : MakeDay(year, month + 1, 1);
      time.push_back(static_cast<int>((start - origin).count()));
      bounds.push_back(static_cast<int>((start - origin).count()));
      bounds.push_back(static_cast<int>((end - origin).count()));
    }
    f.nc.WriteInts(f.timeVar, time);
    f.nc.WriteInts(f.boundsVar, bounds);
    const std::size_t n = periods.size();
    std::vector<std::vector<double>> data(kBudgetColumns, std::vector<double>(stations.size() * n, NC_FILL_DOUBLE));
    for (std::size_t k = 0; k < stations.size(); ++k) {
      std::size_t t = 0;
      for (const auto& p : periods) {
        auto it = budgets[k].find(p);
        if (it != budgets[k].end())
          for (std::size_t i = 0; i < kBudgetColumns; ++i)
            if (!it->second[i].empty()) data[i][k * n + t] = Number(it->second[i]);
        ++t;
      }
    }
    for (std::size_t i = 0; i < kBudgetColumns; ++i) f.nc.WriteReals(vars[i], data[i]);
    f.nc.Finish();
    written.push_back(displayDir + "/" + name);
  }
}

// The model's area of a sub-basin: land-use codes below 150 times its cell sizes.
double GridAreaKm2(const GridFile& g) {
  long n = 0;
  for (double v : g.values) n += v < 150 ? 1 : 0;
  const double width = static_cast<double>(g.xMax - g.xMin) / g.rows,
               height = static_cast<double>(g.yMax - g.yMin) / g.cols;
  return static_cast<double>(n) * width * height / 1e6;
}

}  // namespace

void ExportGrid(const std::string& gridFsPath, const std::string& gridDisplay, const std::string& kind,
                const std::string& tiffFsPath, const std::string& tiffDisplay) {
  const GridFile grid = ReadGridFile(gridFsPath, gridDisplay);
  const GridGeoref georef = GridGeorefOf(gridFsPath, gridDisplay, grid);
  std::vector<double> values = NorthFirst(georef, grid.values);
  // What the model's readers take for outside the basin becomes no-data.
  double noData = -9999;
  PixelType type = PixelType::Float32;
  for (double& v : values) {
    if (kind == "terrain" && !(v > 0 && v < 2e30)) v = noData;
    if (kind == "slope" && !(v >= 0 && v < 2e30)) v = noData;
  }
  if (kind == "land_use") {
    noData = 255;
    type = PixelType::Int16;
    for (double& v : values)
      if (v >= 150 || v <= 0) v = noData;
  }
  WriteGeoTiff(tiffFsPath, tiffDisplay, georef.Frame(), values, noData, type);
}

namespace {

// A file's time of last change; false when it cannot be read (a missing file is reported by
// whoever reads it).
bool ChangedAt(const std::string& fsPath, timespec& at) {
  struct stat st {};
  if (::stat(fsPath.c_str(), &st) != 0) return false;
  at = st.st_mtim;
  return true;
}

bool Before(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// The results are labelled with the workspace's present names, areas and grids, so they must
// be of its present inputs: a run writes every output file after it has read its inputs, and
// an input changed since (an import --replace, a parameter file saved anew) is newer than the
// oldest output file. Such results are refused.
void RequireResultsOfPresentInputs(Session& session, const std::vector<std::string>& resultDirs) {
  const ModelState& s = session.state;
  std::vector<std::string> inputs{s.ProgramDir + kSubBasinListPath, s.ProgramDir + kRiverFilePath,
                                  s.ProgramDir + kPathFilePath, s.ProgramDir + kParamFilePath,
                                  s.ProgramDir + kSeasonFilePath};
  for (int k = 1; k <= s.SubBasinCount; ++k) {
    LoadPaths(session, k);
    for (int i : {1, 2, 3, 5}) inputs.push_back(s.InputPath[static_cast<std::size_t>(i)]);
  }
  std::string newestInput, oldestResult;
  timespec newest{}, oldest{};
  for (const std::string& p : inputs) {
    timespec at{};
    if (ChangedAt(session.ws.Resolve(p), at) && (newestInput.empty() || Before(newest, at))) {
      newest = at;
      newestInput = p;
    }
  }
  for (const std::string& dir : resultDirs)
    for (const char* file : {"\\Daily.out", "\\Daily_s.out", "\\Daily_f.out", "\\Budget.out", "\\Budget_s.out"}) {
      timespec at{};
      if (ChangedAt(session.ws.Resolve(dir + file), at) && (oldestResult.empty() || Before(at, oldest))) {
        oldest = at;
        oldestResult = dir + file;
      }
    }
  if (!newestInput.empty() && !oldestResult.empty() && Before(oldest, newest))
    throw FileError(session.Display(oldestResult), 0,
                    "is older than " + session.Display(newestInput) +
                        ": the results are not those of the workspace's present inputs (changed since the run); "
                        "run again (tarnwell run), then export");
}

}  // namespace

std::vector<std::string> RunExport(const ExportOptions& options, std::ostream& out) {
  Session session(options.workspace);
  const auto lock = WorkspaceLock::Acquire(session.ws, "tarnwell export");
  ModelState& s = session.state;
  s.ProgramDir = session.ws.ProgramDir();
  {
    TextReader list = session.Open(s.ProgramDir + kSubBasinListPath);
    LoadSubBasinList(session, list);
  }
  {
    std::vector<std::string> resultDirs;
    for (int k = 1; k <= s.SubBasinCount; ++k) resultDirs.push_back(SubBasinOutputDir(s, k));
    resultDirs.push_back(BasinOutputDir(s));
    RequireResultsOfPresentInputs(session, resultDirs);
  }
  std::vector<Station> stations;
  double basinArea = 0;
  const fs::path dir = session.ws.ResolveForWriting(s.ProgramDir + "..\\Output\\export");
  const std::string displayDir = session.ws.Display(s.ProgramDir + "..\\Output") + "/export";
  struct Grid {
    std::string path, display, kind;
  };
  std::vector<std::vector<Grid>> grids;
  for (int k = 1; k <= s.SubBasinCount; ++k) {
    LoadPaths(session, k);
    Station st;
    st.label = "subbasin" + std::to_string(k);
    st.name = s.SubBasinName[static_cast<std::size_t>(k)];
    st.directory = "流域" + std::to_string(k);
    const std::string landUse = s.InputPath[2];
    st.areaKm2 = GridAreaKm2(ReadGridFile(session.ws.Resolve(landUse), session.Display(landUse)));
    basinArea += st.areaKm2;
    st.results = ReadStationResults(session.ws, s.ProgramDir + "..\\Output\\" + st.directory);
    stations.push_back(std::move(st));
    grids.push_back({});
    for (const auto& [index, kind] : {std::pair<int, const char*>{1, "terrain"}, {2, "land_use"}, {5, "slope"}}) {
      const std::string& p = s.InputPath[static_cast<std::size_t>(index)];
      grids.back().push_back({session.ws.Resolve(p), session.Display(p), kind});
    }
  }
  Station basin;
  basin.label = "basin";
  basin.name = basin.directory = "全流域";
  basin.basin = true;
  basin.areaKm2 = basinArea;
  basin.results = ReadStationResults(session.ws, s.ProgramDir + "..\\Output\\全流域");
  stations.push_back(std::move(basin));

  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) throw FileError(displayDir, 0, "cannot create the directory: " + ec.message());
  std::vector<std::string> written;
  std::string index = "station,name,directory,area_km2\n";
  for (std::size_t k = 0; k < stations.size(); ++k)
    index += (stations[k].basin ? std::string("basin") : std::to_string(k + 1)) + "," + CsvField(stations[k].name) +
             "," + CsvField(stations[k].directory) + "," + CompactReal(stations[k].areaKm2, 6) + "\n";
  WriteText(dir / "stations.csv", displayDir + "/stations.csv", index);
  written.push_back(displayDir + "/stations.csv");
  if (options.format == ExportFormat::Csv) {
    for (const Station& st : stations) WriteCsvFiles(st, dir, displayDir, written);
  } else {
    WriteNetcdfFiles(stations, dir, displayDir, written);
  }
  for (std::size_t k = 0; k < grids.size(); ++k)
    for (const Grid& g : grids[k]) {
      const std::string name = stations[k].label + "_" + g.kind + ".tif";
      ExportGrid(g.path, g.display, g.kind, (dir / name).string(), displayDir + "/" + name);
      written.push_back(displayDir + "/" + name);
    }
  for (const std::string& w : written) out << w << "\n";
  return written;
}

}  // namespace tarnwell::geo
