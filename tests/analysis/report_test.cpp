// The calibration report: the fit of each year with KGE's parts worked by hand, the band
// drawn when it covers the days, the parameters' bound flags, and names escaped.
#include <gtest/gtest.h>

#include "app/Evaluator.h"
#include "calibration/Report.h"

namespace tarnwell {
namespace {

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Report, FitPartsBandAndFlags) {
  CalibrationReport r;
  r.workspace = "Perl & Moselle";
  r.lossName = "1-KGE 2001";
  r.evaluations = 10, r.bestNumber = 7;
  r.parameters = {{"A<b", 0, 1, false}, {"C", 0.1, 10, true}};
  r.before = {0.5, 1}, r.after = {1, 1};
  r.calibrationYears = {2001};
  r.validationYears = {2002};
  for (int y : {2001, 2002}) {
    // After: exact on the observed days; before: twice the discharge, so r = 1, alpha =
    // beta = 2, KGE = 1 - sqrt(2) and PBIAS 100 %.
    r.afterYears.push_back({y, {1, 2, 3, 4, 9}, {1, 2, 3, 4, -1}, {}, {}});
    r.beforeYears.push_back({y, {2, 4, 6, 8, 9}, {1, 2, 3, 4, -1}, {}, {}});
  }
  const std::string h = CalibrationReportHtml(r);
  EXPECT_EQ(Count(h,
                  "<tr><th>2001</th><td>calibration</td><td>1.000</td><td>1.000</td><td>1.000</td><td>1.000</td>"
                  "<td>1.000</td><td>1.000</td><td>0.0</td><td>-0.414</td>"),
            1u)
      << h;
  EXPECT_EQ(Count(h, "<tr><th>2002</th><td>validation</td>"), 1u);
  EXPECT_EQ(Count(h, "<td>100.0</td></tr>"), 2u);
  EXPECT_EQ(Count(h, "Perl &amp; Moselle"), 2u);
  EXPECT_EQ(Count(h, "A&lt;b"), 1u);
  EXPECT_EQ(Count(h, "on the upper bound"), 1u);  // C = 1 stands mid-way in its logarithm
  EXPECT_EQ(Count(h, "1 parameter ends on or near a bound"), 1u);
  EXPECT_EQ(Count(h, "<svg"), 3u);  // the hydrograph and the two periods' duration curves
  EXPECT_EQ(Count(h, "5-95 % band"), 0u);

  // A band over the named years' ten days is drawn; one of other days is not.
  r.band.low.assign(10, 0.5), r.band.high.assign(10, 5);
  r.bandSource = "GLUE";
  EXPECT_EQ(Count(CalibrationReportHtml(r), "5-95 % band (GLUE)"), 1u);
  r.band.low.resize(9);
  EXPECT_EQ(Count(CalibrationReportHtml(r), "5-95 % band"), 0u);
}

}  // namespace
}  // namespace tarnwell
