// Saved states: a run saved at a day in mid-year and at a year boundary, then a fresh
// process started from each state, gives every output file byte for byte that of the run
// that never stopped; for both engines, 1 and 2 threads, both year boundaries (pairwise) and
// 2 MPI ranks. A state with one value moved by one unit in the last place must change the files,
// so the comparison is not vacuous. A state of another workspace, or results cut short,
// are refused before anything is written.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

#include "engine/WholeRuns.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

// Every number of a NetCDF file (variables and numeric attributes), by name: two states hold
// the same values exactly when these are equal.
std::map<std::string, std::vector<double>> Numbers(const std::string& path) {
  std::map<std::string, std::vector<double>> out;
  int id = -1, vars = 0;
  if (nc_open(path.c_str(), NC_NOWRITE, &id) != NC_NOERR) return out;
  nc_inq_nvars(id, &vars);
  for (int v = NC_GLOBAL; v < vars; ++v) {
    char name[NC_MAX_NAME + 1] = "", att[NC_MAX_NAME + 1];
    int ndims = 0, dims[NC_MAX_VAR_DIMS], atts = 0;
    if (v != NC_GLOBAL && nc_inq_var(id, v, name, nullptr, &ndims, dims, nullptr) == NC_NOERR) {
      std::size_t n = 1, len = 0;
      for (int d = 0; d < ndims; ++d) n *= nc_inq_dimlen(id, dims[d], &len) == NC_NOERR ? len : 0;
      out[name].resize(n);
      nc_get_var_double(id, v, out[name].data());
    }
    nc_inq_varnatts(id, v, &atts);
    for (int a = 0; a < atts; ++a) {
      nc_type type = 0;
      std::size_t len = 0;
      if (nc_inq_attname(id, v, a, att) != NC_NOERR || nc_inq_att(id, v, att, &type, &len) != NC_NOERR ||
          type == NC_CHAR)
        continue;
      std::vector<double>& values = out[std::string(name) + ":" + att];
      values.resize(len);
      nc_get_att_double(id, v, att, values.data());
    }
  }
  nc_close(id);
  return out;
}

// The names whose numbers differ, for the failure message.
std::string Differing(const std::map<std::string, std::vector<double>>& a,
                      const std::map<std::string, std::vector<double>>& b) {
  std::string names;
  for (const auto& [name, values] : a)
    if (!b.count(name) || b.at(name) != values) names += name + " ";
  for (const auto& [name, values] : b)
    if (!a.count(name)) names += name + " ";
  return names;
}

// The lines of the run summary's water balance, one per sub-basin and year.
std::vector<std::string> WaterBalanceLines(const std::string& out) {
  const std::size_t at = out.find("Water balance");
  std::vector<std::string> lines;
  std::istringstream in(at == std::string::npos ? "" : out.substr(at));
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) lines.push_back(line);
  return lines;
}

// The run saves in mid-year (of the leap year 2000, the first) and at the next boundary;
// a copy of the workspace with its results then goes on from each state.
void ExpectExactRestarts(const std::vector<std::string>& options, int ranks = 0) {
  std::string what = std::to_string(ranks) + " ranks";
  for (const std::string& o : options) what += " " + o;
  SCOPED_TRACE(what);
  test::TempDir dir;
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.end(), options.begin(), options.end());
    return test::Tarnwell(dir, args, ranks);
  };
  const std::string root = dir / "ws";
  test::WriteTinyWorkspace(root, test::UnlikeSubBasins(3, 3));
  const test::CliResult whole = run({"run", "--workspace", root, "--save-state", "2000-03-15,2001-01-01,2002-06-30"});
  ASSERT_TRUE(whole.exited && whole.status == 0) << whole.err;
  const auto expected = test::OutputFiles(root);
  ASSERT_EQ(expected.size(), 5u * 4 + 1);
  // The state of a later day, to the bit: what the printed digits of the files cannot show.
  const auto late = Numbers(root + "/Output/state/state_2002-06-30.nc");
  ASSERT_FALSE(late.empty());
  for (const char* date : {"2000-03-15", "2001-01-01"}) {
    SCOPED_TRACE(date);
    const std::string copy = dir / ("from-" + std::string(date));
    fs::copy(root, copy, fs::copy_options::recursive);
    fs::remove(copy + "/Output/state/state_2002-06-30.nc");
    const test::CliResult again = run({"run", "--workspace", copy, "--start-state",
                                       copy + "/Output/state/state_" + date + ".nc", "--save-state", "2002-06-30"});
    ASSERT_TRUE(again.exited && again.status == 0) << again.err;
    test::ExpectSameFiles(expected, test::OutputFiles(copy));
    // The years it ran close their water balance as the run that never stopped: the state
    // carries the year's stores at its start and its deep leakage so far.
    const std::vector<std::string> all = WaterBalanceLines(whole.out), resumed = WaterBalanceLines(again.out);
    ASSERT_FALSE(resumed.empty());
    EXPECT_TRUE(std::equal(resumed.rbegin(), resumed.rend(), all.rbegin())) << again.out;
    EXPECT_EQ(Differing(Numbers(copy + "/Output/state/state_2002-06-30.nc"), late), "");
  }
}

// Each engine with each thread count and each year boundary, in four runs that pair them all.
TEST(SavedState, ARestartIsExactForEveryEngineThreadCountAndYearBoundary) {
  for (auto [engine, threads, carry] : {std::tuple{"fused", "1", "mean"},
                                        {"fused", "2", "cells"},
                                        {"reference", "1", "cells"},
                                        {"reference", "2", "mean"}})
    ExpectExactRestarts({"--engine", engine, "--threads", threads, "--carry-over", carry});
}

#ifdef TARNWELL_MPIRUN
TEST(SavedState, ARestartIsExactOverTwoRanks) { ExpectExactRestarts({"--threads", "1"}, 2); }
#endif

// Moves the water table of sub-basin 1's first cell by one unit in the last place.
void NudgeOneValue(const std::string& path) {
  int id = -1, var = -1;
  ASSERT_EQ(nc_open(path.c_str(), NC_WRITE, &id), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(id, "sub_basin_1_water_table_elevation", &var), NC_NOERR);
  const std::size_t at[2] = {0, 0};
  double v = 0;
  ASSERT_EQ(nc_get_var1_double(id, var, at, &v), NC_NOERR);
  v = std::nextafter(v, 1e300);
  ASSERT_EQ(nc_put_var1_double(id, var, at, &v), NC_NOERR);
  ASSERT_EQ(nc_close(id), NC_NOERR);
}

TEST(SavedState, OneUnitInTheLastPlaceChangesTheResultsAndOtherWorkspacesAreRefused) {
  test::TempDir dir;
  const std::string root = dir / "ws";
  test::WriteTinyWorkspace(root, test::UnlikeSubBasins(3, 3));
  ASSERT_EQ(test::Tarnwell(dir, {"run", "--workspace", root, "--save-state", "2000-06-01,2000-06-02"}).status, 0);
  const auto expected = test::OutputFiles(root);
  const std::string state = root + "/Output/state/state_2000-06-01.nc";
  const auto late = Numbers(root + "/Output/state/state_2000-06-02.nc");

  const std::string nudged = dir / "nudged";
  fs::copy(root, nudged, fs::copy_options::recursive);
  NudgeOneValue(nudged + "/Output/state/state_2000-06-01.nc");
  ASSERT_EQ(test::Tarnwell(dir, {"run", "--workspace", nudged, "--start-state",
                                 nudged + "/Output/state/state_2000-06-01.nc", "--save-state", "2000-06-02"})
                .status,
            0);
  EXPECT_NE(Differing(Numbers(nudged + "/Output/state/state_2000-06-02.nc"), late), "");

  // Refused, naming what differs; the results stay as they were.
  struct Case {
    std::string name;
    std::function<void(const std::string&)> change;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"another parameter file",
       [](const std::string& ws) {
         std::string p = test::ReadBytes(ws + "/Parameters/当前参数文件.txt");
         test::WriteBytes(ws + "/Parameters/当前参数文件.txt", p + "\r\n");
         test::WriteBytes(ws + "/Parameters/缺省参数文件.txt", p + "\r\n");
       },
       "attribute parameter_file_hash"},
      {"results cut short", [](const std::string& ws) { fs::resize_file(ws + "/Output/流域2/Daily.out", 100); },
       "fewer than the"},
      {"another workspace: other sub-basins",
       [](const std::string& ws) { test::WriteTinyWorkspace(ws, test::UnlikeSubBasins(2, 3)); },
       "attribute sub_basins: 3 sub-basins, the workspace has 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string ws = dir / ("case-" + std::to_string(&c - cases.data()));
    fs::copy(root, ws, fs::copy_options::recursive);
    c.change(ws);
    const auto before = test::OutputFiles(ws);
    const test::CliResult r = test::Tarnwell(dir, {"run", "--workspace", ws, "--start-state", state});
    EXPECT_TRUE(r.exited && r.status == 1 && r.err.find(c.message) != std::string::npos) << r.err;
    EXPECT_EQ(test::OutputFiles(ws), before);
  }
  // Days that are no days of the run, before anything is written.
  for (const char* bad : {"2000-02-30", "1999-12-31", "2003-01-01", "15.3.2000"}) {
    const test::CliResult b = test::Tarnwell(dir, {"run", "--workspace", root, "--save-state", bad});
    EXPECT_TRUE(b.exited && b.status == 1) << bad;
    EXPECT_NE(b.err.find("--save-state"), std::string::npos) << b.err;
  }
  EXPECT_EQ(test::OutputFiles(root), expected);
}

}  // namespace
}  // namespace tarnwell
