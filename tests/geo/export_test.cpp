// Export of the stored results: a small workspace run by the command line, exported as CSV
// and as NetCDF, and every value read back (the CSV by this test, the NetCDF by Python's
// xarray) equal to the value the output files hold; the grids as GeoTIFF, north up, with
// the corners of their true georeference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

#include "GeoTestSupport.h"
#include "TestSupport.h"
#include "TinyWorkspace.h"
#include "geo/Export.h"
#include "geo/Georef.h"
#include "hardening/HardeningSupport.h"
#include "inputs/TextFile.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

// Rows of an output file by their first token (a date or a period label), the other tokens.
std::map<std::string, std::vector<std::string>> RowsOf(const std::string& path) {
  std::map<std::string, std::vector<std::string>> rows;
  for (const std::string& line : test::FileLines(path)) {
    std::vector<std::string> t = SplitFields(line);
    if (t.size() < 3) continue;
    const std::string& k = t[0];
    const bool day = k.size() == 10 && k[2] == '-' && k[5] == '-';
    const bool month = k.size() == 7 && k[2] == '-';
    const bool year = k.size() > 4 && k.find("全年") != std::string::npos;
    if (!day && !month && !year) continue;
    rows[k] = std::vector<std::string>(t.begin() + 1, t.end());
  }
  return rows;
}

// "07-15-2001" -> "2001-07-15"; "07-2001" -> "2001-07"; "2001全年" -> "2001".
std::string IsoOf(const std::string& k) {
  if (k.find("全年") != std::string::npos) return k.substr(0, 4);
  if (k.size() == 10) return k.substr(6, 4) + "-" + k.substr(0, 2) + "-" + k.substr(3, 2);
  if (k.size() == 7) return k.substr(3, 4) + "-" + k.substr(0, 2);
  return k.substr(0, 4);
}

std::vector<std::vector<std::string>> CsvRows(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::string text = test::ReadBytes(path), line;
  for (char c : text) {
    if (c == '\n') {
      std::vector<std::string> f;
      std::string cur;
      for (char d : line) {
        if (d == ',') {
          f.push_back(cur);
          cur.clear();
        } else {
          cur += d;
        }
      }
      f.push_back(cur);
      rows.push_back(f);
      line.clear();
    } else {
      line += c;
    }
  }
  return rows;
}

class ExportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    test::TinyWorkspace w = test::SmallBasins(2, 2, 3, 2);
    w.subBasins[0].years[0].startDay = 20;  // a year whose Daily.out starts late
    test::WriteTinyWorkspace(dir_->Path().string(), w);
    test::CliResult r = test::RunCli({"run", "--workspace", dir_->Path().string()}, dir_->Path().string());
    ASSERT_EQ(r.status, 0) << r.err;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string Ws() { return dir_->Path().string(); }
  static std::string Out(const std::string& rel) { return Ws() + "/Output/" + rel; }
  static test::TempDir* dir_;
};
test::TempDir* ExportTest::dir_ = nullptr;

TEST_F(ExportTest, CsvHoldsTheOutputFilesValues) {
  test::CliResult r = test::RunCli({"export", "--workspace", Ws(), "--format", "csv"}, Ws());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::ReadBytes(Out("export/stations.csv")),
            "station,name,directory,area_km2\n1,甲,流域1,86.4\n2,乙,流域2,86.4\nbasin,全流域,全流域,172.8\n");
  for (const auto& [label, dir] : std::vector<std::pair<std::string, std::string>>{
           {"subbasin1", "流域1"}, {"subbasin2", "流域2"}, {"basin", "全流域"}}) {
    SCOPED_TRACE(label);
    // Daily: the three daily files side by side, by date.
    const auto daily = RowsOf(Out(dir + "/Daily.out")), sed = RowsOf(Out(dir + "/Daily_s.out")),
               frozen = RowsOf(Out(dir + "/Daily_f.out"));
    const auto csv = CsvRows(Out("export/" + label + "_daily.csv"));
    ASSERT_EQ(csv.size(), sed.size() + 1);
    EXPECT_EQ(csv[0].size(), 23u);
    EXPECT_EQ(csv[0][11], label == "basin" ? "Si_flow_m3s" : "Si_flow_mm");
    EXPECT_EQ(csv[0][21], "AirTemp_degC");
    std::size_t checked = 0, empty = 0;
    for (const auto& [key, values] : sed) {
      const std::vector<std::string>* row = nullptr;
      for (const auto& c : csv)
        if (c[0] == IsoOf(key)) row = &c;
      ASSERT_NE(row, nullptr) << key;
      auto d = daily.find(key);
      for (std::size_t i = 0; i < 14; ++i) {
        const std::string expected = d == daily.end() ? "" : d->second[i];
        EXPECT_EQ((*row)[1 + i], expected) << key;
        empty += expected.empty() ? 1 : 0;
      }
      for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ((*row)[15 + i], values[i]) << key;
        EXPECT_EQ((*row)[19 + i], frozen.at(key)[i]) << key;
      }
      ++checked;
    }
    EXPECT_EQ(checked, 731u);
    if (label == "subbasin1") {
      EXPECT_EQ(empty, 19u * 14) << "days before the start day have no Daily.out row";
    }
    // Budgets: Budget.out and Budget_s.out side by side, N once.
    const auto budget = RowsOf(Out(dir + "/Budget.out")), budgetS = RowsOf(Out(dir + "/Budget_s.out"));
    for (const char* kind : {"_monthly.csv", "_annual.csv"}) {
      const auto rows = CsvRows(Out("export/" + label + kind));
      ASSERT_GT(rows.size(), 1u);
      EXPECT_EQ(rows[0].size(), 22u);
      for (std::size_t i = 1; i < rows.size(); ++i) {
        std::string key;
        for (const auto& [k, v] : budget)
          if (IsoOf(k) == rows[i][0]) key = k;
        ASSERT_FALSE(key.empty()) << rows[i][0];
        for (std::size_t j = 0; j < 13; ++j) EXPECT_EQ(rows[i][1 + j], budget.at(key)[j]) << key;
        for (std::size_t j = 1; j < 9; ++j) EXPECT_EQ(rows[i][13 + j], budgetS.at(key)[j]) << key;
      }
      EXPECT_EQ(rows.size() - 1, std::string(kind) == "_annual.csv" ? 2u : 24u);
    }
  }
  // Each input grid as a GeoTIFF.
  for (const char* g : {"terrain", "land_use", "slope"})
    EXPECT_TRUE(fs::is_regular_file(Out(std::string("export/subbasin2_") + g + ".tif"))) << g;
}

TEST_F(ExportTest, NetcdfReadsBackWithXarrayAndNcdump) {
  test::CliResult r = test::RunCli({"export", "--workspace", Ws(), "--format", "netcdf"}, Ws());
  ASSERT_EQ(r.status, 0) << r.err;
  // ncdump reads it, and it says what it is.
  const std::string header = Ws() + "/ncdump.txt";
  ASSERT_EQ(std::system(("ncdump -h '" + Out("export/daily.nc") + "' > '" + header + "'").c_str()), 0);
  const std::string h = test::ReadBytes(header);
  EXPECT_NE(h.find(":Conventions = \"CF-1.8\""), std::string::npos);
  EXPECT_NE(h.find(":featureType = \"timeSeries\""), std::string::npos);
  EXPECT_NE(h.find("station_name:cf_role = \"timeseries_id\""), std::string::npos);
  EXPECT_NE(h.find("double Si_flow_outlet(station, time)"), std::string::npos);

  // Every variable has a long name and (but the names) units, as netCDF4 reads them; the
  // values as xarray reads them (printed with all digits) are those of the output files.
  const std::string script = Ws() + "/read.py", dump = Ws() + "/dump.txt";
  test::WriteBytes(script,
                   "import sys, netCDF4, xarray as xr\n"
                   "out = open(sys.argv[2], 'w')\n"
                   "for name in ('daily', 'monthly', 'annual'):\n"
                   "    path = sys.argv[1] + '/' + name + '.nc'\n"
                   "    with netCDF4.Dataset(path) as nc:\n"
                   "        for v in nc.variables.values():\n"
                   "            assert 'long_name' in v.ncattrs(), v.name\n"
                   "            assert 'units' in v.ncattrs() or v.dtype == 'S1', v.name\n"
                   "    d = xr.open_dataset(path)\n"
                   "    assert d.attrs['Conventions'] == 'CF-1.8'\n"
                   "    names = [str(s) for s in d['station_name'].values]\n"
                   "    for v in d.data_vars:\n"
                   "        if d[v].dims != ('station', 'time'): continue\n"
                   "        for k, s in enumerate(names):\n"
                   "            for t, x in zip(d['time'].values, d[v].values[k]):\n"
                   "                if x == x: out.write('%s %s %s %s %r\\n' % (name, s, v, str(t)[:10], float(x)))\n");
  ASSERT_EQ(std::system(("/usr/bin/python3 '" + script + "' '" + Out("export") + "' '" + dump + "'").c_str()), 0);
  std::map<std::string, double> got;
  for (const std::string& line : test::FileLines(dump)) {
    std::vector<std::string> t = SplitFields(line);
    got[t[0] + " " + t[1] + " " + t[2] + " " + t[3]] = std::stod(t[4]);
  }
  const char* dailyNames[] = {"Precip",  "Intercep", "PET",    "AET",     "Uzone1",  "Uzone2",  "Uzone3",
                              "U_drain", "Subflow",  "G_Flow", "Si_flow", "Re_flow", "G_drain", "G_Stable"};
  const char* sedNames[] = {"Si_errosion", "Re_chansha", "Si_chansha", "Sediment"};
  const char* frozenNames[] = {"SnowPack", "FrostSoil", "AirTemp", "GroundWater"};
  std::size_t compared = 0;
  for (const auto& [station, dir] :
       std::vector<std::pair<std::string, std::string>>{{"甲", "流域1"}, {"乙", "流域2"}, {"全流域", "全流域"}}) {
    auto compare = [&](const std::string& file, const char* const* names, std::size_t n) {
      for (const auto& [key, values] : RowsOf(Out(dir + "/" + file)))
        for (std::size_t i = 0; i < n; ++i) {
          std::string var = names[i];
          if (station == "全流域" && (var == "Si_flow" || var == "Re_flow")) var += "_outlet";
          const std::string k = "daily " + station + " " + var + " " + IsoOf(key);
          ASSERT_TRUE(got.count(k)) << k;
          EXPECT_EQ(got[k], std::stod(values[i])) << k;
          ++compared;
        }
    };
    compare("Daily.out", dailyNames, 14);
    compare("Daily_s.out", sedNames, 4);
    compare("Daily_f.out", frozenNames, 4);
    // The annual precipitation and the sediment correlation of the budgets.
    for (const auto& [key, values] : RowsOf(Out(dir + "/Budget.out"))) {
      const bool annual = key.find("全年") != std::string::npos;
      const std::string iso = IsoOf(key);
      const std::string k = std::string(annual ? "annual " : "monthly ") + station + " precip " +
                            (annual ? iso + "-01-01" : iso + "-01");
      ASSERT_TRUE(got.count(k)) << k;
      EXPECT_EQ(got[k], std::stod(values[8])) << k;
      ++compared;
    }
  }
  EXPECT_GT(compared, 3u * 731 * 20);
  // The sub-basins have no outlet discharge; the whole basin no runoff depth.
  EXPECT_FALSE(got.count("daily 甲 Si_flow_outlet 2000-01-01"));
  EXPECT_FALSE(got.count("daily 全流域 Si_flow 2000-01-01"));
}

TEST_F(ExportTest, WithoutResultsTheMessageNamesTheMissingFile) {
  test::TempDir fresh;
  test::WriteTinyWorkspace(fresh.Path().string(), test::SmallBasins(1, 1));
  test::CliResult r = test::RunCli({"export", "--workspace", fresh.Path().string()}, fresh.Path().string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Daily.out"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(fresh.Path() / "Output" / "export" / "stations.csv"));
}

// A DSAA grid of 3 rows x 2 columns whose value lines hold distinct values; the first line
// is its southern row.
void WriteAsymmetricGrid(const fs::path& dir, bool withGeoref) {
  test::WriteGbkLines((dir / "dem.grd").string(), "DSAA\n2 3\n1000 1150\n2000 2100\n0 99\n11 12\n21 22\n31 32\n");
  if (withGeoref)
    test::WriteGbkLines((dir / "georef.txt").string(),
                        "crs = EPSG:32632\nwest = 500000\nsouth = 4000000\ncell_width = 50\ncell_height = 50\n"
                        "rows = 3\ncolumns = 2\nfirst_row = south\n");
}

TEST(ExportGrid, NorthRowIsTheLastValueLineAtTheTrueCorners) {
  test::TempDir dir;
  WriteAsymmetricGrid(dir.Path(), true);
  geo::ExportGrid(dir / "dem.grd", "dem.grd", "terrain", dir / "dem.tif", "dem.tif");
  test::ReadBack b = test::ReadRasterFile(dir / "dem.tif");
  EXPECT_EQ(b.rows, 3);
  EXPECT_EQ(b.cols, 2);
  // North-west corner (500000, 4000150), 50 m cells, north up.
  EXPECT_DOUBLE_EQ(b.gt[0], 500000);
  EXPECT_DOUBLE_EQ(b.gt[1], 50);
  EXPECT_DOUBLE_EQ(b.gt[3], 4000150);
  EXPECT_DOUBLE_EQ(b.gt[5], -50);
  EXPECT_TRUE(test::SameCrsText(b.wkt, "EPSG:32632"));
  EXPECT_FLOAT_EQ(b.At(0, 0), 31);
  EXPECT_FLOAT_EQ(b.At(0, 1), 32);
  EXPECT_FLOAT_EQ(b.At(2, 0), 11);
}

TEST(ExportGrid, WithoutGeorefTheHeaderStandsIn) {
  test::TempDir dir;
  WriteAsymmetricGrid(dir.Path(), false);
  geo::ExportGrid(dir / "dem.grd", "dem.grd", "terrain", dir / "dem.tif", "dem.tif");
  test::ReadBack b = test::ReadRasterFile(dir / "dem.tif");
  // The model's cells: 150 / 3 rows = 50 wide, 100 / 2 columns = 50 high; origin (x min, y min).
  EXPECT_DOUBLE_EQ(b.gt[0], 1000);
  EXPECT_DOUBLE_EQ(b.gt[1], 50);
  EXPECT_DOUBLE_EQ(b.gt[3], 2150);
  EXPECT_DOUBLE_EQ(b.gt[5], -50);
  EXPECT_TRUE(b.wkt.empty());
  EXPECT_FLOAT_EQ(b.At(0, 0), 31);
  // Cells that are no whole number of map units: 100 / 3 rows wide, 50 / 2 columns high.
  test::WriteGbkLines(dir / "dem.grd", "DSAA\n2 3\n0 100\n0 50\n0 99\n11 12\n21 22\n31 32\n");
  geo::ExportGrid(dir / "dem.grd", "dem.grd", "terrain", dir / "dem.tif", "dem.tif");
  b = test::ReadRasterFile(dir / "dem.tif");
  EXPECT_DOUBLE_EQ(b.gt[1], 100.0 / 3);
  EXPECT_DOUBLE_EQ(b.gt[3], 75);
}

TEST(ExportGrid, BlankCellsBecomeNoData) {
  test::TempDir dir;
  test::WriteGbkLines(dir / "lu.grd", "DSAA\n2 2\n0 200\n0 200\n0 0\n21 255\n150 31\n");
  geo::ExportGrid(dir / "lu.grd", "lu.grd", "land_use", dir / "lu.tif", "lu.tif");
  test::ReadBack b = test::ReadRasterFile(dir / "lu.tif");
  ASSERT_TRUE(b.hasNoData);
  EXPECT_EQ(b.noData, 255);
  EXPECT_EQ(b.values, (std::vector<double>{255, 31, 21, 255}));
}

}  // namespace
}  // namespace tarnwell
