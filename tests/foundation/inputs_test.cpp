#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"
#include "model/ModelState.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {
namespace {

TextReader Gbk(const std::string& utf8, const std::string& name = "f.txt") {
  std::string crlf;
  for (char c : utf8) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return TextReader::FromString(EncodeGbk(crlf), name);
}

TEST(Parameters, GbkFileWithChineseLabelsAndTokenPositions) {
  // Extra tokens and lines after line 34 are ignored; labels do not matter.
  std::string text = test::ParameterFileText() + "多余的行 1 2 3\n";
  ParameterSet p;
  p.ErodibilityMode = 1;
  TextReader r = Gbk(text);
  LoadParameters(r, p);
  EXPECT_EQ(p.SimYears, 2);
  EXPECT_EQ((std::vector<double>{p.Latitude, p.SoilLayerEvapWeight[2], p.FreeWaterThresholdInterflow, p.LayerThickness3,
                                 p.SedimentConsolidationCoef}),
            (std::vector<double>{30.5, 0.2, 5, 600, 0.01}));
  // Lines 27-28: the values at tokens 1, 3, 5, 7 between the soil-type names.
  for (int i = 1; i <= 8; ++i) EXPECT_DOUBLE_EQ(p.Erodibility[i], 0.30 + 0.01 * i) << i;
  EXPECT_EQ(p.ErodibilityMode, 1);  // loading never changes the mode
  // A decimal comma: "0,5" gives 0, and the next position takes 5.
  const std::string weights = "各层土壤蒸发权重 0.5 0.3 0.2";
  text.replace(text.find(weights), weights.size(), "各层土壤蒸发权重 0,5 0.3");
  TextReader comma = Gbk(text);
  LoadParameters(comma, p);
  EXPECT_EQ((std::vector<double>{p.SoilLayerEvapWeight[0], p.SoilLayerEvapWeight[1], p.SoilLayerEvapWeight[2]}),
            (std::vector<double>{0, 5, 0.3}));
}

TEST(Parameters, WrittenFileIsTheDialogsFormatAndLoadsBack) {
  // Values as loaded ("1.0" is written back as 1), and three that need care: all 17 digits,
  // a tiny value, and one shorter in exponent form.
  ParameterSet p;
  TextReader r = Gbk(test::ParameterFileText());
  LoadParameters(r, p);
  p.SoilEvapParam = 0.1 + 0.2;
  p.Erodibility[0] = 1e-20;
  p.SedimentStoreInitial = 1.25e8;
  test::TempDir dir;
  const std::string path = dir / "written.txt";
  WriteParameterFile(path, "written.txt", p);
  EXPECT_TRUE(test::SameBytes(test::ReadBytes(std::string(TARNWELL_TEST_DATA) + "/golden/parameters/written.txt"),
                              test::ReadBytes(path)));
  ParameterSet q;
  LoadParameters(path, "written.txt", q);
  EXPECT_EQ(ListParameters(q), ListParameters(p));
  EXPECT_EQ(q.SoilEvapParam, p.SoilEvapParam);
  EXPECT_EQ(q.Erodibility[0], 1e-20);
}

TEST(Grids, TerrainHeaderValuesAndDerivedGrids) {
  ModelState s;
  // Line 2 holds 2 and 3: two columns, three rows. z maximum equals the highest cell.
  TextReader t = Gbk("DSAA\n2 3\n0 30\n0 60\n100 900\n100 200\n300 900\n-9999 400 extra\n");
  ReadTerrainGrid(s, t);
  EXPECT_EQ(std::pair(s.GridCols, s.GridRows), std::pair(2, 3));
  // Cell sizes: the x extent over the rows, the y extent over the columns; the table 3 m
  // down; no conductivity at the highest cell (900 >= z maximum).
  EXPECT_EQ(
      (std::vector<double>{s.SurfElev[s.Cell(3, 2)], s.WTElev[s.Cell(1, 1)], s.WTPrev[s.Cell(1, 1)], s.CellSizeX[0],
                           s.CellSizeY[0], s.GwConductivity[s.Cell(2, 2)], s.GwConductivity[s.Cell(1, 1)]}),
      (std::vector<double>{400, 97, 97, 10, 30, 0, 5}));
  // Land use: 150 is not counted, -9999 is.
  TextReader l = Gbk("DSAA\n2 3\n0 30\n0 60\n0 0\n11 150\n21 255\n-9999 31\n");
  ReadLandUseGrid(s, l);
  EXPECT_DOUBLE_EQ(s.BasinArea, 4 * 10 * 30 / 1e6);
  // Slope in degrees: 90 -> 1, 0 -> mask 0, negative and no-data values stay and mask 0.
  TextReader sl = Gbk("DSAA\n2 3\n0 30\n0 60\n0 0\n90 0\n-5 30\n2e30 45\n");
  ReadSlopeGrid(s, sl);
  const std::pair<double, double> slope[] = {{1, 1}, {-5, 0}, {2e30, 0}};  // rows 1 to 3, column 1
  for (int r = 1; r <= 3; ++r)
    EXPECT_EQ(std::pair(s.SlopeSine[s.Cell(r, 1)], s.SlopeMask[s.Cell(r, 1)]), slope[r - 1]) << r;
  EXPECT_EQ(s.SlopeMask[s.Cell(1, 2)], 0.0);
  EXPECT_NEAR(s.SlopeSine[s.Cell(2, 2)], 0.5, 1e-15);
  // A grid of another size clears the full extent.
  s.Uz1.assign(s.CellCount(), 9.0);
  TextReader small = Gbk("DSAA\n1 1\n0 1\n0 1\n0 10\n5\n");
  ReadTerrainGrid(s, small);
  EXPECT_EQ(s.CellCount(), 1u);
  EXPECT_DOUBLE_EQ(s.Uz1[0], 0.0);
}

TEST(MetFile, YearBlocksCountedByStructure) {
  std::string text;
  for (int year : {1991, 1992}) {
    text += std::to_string(year) + " 12 1 1 200\n";
    int days = year == 1992 ? 366 : 365;
    for (int d = 0; d < days; ++d) text += std::to_string(year) + " 1 1 1 0 5 1 0\n";
  }
  text += "1993 12 1 1 200\n1993 1 1 1 0 5 1 0\n";  // cut short: not counted
  TextReader r = TextReader::FromString(text, "m.txt");
  EXPECT_EQ(CountMetYearBlocks(r), 2);
}

}  // namespace
}  // namespace tarnwell
