#include "geo/StateFile.h"

#include <netcdf.h>

#include <cmath>
#include <limits>

#include "geo/NetcdfFile.h"
#include "model/Errors.h"

namespace tarnwell::geo {

namespace {

constexpr int kDays = kMaxDays + 1;  // the day axis holds slot 0, as the model's tables do

struct StoreInfo {
  const char* name;
  const char* longName;
  const char* units;
};
// In the order of kCellStores.
constexpr StoreInfo kStores[] = {
    {"soil_water_layer1", "soil water of the upper layer", "mm"},
    {"soil_water_layer2", "soil water of the middle layer", "mm"},
    {"soil_water_layer3", "soil water of the lower layer", "mm"},
    {"snow_pack", "snow water equivalent", "mm"},
    {"frozen_water", "frozen soil water", "mm"},
    {"interflow", "interflow of the day before", "mm"},
    {"canopy_store", "water held on the canopy", "mm"},
    {"free_water", "free water store", "mm"},
    {"water_table_elevation", "water-table elevation at the start of the day", "m"},
    {"water_table_elevation_before", "water-table elevation at the start of the day before", "m"},
    {"saturated_zone_et", "saturated-zone evapotranspiration of the day before", "mm"},
};
static_assert(std::size(kStores) == std::size(kCellStores));

std::string Prefix(std::size_t k) { return "sub_basin_" + std::to_string(k) + "_"; }

// The year-end record's fields with their attribute names.
template <typename R, typename F>
void ForEachYearEnd(R& y, F&& f) {
  f("year_end_uz1", y.Uz1);
  f("year_end_uz2", y.Uz2);
  f("year_end_uz3", y.Uz3);
  f("year_end_subflow", y.Subflow);
  f("year_end_routed_groundwater", y.RoutedGwFlow);
  f("year_end_water_table", y.WTElev);
  f("year_end_sediment_store", y.SedStore);
  f("year_end_snow_pack", y.SnowPack);
  f("year_end_frozen", y.Frozen);
  f("year_end_routed_interflow", y.RoutedInterflow);
}

class Reader {
 public:
  explicit Reader(NetcdfFile& f) : f_(f) {}
  double Real(int var, const std::string& name) const {
    double v = 0;
    if (!f_.RealAttribute(var, name, v)) Missing("attribute " + name);
    return v;
  }
  double RealOr(int var, const std::string& name, double absent) const {
    nc_type type = 0;
    std::size_t len = 0;
    if (nc_inq_att(f_.Id(), var, name.c_str(), &type, &len) != NC_NOERR) return absent;
    return Real(var, name);
  }
  long Whole(int var, const std::string& name) const {
    const double v = Real(var, name);
    if (!(v >= -9.0e15 && v <= 9.0e15) || v != std::floor(v))
      throw InputError(f_.Name(), 0, "attribute " + name + " is not a whole number");
    return static_cast<long>(v);
  }
  std::vector<double> Reals(int var, const std::string& name) const {
    nc_type type = 0;
    std::size_t len = 0;
    if (nc_inq_att(f_.Id(), var, name.c_str(), &type, &len) != NC_NOERR || type == NC_CHAR)
      Missing("attribute " + name);
    std::vector<double> v(len);
    f_.Check(nc_get_att_double(f_.Id(), var, name.c_str(), v.data()), "cannot read the attribute " + name);
    return v;
  }
  bool HasText(int var, const std::string& name) const {
    nc_type type = 0;
    std::size_t len = 0;
    return nc_inq_att(f_.Id(), var, name.c_str(), &type, &len) == NC_NOERR && type == NC_CHAR;
  }
  std::string Text(int var, const std::string& name) const {
    nc_type type = 0;
    std::size_t len = 0;
    if (nc_inq_att(f_.Id(), var, name.c_str(), &type, &len) != NC_NOERR || type != NC_CHAR)
      Missing("attribute " + name);
    return f_.TextAttribute(var, name);
  }
  int Var(const std::string& name) const {
    const int v = f_.VariableId(name);
    if (v < 0) Missing("variable " + name);
    return v;
  }
  // A whole variable of n values.
  std::vector<double> Doubles(const std::string& name, std::size_t n) const {
    const int v = Var(name);
    RequireSize(v, name, n);
    std::vector<double> out(n);
    if (n > 0) f_.Check(nc_get_var_double(f_.Id(), v, out.data()), "cannot read the variable " + name);
    return out;
  }
  std::vector<int> Ints(const std::string& name, std::size_t n) const {
    const int v = Var(name);
    RequireSize(v, name, n);
    std::vector<int> out(n);
    if (n > 0) f_.Check(nc_get_var_int(f_.Id(), v, out.data()), "cannot read the variable " + name);
    return out;
  }
  [[noreturn]] void Missing(const std::string& what) const {
    throw InputError(f_.Name(), 0, what + " is missing: not a saved state of this program");
  }

 private:
  void RequireSize(int v, const std::string& name, std::size_t n) const {
    int ndims = 0;
    f_.Check(nc_inq_varndims(f_.Id(), v, &ndims), "cannot inquire the variable " + name);
    std::vector<int> dims(static_cast<std::size_t>(ndims));
    f_.Check(nc_inq_vardimid(f_.Id(), v, dims.data()), "cannot inquire the variable " + name);
    std::size_t size = 1;
    for (int d : dims) {
      std::size_t len = 0;
      f_.Check(nc_inq_dimlen(f_.Id(), d, &len), "cannot inquire a dimension");
      size *= len;
    }
    if (size != n)
      throw InputError(f_.Name(), 0,
                       "variable " + name + " holds " + std::to_string(size) + " values, not " + std::to_string(n));
  }
  NetcdfFile& f_;
};

}  // namespace

void WriteStateFile(const RunState& st, const std::string& fsPath, const std::string& displayName) {
  NetcdfFile f = NetcdfFile::Create(fsPath, displayName);
  const std::size_t n = st.subBasins.size();
  f.PutText(NC_GLOBAL, "Conventions", "CF-1.8");
  f.PutText(NC_GLOBAL, "title", "Tarnwell saved state");
  f.PutText(NC_GLOBAL, "comment",
            "A run held at the start of the day `date`, the first day still to simulate: every "
            "sub-basin's stores at that day, its day series of the year so far, the whole basin at the "
            "end of the year before. tarnwell run --start-state goes on from it.");
  f.PutText(NC_GLOBAL, "date", st.Date());
  for (const auto& [name, value] : {std::pair<const char*, double>{"year_index", st.yearIndex},
                                    {"calendar_year", st.calendarYear},
                                    {"day_of_year", st.day},
                                    {"month", st.month},
                                    {"day_of_month", st.dayOfMonth},
                                    {"met_lines_read", static_cast<double>(st.metLinesRead)},
                                    {"basin_daily_lines_done", static_cast<double>(st.basinDailyLinesDone)},
                                    {"basin_budget_lines_done", static_cast<double>(st.basinBudgetLinesDone)},
                                    {"basin_files_created", st.basinFilesCreated},
                                    {"sub_basins", static_cast<double>(n)}})
    f.PutReal(NC_GLOBAL, name, value, NC_DOUBLE);
  f.PutText(NC_GLOBAL, "carry_over", CarryOverName(st.carryOver));
  f.PutText(NC_GLOBAL, "groundwater_sum", GroundwaterSumName(st.groundwaterSum));
  f.PutText(NC_GLOBAL, "parameter_file_hash", st.parameterHash);
  std::vector<double> basinBytes(st.basinFileBytes.begin(), st.basinFileBytes.end());
  f.PutReals(NC_GLOBAL, "basin_file_bytes", basinBytes);

  const int day = f.AddDimension("day", kDays);
  const int growth = f.AddVariable("growth_index_before", NC_DOUBLE, {day});
  f.PutText(growth, "long_name", "growth index the year's weather starts from");
  f.PutText(growth, "units", "1");
  struct Defined {
    int info = -1, flag = -1, dayYear = -1, dayMonth = -1, dayOfMonth = -1;
    std::vector<int> stores, series;
  };
  std::vector<Defined> defs(n);
  for (std::size_t i = 0; i < n; ++i) {
    const SubBasinState& sb = st.subBasins[i];
    const std::string p = Prefix(i + 1);
    const int y = f.AddDimension(p + "y", static_cast<std::size_t>(sb.cells.rows));
    const int x = f.AddDimension(p + "x", static_cast<std::size_t>(sb.cells.cols));
    Defined& d = defs[i];
    d.info = f.AddVariable(p + "info", NC_INT, {});
    f.PutText(d.info, "long_name", "sub-basin " + std::to_string(i + 1) + " (" + st.names.at(i) + ")");
    f.PutText(d.info, "name", st.names.at(i));
    for (const auto& [name, value] : {std::pair<const char*, double>{"rows", sb.rows},
                                      {"cols", sb.cols},
                                      {"routed_interflow", sb.routedInterflow},
                                      {"routed_groundwater", sb.routedGwFlow},
                                      {"sediment_store", sb.sedStore},
                                      {"day_count", sb.dayCount},
                                      {"month_sim_days", sb.monthSimDays},
                                      {"cell_count", sb.cellCount},
                                      {"storage_at_year_start", sb.water.storageAtStart},
                                      {"deep_leakage_so_far", sb.water.deepLeakage}})
      f.PutReal(d.info, name, value, NC_DOUBLE);
    ForEachYearEnd(sb.yearEnd, [&](const char* name, double v) { f.PutReal(d.info, name, v, NC_DOUBLE); });
    f.PutReals(d.info, "file_bytes", std::vector<double>(sb.fileBytes.begin(), sb.fileBytes.end()));
    const auto& c = st.cursors.at(i);
    std::vector<double> cursorBytes, cursorLines;
    for (const FileCursor& at : c) {
      cursorBytes.push_back(static_cast<double>(at.byteOffset));
      cursorLines.push_back(static_cast<double>(at.linesDone));
    }
    f.PutReals(d.info, "aggregated_bytes", cursorBytes);
    f.PutReals(d.info, "aggregated_lines", cursorLines);
    for (const StoreInfo& s : kStores) {
      const int v = f.AddVariable(p + s.name, NC_DOUBLE, {y, x});
      f.PutText(v, "long_name", s.longName);
      f.PutText(v, "units", s.units);
      d.stores.push_back(v);
    }
    d.flag = f.AddVariable(p + "cell_flag", NC_INT, {y, x});
    f.PutText(d.flag, "long_name", "cell inside the basin (1) with its wetness class (7, 8, 9, 10), or outside (-1)");
    for (const char* s : kStateSeriesNames) d.series.push_back(f.AddVariable(p + s, NC_DOUBLE, {day}));
    d.dayYear = f.AddVariable(p + "DayYear", NC_INT, {day});
    d.dayMonth = f.AddVariable(p + "DayMonth", NC_INT, {day});
    d.dayOfMonth = f.AddVariable(p + "DayOfMonth", NC_INT, {day});
  }
  f.EndDefinitions();
  f.WriteReals(growth, std::vector<double>(st.growthBefore.begin(), st.growthBefore.end()));
  for (std::size_t i = 0; i < n; ++i) {
    const SubBasinState& sb = st.subBasins[i];
    const Defined& d = defs[i];
    for (std::size_t j = 0; j < std::size(kCellStores); ++j) f.WriteReals(d.stores[j], sb.cells.*kCellStores[j]);
    f.WriteInts(d.flag, std::vector<int>(sb.cells.CellFlag.begin(), sb.cells.CellFlag.end()));
    for (std::size_t s = 0; s < kStateSeriesCount; ++s)
      f.WriteReals(d.series[s], std::vector<double>(sb.series[s].begin(), sb.series[s].end()));
    f.WriteInts(d.dayYear, std::vector<int>(sb.dayYear.begin(), sb.dayYear.end()));
    f.WriteInts(d.dayMonth, std::vector<int>(sb.dayMonth.begin(), sb.dayMonth.end()));
    f.WriteInts(d.dayOfMonth, std::vector<int>(sb.dayOfMonth.begin(), sb.dayOfMonth.end()));
  }
  f.Finish();
}

RunState ReadStateFile(const std::string& fsPath, const std::string& displayName) {
  NetcdfFile f = NetcdfFile::OpenForReading(fsPath, displayName);
  const Reader r(f);
  RunState st;
  st.source = displayName;
  st.yearIndex = static_cast<int>(r.Whole(NC_GLOBAL, "year_index"));
  st.calendarYear = static_cast<int>(r.Whole(NC_GLOBAL, "calendar_year"));
  st.day = static_cast<int>(r.Whole(NC_GLOBAL, "day_of_year"));
  st.month = static_cast<int>(r.Whole(NC_GLOBAL, "month"));
  st.dayOfMonth = static_cast<int>(r.Whole(NC_GLOBAL, "day_of_month"));
  if (st.day < 1 || st.day > kMaxDays || st.month < 1 || st.month > kMonths || st.dayOfMonth < 1 || st.dayOfMonth > 31)
    throw InputError(displayName, 0, "attribute date " + st.Date() + " is no day of a year");
  st.metLinesRead = r.Whole(NC_GLOBAL, "met_lines_read");
  st.basinDailyLinesDone = r.Whole(NC_GLOBAL, "basin_daily_lines_done");
  st.basinBudgetLinesDone = r.Whole(NC_GLOBAL, "basin_budget_lines_done");
  st.basinFilesCreated = static_cast<int>(r.Whole(NC_GLOBAL, "basin_files_created"));
  const std::string carry = r.Text(NC_GLOBAL, "carry_over");
  const auto c = ParseCarryOver(carry);
  if (!c) throw InputError(displayName, 0, "attribute carry_over \"" + carry + "\" is neither mean nor cells");
  st.carryOver = *c;
  // States saved before the setting counted the groundwater twice, as the program did.
  const std::string sum = r.HasText(NC_GLOBAL, "groundwater_sum") ? r.Text(NC_GLOBAL, "groundwater_sum") : "twice";
  const auto g = ParseGroundwaterSum(sum);
  if (!g) throw InputError(displayName, 0, "attribute groundwater_sum \"" + sum + "\" is neither twice nor once");
  st.groundwaterSum = *g;
  st.parameterHash = r.Text(NC_GLOBAL, "parameter_file_hash");
  const std::vector<double> basinBytes = r.Reals(NC_GLOBAL, "basin_file_bytes");
  if (basinBytes.size() != 5) throw InputError(displayName, 0, "attribute basin_file_bytes does not hold 5 values");
  for (std::size_t i = 0; i < 5; ++i) st.basinFileBytes[i] = static_cast<std::uint64_t>(basinBytes[i]);
  const long n = r.Whole(NC_GLOBAL, "sub_basins");
  if (n < 1 || n > 100000)
    throw InputError(displayName, 0, "attribute sub_basins " + std::to_string(n) + " is out of range");
  const std::vector<double> growth = r.Doubles("growth_index_before", kDays);
  std::copy(growth.begin(), growth.end(), st.growthBefore.begin());
  for (long k = 1; k <= n; ++k) {
    const std::string p = Prefix(static_cast<std::size_t>(k));
    const int info = r.Var(p + "info");
    SubBasinState sb;
    st.names.push_back(r.Text(info, "name"));
    sb.rows = static_cast<int>(r.Whole(info, "rows"));
    sb.cols = static_cast<int>(r.Whole(info, "cols"));
    if (sb.rows < 1 || sb.cols < 1 || static_cast<double>(sb.rows) * sb.cols > 4.0e9)
      throw InputError(displayName, 0, "attribute rows or cols of " + p + "info is out of range");
    sb.routedInterflow = r.Real(info, "routed_interflow");
    sb.routedGwFlow = r.Real(info, "routed_groundwater");
    sb.sedStore = r.Real(info, "sediment_store");
    sb.dayCount = static_cast<int>(r.Whole(info, "day_count"));
    sb.monthSimDays = static_cast<int>(r.Whole(info, "month_sim_days"));
    sb.cellCount = static_cast<int>(r.Whole(info, "cell_count"));
    // A state saved before the water balance: the year's closure is not known.
    const double unknown = std::numeric_limits<double>::quiet_NaN();
    sb.water.storageAtStart = r.RealOr(info, "storage_at_year_start", unknown);
    sb.water.deepLeakage = r.RealOr(info, "deep_leakage_so_far", unknown);
    if (sb.dayCount != st.day - 1)
      throw InputError(displayName, 0, "attribute day_count of " + p + "info is not the day before day_of_year");
    ForEachYearEnd(sb.yearEnd, [&](const char* name, double& v) { v = r.Real(info, name); });
    const std::vector<double> bytes = r.Reals(info, "file_bytes"), aggBytes = r.Reals(info, "aggregated_bytes"),
                              aggLines = r.Reals(info, "aggregated_lines");
    if (bytes.size() != 5 || aggBytes.size() != 5 || aggLines.size() != 5)
      throw InputError(displayName, 0, "the file attributes of " + p + "info do not hold 5 values each");
    std::array<FileCursor, 5> cursors{};
    for (std::size_t i = 0; i < 5; ++i) {
      sb.fileBytes[i] = static_cast<std::uint64_t>(bytes[i]);
      cursors[i] = {static_cast<std::uint64_t>(aggBytes[i]), static_cast<long>(aggLines[i])};
    }
    st.cursors.push_back(cursors);
    const auto cells = static_cast<std::size_t>(sb.rows) * static_cast<std::size_t>(sb.cols);
    sb.cells.rows = sb.rows;
    sb.cells.cols = sb.cols;
    for (std::size_t j = 0; j < std::size(kCellStores); ++j)
      sb.cells.*kCellStores[j] = r.Doubles(p + kStores[j].name, cells);
    const std::vector<int> flag = r.Ints(p + "cell_flag", cells);
    sb.cells.CellFlag.assign(flag.begin(), flag.end());
    for (std::size_t s = 0; s < kStateSeriesCount; ++s) {
      const std::vector<double> v = r.Doubles(p + kStateSeriesNames[s], kDays);
      std::copy(v.begin(), v.end(), sb.series[s].begin());
    }
    for (auto [name, to] : {std::pair<const char*, DayIntSeries*>{"DayYear", &sb.dayYear},
                            {"DayMonth", &sb.dayMonth},
                            {"DayOfMonth", &sb.dayOfMonth}}) {
      const std::vector<int> v = r.Ints(p + name, kDays);
      std::copy(v.begin(), v.end(), to->begin());
    }
    st.subBasins.push_back(std::move(sb));
  }
  return st;
}

}  // namespace tarnwell::geo
