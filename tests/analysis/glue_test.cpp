// GLUE: the weighted quantiles, the behavioural sets and their weights, a year's share of
// observed days inside the band, all worked by hand; and the command on a small workspace:
// the same band for one worker and two, after a resume, and from a trace already made.
#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "TinyWorkspace.h"
#include "calibration/ProbeSupport.h"
#include "calibration/Uncertainty.h"
#ifdef TARNWELL_TEST_NETCDF
#include <netcdf.h>
#endif

namespace tarnwell {
namespace {

TEST(Glue, QuantilesWeightsAndTheShareInsideTheBand) {
  // Sorted: 1 (0.2), 2 (0.3), 3 (0.1), 4 (0.4); cumulative 0.2, 0.5, 0.6, 1.
  const std::vector<std::pair<double, double>> v{{3, 0.1}, {1, 0.2}, {std::nan(""), 5}, {2, 0.3}, {4, 0.4}};
  EXPECT_EQ(WeightedQuantile(v, 0.05), 1);
  EXPECT_EQ(WeightedQuantile(v, 0.5), 2);
  EXPECT_EQ(WeightedQuantile(v, 0.55), 3);
  EXPECT_EQ(WeightedQuantile(v, 0.95), 4);
  EXPECT_TRUE(std::isnan(WeightedQuantile({{std::nan(""), 1}}, 0.5)));

  // Four scored losses .2 .3 .5 .9: the best half is kept below .5, weighted .3 and .2.
  std::vector<TraceRecord> records(5);
  const double losses[] = {0.5, 0.2, INFINITY, 0.3, 0.9};
  for (std::size_t i = 0; i < 5; ++i) records[i].number = static_cast<long>(i + 1), records[i].loss = losses[i];
  ASSERT_EQ(ThresholdKeeping(records, 0.5), 0.5);
  const std::vector<GlueSet> sets = BehaviouralSets(records, 0.5);
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].record, 1u);
  EXPECT_NEAR(sets[0].weight, 0.6, 1e-12);
  EXPECT_EQ(sets[1].record, 3u);
  EXPECT_NEAR(sets[1].weight, 0.4, 1e-12);
  // Every set kept still weighs: the threshold lies just above the worst.
  EXPECT_EQ(BehaviouralSets(records, *ThresholdKeeping(records, 1)).size(), 4u);
  EXPECT_FALSE(ThresholdKeeping({records[2]}, 0.5));

  const Band band = WeightedBand({{1, 10}, {2, 20}, {3, 30}}, {0.25, 0.5, 0.25});
  EXPECT_EQ(band.low, (std::vector<double>{1, 10}));
  EXPECT_EQ(band.median, (std::vector<double>{2, 20}));
  EXPECT_EQ(band.high, (std::vector<double>{3, 30}));

  // Observed 1, (none), 5, 2 against [0, 2], [0, 2], [0, 4], [3, 4]: one of three inside.
  const BandYear y = BandYearStats(2001, {1, -1, 5, 2}, {0, 0, 0, 3}, {2, 2, 4, 4});
  EXPECT_EQ(y.observed, 3);
  EXPECT_EQ(y.inside, 1);
  EXPECT_DOUBLE_EQ(y.meanWidth, 2.25);
}

TEST(Glue, UncertaintyCommandForAnyNumberOfWorkersAfterAResumeAndFromATrace) {
  test::TempDir dir;
  std::string band[4];
  for (int run : {0, 1, 2, 3}) {
    const std::string root = dir / ("w" + std::to_string(run));
    test::TinyWorkspace w;
    w.simYears = 2;
    w.subBasins[0].rows = w.subBasins[0].cols = 3;
    w.subBasins[0].years.resize(2);
    w.subBasins[0].years[1].year = 2001;
    w.subBasins[0].years[0].precip = w.subBasins[0].years[1].precip = [](int d) { return d % 7 == 0 ? 20.0 : 0.5; };
    w.outletFlow = [](int d) { return d % 11 == 0 ? -1.0 : 0.5 + (d % 9) * 0.25; };
    test::WriteTinyWorkspace(root, w);
    test::WriteBytes(root + "/Parameters/calibration.txt",
                     "warmup 2000\ncalibration 2001\nFieldCapacity 0.2 0.38\nSnowMeltRate 1.5 6\n");
    const std::string out = root + "/Output/uncertainty/";
    std::vector<std::string> args{TARNWELL_CLI, "uncertainty", "--workspace", root,  "--method",  "glue",
                                  "--samples",  "12",          "--keep",      "0.5", "--workers", run == 1 ? "2" : "1"};
    test::ProbeExit r = test::RunProcess(args, dir / "log");
    ASSERT_EQ(r.status, 0) << r.log;
    EXPECT_NE(r.log.find("GLUE: 6 behavioural of 12 sets"), std::string::npos) << r.log;
    if (run >= 2) {
      // 2: the trace cut to 5 of its 12 sets, as a kill leaves it, and resumed; 3: the band
      // of the same sets taken from the trace.
      const std::string trace = test::ReadBytes(out + "glue-trace.csv");
      std::size_t at = 0;
      for (int line = 0; line < 6; ++line) at = trace.find('\n', at) + 1;
      if (run == 2) test::WriteBytes(out + "glue-trace.csv", trace.substr(0, at));
      else test::WriteBytes(dir / "kept.csv", trace), args.insert(args.end(), {"--from-trace", dir / "kept.csv"});
      std::filesystem::remove(out + "glue-band.csv");
      if (run == 2) args.push_back("--resume");
      r = test::RunProcess(args, dir / "log");
      ASSERT_EQ(r.status, 0) << r.log;
    }
    band[run] = test::ReadBytes(out + "glue-band.csv");
    const std::string years = test::ReadBytes(out + "glue-years.csv");
    EXPECT_EQ(years.substr(0, years.find('\n')), "year,period,observed_days,inside,share_inside,mean_width_m3s");
    EXPECT_NE(years.find("\n2001,calibration,332,"), std::string::npos) << years;
    const std::string sets = test::ReadBytes(out + "glue-behavioural.csv");
    EXPECT_EQ(std::count(sets.begin(), sets.end(), '\n'), 7);
    EXPECT_TRUE(std::filesystem::exists(out + "glue-band.svg"));
#ifdef TARNWELL_TEST_NETCDF
    int nc = -1, var = -1;
    std::size_t days = 0;
    ASSERT_EQ(nc_open((out + "glue-band.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
    int dim = -1;
    EXPECT_EQ(nc_inq_dimid(nc, "time", &dim), NC_NOERR);
    EXPECT_EQ(nc_inq_dimlen(nc, dim, &days), NC_NOERR);
    EXPECT_EQ(days, 365u);
    EXPECT_EQ(nc_inq_varid(nc, "discharge_high", &var), NC_NOERR);
    nc_close(nc);
#endif
  }
  EXPECT_EQ(band[0].substr(0, band[0].find('\n')), "date,observed,low,median,high");
  EXPECT_EQ(std::count(band[0].begin(), band[0].end(), '\n'), 366);
  EXPECT_NE(band[0].find("\n2001-01-11,,"), std::string::npos);  // day 11 is unobserved
  EXPECT_NE(band[0].find("\n2001-12-31,"), std::string::npos);
  for (int run : {1, 2, 3}) EXPECT_EQ(band[0], band[run]) << run;
}

}  // namespace
}  // namespace tarnwell
