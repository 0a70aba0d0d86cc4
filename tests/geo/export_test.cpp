// Export of the stored results: a small workspace run by the command line, exported as CSV
// and as NetCDF, and every value read back (the CSV by this test, the NetCDF by Python's
// xarray) equal to the value the output files hold; the grids as GeoTIFF, north up, with
// the corners of their true georeference.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>

#include "GeoTestSupport.h"
#include "TinyWorkspace.h"
#include "geo/Export.h"
#include "inputs/TextFile.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;

// Rows of an output file by their first token (a date or a period label), the other tokens.
std::map<std::string, Row> RowsOf(const std::string& path) {
  std::map<std::string, Row> rows;
  for (const std::string& line : test::FileLines(path)) {
    Row t = SplitFields(line);
    if (t.size() < 3) continue;
    const std::string& k = t[0];
    const bool day = k.size() == 10 && k[2] == '-' && k[5] == '-', month = k.size() == 7 && k[2] == '-';
    if (day || month || (k.size() > 4 && k.find("全年") != std::string::npos)) rows[k] = Row(t.begin() + 1, t.end());
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

// A CSV file's rows by their first field, the heading under "".
std::map<std::string, Row> CsvRows(const std::string& path) {
  std::map<std::string, Row> rows;
  std::istringstream in(test::ReadBytes(path));
  for (std::string line; std::getline(in, line);) {
    Row f;
    std::istringstream fields(line + ",");
    for (std::string v; std::getline(fields, v, ',');) f.push_back(v);
    rows[rows.empty() ? "" : f[0]] = f;
  }
  return rows;
}

class ExportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    test::TinyWorkspace w = test::SmallBasins(2, 2, 3, 2);
    w.subBasins[0].years[0].startDay = 20;  // a year whose Daily.out starts late
    test::WriteTinyWorkspace(Ws(), w);
    test::CliResult r = test::RunCli({"run", "--workspace", Ws()}, Ws());
    ASSERT_EQ(r.status, 0) << r.err;
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string Ws() { return dir_->Path().string(); }
  static std::string Out(const std::string& rel) { return Ws() + "/Output/" + rel; }
  static inline test::TempDir* dir_ = nullptr;
  // Each station's label in the export, its name, its output directory.
  const std::vector<std::array<std::string, 3>> stations_{
      {"subbasin1", "甲", "流域1"}, {"subbasin2", "乙", "流域2"}, {"basin", "全流域", "全流域"}};
};

TEST_F(ExportTest, CsvHoldsTheOutputFilesValues) {
  test::CliResult r = test::RunCli({"export", "--workspace", Ws(), "--format", "csv"}, Ws());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::ReadBytes(Out("export/stations.csv")),
            "station,name,directory,area_km2\n1,甲,流域1,86.4\n2,乙,流域2,86.4\nbasin,全流域,全流域,172.8\n");
  for (const auto& [label, name, dir] : stations_) {
    SCOPED_TRACE(label);
    // Daily: the three daily files side by side, by date; a day before the start day has no
    // Daily.out row and empty fields.
    const auto daily = RowsOf(Out(dir + "/Daily.out")), sed = RowsOf(Out(dir + "/Daily_s.out")),
               frozen = RowsOf(Out(dir + "/Daily_f.out"));
    const auto csv = CsvRows(Out("export/" + label + "_daily.csv"));
    ASSERT_EQ(csv.size(), sed.size() + 1);
    EXPECT_EQ(csv.at("").size(), 23u);
    EXPECT_EQ(csv.at("")[11], label == "basin" ? "Si_flow_m3s" : "Si_flow_mm");
    EXPECT_EQ(csv.at("")[21], "AirTemp_degC");
    std::size_t empty = 0;
    for (const auto& [key, values] : sed) {
      ASSERT_TRUE(csv.count(IsoOf(key))) << key;
      const Row& row = csv.at(IsoOf(key));
      const auto d = daily.find(key);
      for (std::size_t i = 0; i < 14; ++i) {
        EXPECT_EQ(row[1 + i], d == daily.end() ? "" : d->second[i]) << key;
        empty += d == daily.end() ? 1 : 0;
      }
      for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(row[15 + i], values[i]) << key;
        EXPECT_EQ(row[19 + i], frozen.at(key)[i]) << key;
      }
    }
    EXPECT_EQ(sed.size(), 731u);
    if (label == "subbasin1") {
      EXPECT_EQ(empty, 19u * 14);
    }
    // Budgets: Budget.out and Budget_s.out side by side, N once.
    const auto budget = RowsOf(Out(dir + "/Budget.out")), budgetS = RowsOf(Out(dir + "/Budget_s.out"));
    for (const std::string kind : {"_monthly.csv", "_annual.csv"}) {
      const auto rows = CsvRows(Out("export/" + label + kind));
      EXPECT_EQ(rows.at("").size(), 22u);
      EXPECT_EQ(rows.size() - 1, kind == "_annual.csv" ? 2u : 24u);
      for (const auto& [key, values] : budget) {
        if ((key.find("全年") == std::string::npos) != (kind == "_monthly.csv")) continue;
        ASSERT_TRUE(rows.count(IsoOf(key))) << key;
        for (std::size_t j = 0; j < 13; ++j) EXPECT_EQ(rows.at(IsoOf(key))[1 + j], values[j]) << key;
        for (std::size_t j = 1; j < 9; ++j) EXPECT_EQ(rows.at(IsoOf(key))[13 + j], budgetS.at(key)[j]) << key;
      }
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
  EXPECT_TRUE(test::Holds(test::ReadBytes(header),
                          {":Conventions = \"CF-1.8\"", ":featureType = \"timeSeries\"",
                           "station_name:cf_role = \"timeseries_id\"", "double Si_flow_outlet(station, time)"}));
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
    const Row t = SplitFields(line);
    got[t[0] + " " + t[1] + " " + t[2] + " " + t[3]] = std::stod(t[4]);
  }
  const std::vector<std::pair<std::string, Row>> files{
      {"Daily.out",
       {"Precip", "Intercep", "PET", "AET", "Uzone1", "Uzone2", "Uzone3", "U_drain", "Subflow", "G_Flow", "Si_flow",
        "Re_flow", "G_drain", "G_Stable"}},
      {"Daily_s.out", {"Si_errosion", "Re_chansha", "Si_chansha", "Sediment"}},
      {"Daily_f.out", {"SnowPack", "FrostSoil", "AirTemp", "GroundWater"}}};
  std::size_t compared = 0;
  auto compare = [&](const std::string& k, const std::string& value) {
    ASSERT_TRUE(got.count(k)) << k;
    EXPECT_EQ(got[k], std::stod(value)) << k;
    ++compared;
  };
  for (const auto& [label, station, dir] : stations_) {
    for (const auto& [file, names] : files)
      for (const auto& [key, values] : RowsOf(Out(dir + "/" + file)))
        for (std::size_t i = 0; i < names.size(); ++i) {
          const bool outlet = station == "全流域" && (names[i] == "Si_flow" || names[i] == "Re_flow");
          compare("daily " + station + " " + names[i] + (outlet ? "_outlet " : " ") + IsoOf(key), values[i]);
        }
    // The precipitation of the budgets.
    for (const auto& [key, values] : RowsOf(Out(dir + "/Budget.out"))) {
      const bool annual = key.find("全年") != std::string::npos;
      compare((annual ? "annual " : "monthly ") + station + " precip " + IsoOf(key) + (annual ? "-01-01" : "-01"),
              values[8]);
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
// is its southern row, so the north row is the last value line.
TEST(ExportGrid, NorthRowIsTheLastValueLineAtTheTrueCorners) {
  test::TempDir dir;
  const std::string grd = dir / "dem.grd", tif = dir / "dem.tif";
  auto exported = [&](const std::string& text, const char* kind = "terrain") {
    test::WriteGbkLines(grd, text);
    geo::ExportGrid(grd, "dem.grd", kind, tif, "dem.tif");
    return test::ReadRasterFile(tif);
  };
  const std::string grid = "DSAA\n2 3\n1000 1150\n2000 2100\n0 99\n11 12\n21 22\n31 32\n";
  // Without georef.txt the header stands in: 150 / 3 rows = 50 wide, 100 / 2 columns = 50
  // high; origin (x min, y min).
  test::ReadBack b = exported(grid);
  EXPECT_EQ(b.Corner(), (std::vector<double>{1000, 50, 2150, -50}));
  EXPECT_TRUE(b.wkt.empty());
  EXPECT_FLOAT_EQ(b.At(0, 0), 31);
  // Cells that are no whole number of map units: 100 / 3 rows wide, 50 / 2 columns high.
  b = exported("DSAA\n2 3\n0 100\n0 50\n0 99\n11 12\n21 22\n31 32\n");
  EXPECT_EQ(b.Corner(), (std::vector<double>{0, 100.0 / 3, 75, -25}));
  // With it: north-west corner (500000, 4000150), 50 m cells, north up.
  test::WriteGbkLines(dir / "georef.txt",
                      "crs = EPSG:32632\nwest = 500000\nsouth = 4000000\ncell_width = 50\ncell_height = 50\n"
                      "rows = 3\ncolumns = 2\nfirst_row = south\n");
  b = exported(grid);
  EXPECT_EQ(b.rows, 3);
  EXPECT_EQ(b.cols, 2);
  EXPECT_EQ(b.Corner(), (std::vector<double>{500000, 50, 4000150, -50}));
  EXPECT_TRUE(test::SameCrsText(b.wkt, "EPSG:32632"));
  EXPECT_EQ(b.values, (std::vector<double>{31, 32, 21, 22, 11, 12}));
  // Blank land-use cells (150 and above) become no-data.
  fs::remove(dir / "georef.txt");
  b = exported("DSAA\n2 2\n0 200\n0 200\n0 0\n21 255\n150 31\n", "land_use");
  ASSERT_TRUE(b.hasNoData);
  EXPECT_EQ(b.noData, 255);
  EXPECT_EQ(b.values, (std::vector<double>{255, 31, 21, 255}));
}

}  // namespace
}  // namespace tarnwell
