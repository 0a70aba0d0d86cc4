// The maps of every cell: kept by either engine with the same values, they change no output
// file, their soil loss adds up to the sub-basin's yearly erosion of "Budget_s.out", and the
// water-balance maps are finite sums of the days.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/WholeRuns.h"

namespace tarnwell {
namespace {

// The run's files, and with `maps` the maps of each sub-basin (by number) year by year.
test::Files RunWith(const std::string& engineName, std::map<int, std::vector<CellMaps>>* maps) {
  test::TinyWorkspace w = test::SmallBasins(2, 2, 4, 5);
  w.subBasins[0].years[0].sedConc = [](int d) { return 0.02 * (d % 7); };
  const std::unique_ptr<DayEngine> engine = MakeDayEngine(engineName, 2);
  auto keep = [maps](Driver& d) {
    if (maps) d.KeepCellMaps([maps](int k, const CellMaps& m) { (*maps)[k].push_back(m); });
  };
  return test::RunYears(w, {.engine = engine.get(), .more = keep}).files;
}

// The erosion column of a year row of "Budget_s.out" (t).
double YearErosion(const std::string& budgetS, int year) {
  TextReader r = TextReader::FromString(budgetS, "Budget_s.out");
  while (!r.AtEnd()) {
    const FieldLine l = r.ReadFields();
    if (l.Count() > 8 && l.Token(0) == std::to_string(year) + "全年") return l.Real(9);
  }
  return std::nan("");
}

TEST(CellMaps, ChangeNoFileAndAddUpToTheYearsErosion) {
  std::map<int, std::vector<CellMaps>> fused, reference;
  const test::Files files = RunWith("fused", &fused);
  RunWith("reference", &reference);
  test::ExpectSameFiles(RunWith("fused", nullptr), files);
  ASSERT_EQ(fused.size(), 2u);
  for (const auto& [k, years] : fused) {
    ASSERT_EQ(years.size(), 2u);
    const std::string budget = files.at("Output/流域" + std::to_string(k) + "/Budget_s.out");
    for (std::size_t y = 0; y < years.size(); ++y) {
      const CellMaps& m = years[y];
      const CellMaps& ref = reference.at(k)[y];
      EXPECT_TRUE(m.precipitation == ref.precipitation && m.soilLoss == ref.soilLoss &&
                  m.waterTableDepth == ref.waterTableDepth && m.snowPack == ref.snowPack);
      // Back from t/ha to t over each cell's area (9000 / 4 m by 9600 / 5 m).
      const double hectares = (9000.0 / m.rows) * (9600.0 / m.cols) / 10000.0;
      double total = 0;
      int inside = 0;
      for (std::size_t i = 0; i < m.soilLoss.size(); ++i) {
        if (std::isnan(m.soilLoss[i])) continue;
        ++inside;
        total += m.soilLoss[i] * hectares;
        // Negative where the table stands above the ground (a cell below the sub-basin's mean
        // table, which every cell takes over into the next year).
        EXPECT_TRUE(std::isfinite(m.waterTableDepth[i]) && m.precipitation[i] > 0 && m.snowPack[i] >= 0) << i;
      }
      EXPECT_EQ(inside, m.rows * m.cols);
      const double printed = YearErosion(budget, m.year);
      EXPECT_NEAR(total, printed, 0.0005 + 1e-9 * std::fabs(printed)) << "sub-basin " << k << " " << m.year;
    }
  }
}

}  // namespace
}  // namespace tarnwell
