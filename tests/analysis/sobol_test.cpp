// Sobol's indices against functions whose indices are known (Ishigami's and Sobol's G),
// the design's shape and seed, base points left out when unscored, and the command on a
// small workspace: the same table for one worker and two, and after a resume.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "TestSupport.h"
#include "TinyWorkspace.h"
#include "calibration/ProbeSupport.h"
#include "sobol/Sobol.h"

namespace tarnwell {
namespace {

std::vector<double> Outputs(const std::vector<std::vector<double>>& points, double (*f)(const std::vector<double>&)) {
  std::vector<double> y;
  for (const auto& p : points) y.push_back(f(p));
  return y;
}

// Ishigami (a = 7, b = 0.1) on [-pi, pi]^3: S = 0.3139, 0.4424, 0; ST = 0.5576, 0.4424, 0.2437.
double Ishigami(const std::vector<double>& u) {
  const double pi = std::numbers::pi;
  const double x1 = -pi + 2 * pi * u[0], x2 = -pi + 2 * pi * u[1], x3 = -pi + 2 * pi * u[2];
  return std::sin(x1) + 7 * std::sin(x2) * std::sin(x2) + 0.1 * std::pow(x3, 4) * std::sin(x1);
}

// Sobol's G with a = 0, 1, 4.5, 9, 99, 99: V_i = 1 / (3 (1 + a_i)^2).
constexpr double kA[] = {0, 1, 4.5, 9, 99, 99};
double G(const std::vector<double>& u) {
  double g = 1;
  for (std::size_t i = 0; i < std::size(kA); ++i) g *= (std::fabs(4 * u[i] - 2) + kA[i]) / (1 + kA[i]);
  return g;
}

TEST(Sobol, IndicesOfFunctionsWhoseIndicesAreKnown) {
  const long n = 8000;
  const std::vector<std::vector<double>> points = SobolPoints(3, n, 11);
  ASSERT_EQ(points.size(), static_cast<std::size_t>(n * 5));
  // Block i + 2 is block A with column i of block B.
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(points[(i + 2) * n][c], points[c == i ? n : 0][c]);
  const std::vector<SobolIndex> s = SobolIndices(points, Outputs(points, Ishigami), 3, n, 3, 200);
  const double first[] = {0.3139, 0.4424, 0}, total[] = {0.5576, 0.4424, 0.2437};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(s[i].first, first[i], 0.04) << i;
    EXPECT_NEAR(s[i].total, total[i], 0.04) << i;
    EXPECT_LE(s[i].firstLow, s[i].first);
    EXPECT_GE(s[i].totalHigh, s[i].total);
    EXPECT_LT(s[i].totalHigh - s[i].totalLow, 0.2);
    EXPECT_EQ(s[i].samples, n);
  }

  const std::vector<std::vector<double>> g = SobolPoints(6, n, 5);
  const std::vector<SobolIndex> sg = SobolIndices(g, Outputs(g, G), 6, n, 5, 200);
  double v[6], product = 1;
  for (int i = 0; i < 6; ++i) v[i] = 1 / (3 * (1 + kA[i]) * (1 + kA[i])), product *= 1 + v[i];
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(sg[i].first, v[i] / (product - 1), 0.04) << i;
    EXPECT_NEAR(sg[i].total, v[i] * product / (1 + v[i]) / (product - 1), 0.04) << i;
  }
}

TEST(Sobol, SeedsAndUnscoredBasePoints) {
  EXPECT_EQ(SobolPoints(3, 64, 2), SobolPoints(3, 64, 2));
  EXPECT_NE(SobolPoints(3, 64, 2), SobolPoints(3, 64, 3));
  const long n = 2000;
  const std::vector<std::vector<double>> points = SobolPoints(3, n, 4);
  std::vector<double> y = Outputs(points, Ishigami);
  const std::vector<SobolIndex> all = SobolIndices(points, y, 3, n, 1, 100);
  EXPECT_EQ(all.front().first, SobolIndices(points, y, 3, n, 1, 100).front().first);
  // An unscored point drops its base point from every block, wherever it lies.
  y[5] = std::nan("");
  y[3 * n + 9] = INFINITY;
  const std::vector<SobolIndex> fewer = SobolIndices(points, y, 3, n, 1, 100);
  EXPECT_EQ(fewer.front().samples, n - 2);
  EXPECT_TRUE(std::isfinite(fewer.front().first) && std::isfinite(fewer.back().total));
  EXPECT_NEAR(fewer.front().first, all.front().first, 0.02);
}

// tarnwell sensitivity --method sobol: the table for the loss and every metric, the same for
// one worker, two, and a run resumed from a trace cut short.
TEST(Sobol, SensitivityCommandForAnyNumberOfWorkersAndAfterAResume) {
  test::TempDir dir;
  std::string csv[3];
  for (int run : {0, 1, 2}) {
    const std::string root = dir / ("w" + std::to_string(run));
    test::TinyWorkspace w;
    w.simYears = 2;
    w.subBasins[0].rows = w.subBasins[0].cols = 3;
    w.subBasins[0].years.resize(2);
    w.subBasins[0].years[1].year = 2001;
    w.subBasins[0].years[0].precip = w.subBasins[0].years[1].precip = [](int d) { return d % 7 == 0 ? 20.0 : 0.5; };
    w.outletFlow = [](int d) { return 0.5 + (d % 9) * 0.25; };
    test::WriteTinyWorkspace(root, w);
    test::WriteBytes(root + "/Parameters/calibration.txt",
                     "warmup 2000\ncalibration 2001\nFieldCapacity 0.2 0.38\nSnowMeltRate 1.5 6\n");
    std::vector<std::string> args{TARNWELL_CLI, "sensitivity", "--workspace", root,        "--method",
                                  "sobol",      "--samples",   "8",           "--workers", run == 1 ? "2" : "1"};
    test::ProbeExit r = test::RunProcess(args, dir / "log");
    ASSERT_EQ(r.status, 0) << r.log;
    EXPECT_NE(r.log.find("Sobol indices of 1-KGE 2001"), std::string::npos) << r.log;
    const std::string out = root + "/Output/sensitivity/";
    if (run == 2) {
      // Keep the header and the first 10 of 32 evaluations, as a kill would leave them.
      const std::string trace = test::ReadBytes(out + "sobol-trace.csv");
      std::size_t at = 0;
      for (int line = 0; line < 11; ++line) at = trace.find('\n', at) + 1;
      test::WriteBytes(out + "sobol-trace.csv", trace.substr(0, at));
      std::filesystem::remove(out + "sobol.csv");
      args.push_back("--resume");
      r = test::RunProcess(args, dir / "log");
      ASSERT_EQ(r.status, 0) << r.log;
    }
    csv[run] = test::ReadBytes(out + "sobol.csv");
    EXPECT_TRUE(std::filesystem::exists(out + "sobol-loss.svg"));
    EXPECT_TRUE(std::filesystem::exists(out + "sobol-logNSE.svg"));
  }
  EXPECT_EQ(csv[0], csv[1]);
  EXPECT_EQ(csv[0], csv[2]);
  EXPECT_EQ(csv[0].substr(0, csv[0].find('\n')),
            "output,parameter,first,first_low,first_high,total,total_low,total_high,samples");
  EXPECT_NE(csv[0].find("\nlogNSE,SnowMeltRate,"), std::string::npos);
}

}  // namespace
}  // namespace tarnwell
