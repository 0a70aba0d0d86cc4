// The chart geometry through the recording canvas, at the design size 853 x 554, the
// contour tracing of the terrain map, and the charts command writing the three charts of
// a stored year.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "../hardening/HardeningSupport.h"
#include "TinyWorkspace.h"
#include "charts/Graph.h"
#include "charts/RecordingCanvas.h"
#include "charts/SvgCanvas.h"
#include "model/ModelState.h"
#include "viewer/Contours.h"

namespace tarnwell {
namespace {

struct Drawn {
  RecordingCanvas runoff{kChartWidth, kChartHeight}, sediment{kChartWidth, kChartHeight},
      snow{kChartWidth, kChartHeight};
};

void Draw(const ModelState& year, Drawn& d) {
  DrawChartFrame(d.runoff, ChartKind::Runoff, year.CurYear);
  DrawChartFrame(d.sediment, ChartKind::Sediment, year.CurYear);
  DrawChartFrame(d.snow, ChartKind::SnowFrost, year.CurYear);
  DrawResultCharts(year, d.runoff, d.sediment, d.snow);
}

struct Segment {
  int x1, y1, x2, y2;
};
std::vector<Segment> Segments(const std::vector<std::string>& lines) {
  std::vector<Segment> out;
  for (const auto& l : lines) {
    std::istringstream in(l);
    Segment s{};
    in >> s.x1 >> s.y1 >> s.x2 >> s.y2;
    out.push_back(s);
  }
  return out;
}

ModelState Year(int year, int days) {
  ModelState y;
  y.CurYear = year;
  y.DaysInYear = days;
  y.DayCount = days;
  return y;
}

bool HasText(const RecordingCanvas& c, const std::string& xyText) {
  for (const auto& t : c.Texts())
    if (t == xyText) return true;
  return false;
}

TEST(ChartGeometry, DesignSizeScalesAndRanges) {
  ModelState y = Year(1990, 365);
  for (int d = 1; d <= 365; ++d) {
    y.ObsFlow[d] = 10;    // at the flow scale: two thirds up, y = 514 - 323 = 191
    y.SimFlow[d] = 4;     // 514 - rnd(129.2) = 385
    y.MeanPrecip[d] = 5;  // the maximum hangs a quarter of the height down: 30 + 126 = 156
    y.MeanSnowPack[d] = 100;
  }
  Drawn d;
  Draw(y, d);
  const auto green = Segments(d.runoff.LinesIn(kGreen));
  // The legend sample first, then the observed line from day 2 to day 364.
  ASSERT_EQ(green.size(), 1u + 362u);
  EXPECT_EQ(green[0].y1, 15);
  for (std::size_t i = 1; i < green.size(); ++i) EXPECT_EQ(green[i].y2, 191);
  EXPECT_EQ(green[1].x1, 45 + 2);   // x(1) = 45 + rnd(768 / 365)
  EXPECT_EQ(green.back().x2, 809);  // x(363) = 45 + rnd(763.79)
  for (const auto& s : Segments(d.runoff.LinesIn(kRed))) {
    if (s.y1 == 15) continue;  // legend
    EXPECT_EQ(s.y2, 385);
  }
  // Hyetograph: steps for days 1..362 with a final rise to day 363, all at 156.
  const auto blue = Segments(d.runoff.LinesIn(kBlue));
  int hyetograph = 0;
  for (const auto& s : blue)
    if (s.y1 == 156 || s.y2 == 156) ++hyetograph;
  EXPECT_EQ(hyetograph, 2 * 362);
  // Snow columns of 100 rise from the base line 284 to 213.
  const auto yellow = Segments(d.snow.LinesIn(kYellow));
  ASSERT_GT(yellow.size(), 2u);
  EXPECT_EQ(yellow[1].y1, 284);
  EXPECT_EQ(yellow[1].y2, 213);
  // The snow/frost base line, black and 3 wide, from 45 to 813 at 284.
  bool baseLine = false;
  for (const auto& s : Segments(d.snow.LinesIn(kBlack)))
    if (s.x1 == 45 && s.x2 == 813 && s.y1 == 284 && s.y2 == 284) baseLine = true;
  EXPECT_TRUE(baseLine);
}

TEST(ChartGeometry, LabelsOfALowYearAndTheSnowFrostAxes) {
  ModelState y = Year(1991, 365);
  for (int d = 1; d <= 365; ++d) y.SimFlow[d] = y.ObsFlow[d] = 2, y.MeanPrecip[d] = d % 7;
  Drawn d;
  Draw(y, d);
  // Runoff under 5 mm: the scale is 10, labels 0, 1.7, ... 10 at x = 5, label 0 at 529.
  const char* labels[] = {"0", "1.7", "3.3", "5", "6.7", "8.3", "10"};
  for (int k = 0; k <= 6; ++k) {
    const int top = static_cast<int>(std::nearbyint(2.0 * (30 - 534) / 3 / 6 * k)) + 534 - 5;
    EXPECT_TRUE(HasText(d.runoff, "5 " + std::to_string(top) + " " + labels[k])) << labels[k];
  }
  EXPECT_TRUE(HasText(d.runoff, "5 529 0"));
  EXPECT_TRUE(HasText(d.runoff, "50 10 1991年"));
  EXPECT_TRUE(HasText(d.runoff, "818 25 0"));  // right label 0: 30 - 0 - 5
  EXPECT_TRUE(HasText(d.sediment, "5 529 0"));
  // Snow 100 at y = 108, frost 100 at 284 + 176 = 460, titles at six steps.
  EXPECT_TRUE(HasText(d.snow, "5 108 100"));
  EXPECT_TRUE(HasText(d.snow, "5 460 100"));
  EXPECT_TRUE(HasText(d.snow, "818 108 50"));
  EXPECT_TRUE(HasText(d.snow, "818 460 5"));
  EXPECT_TRUE(HasText(d.snow, "5 73 snow"));
  // "Gwater" is wider than the margin: it ends inside the border instead of at 818.
  EXPECT_TRUE(HasText(d.snow, "801 495 Gwater"));
  // Month captions: 5 pixels further right on the snow/frost chart.
  EXPECT_TRUE(HasText(d.runoff, "72 517 1月"));
  EXPECT_TRUE(HasText(d.snow, "77 287 1月"));
}

TEST(ChartGeometry, DryYearAndTheLastColumnOfALeapYear) {
  // No precipitation at all: the hyetograph lies on the top line instead of dividing by 0.
  ModelState y = Year(1992, 366);
  y.MeanFrozen[366] = 50;
  y.MeanFrozen[365] = 10;
  Drawn d;
  Draw(y, d);
  for (const auto& s : Segments(d.runoff.LinesIn(kBlue))) {
    if (s.y1 == 15) continue;
    EXPECT_TRUE(s.y1 == 30 || s.x1 == s.x2 || s.y1 == 514 || s.x1 == 813) << s.x1 << " " << s.y1;
  }
  for (const auto& t : d.runoff.Texts()) EXPECT_EQ(t.find("nan"), std::string::npos) << t;
  // Frozen columns hang below the base line; the last one (day 366) ends at its own value:
  // 284 - rnd(50 / 100 * -284 / 4) = 320, with nothing read past the year.
  auto silver = Segments(d.snow.LinesIn(kSilver));
  ASSERT_GE(silver.size(), 2u);
  const Segment last = silver.back(), rise = silver[silver.size() - 2];
  EXPECT_EQ(rise.y1, 284);
  EXPECT_EQ(rise.y2, 320);
  EXPECT_EQ(last.y1, 320);
  EXPECT_EQ(last.y2, 320);
  EXPECT_EQ(last.x2, 813);
}

TEST(ChartGeometry, LabelsOfHugeAndTinyValuesKeepTheirMagnitude) {
  // Beyond the range of a 32-bit integer the labels once wrapped round to -214748364.8.
  ModelState y = Year(1993, 365);
  for (int d = 1; d <= 365; ++d) {
    y.SimFlow[d] = 3e8;
    y.MeanPrecip[d] = 6e12;
    y.ObsSediment[d] = 0.0004;  // below the scale floor of 10: labels as for 10
  }
  Drawn d;
  Draw(y, d);
  EXPECT_TRUE(HasText(d.runoff, "5 529 0"));
  EXPECT_TRUE(HasText(d.runoff, "5 417 100000000"));
  EXPECT_TRUE(HasText(d.runoff, "5 193 300000000"));
  bool top = false;
  for (const auto& t : d.runoff.Texts()) {
    EXPECT_EQ(t.find('-'), std::string::npos) << t;
    if (t.find(" 6000000000000") != std::string::npos) top = true;
  }
  EXPECT_TRUE(top);
  EXPECT_TRUE(HasText(d.sediment, "5 417 3.3"));
}

TEST(ChartGeometry, ValuesFarOffTheirScaleStayDrawable) {
  // The snow/frost chart has fixed scales: a wild temperature or groundwater value (a
  // damaged file) lies far off the image, held at a safe distance instead of overflowing.
  ModelState y = Year(1994, 365);
  for (int d = 1; d <= 365; ++d) {
    y.AirTempAdj[d] = d % 2 ? 1e300 : -1e300;
    y.GroundWaterLevel[d] = d % 3 ? std::nan("") : HUGE_VAL;
    y.SimFlow[d] = HUGE_VAL;
  }
  Drawn d;
  Draw(y, d);
  std::size_t points = 0;
  for (const RecordingCanvas* c : {&d.snow, &d.runoff})
    for (const auto& line : c->Polylines())
      for (const Point& p : line.points) {
        EXPECT_LE(std::abs(p.y), 40000) << p.y;
        ++points;
      }
  // Observed and simulated runoff, snow line, temperature, groundwater.
  EXPECT_EQ(points, 5u * 363u);
}

TEST(ChartGeometry, RightMarginTextEndsInsideTheImage) {
  ModelState y = Year(1995, 365);
  for (int d = 1; d <= 365; ++d) y.MeanPrecip[d] = 123456.7;
  for (int width : {kChartWidth, 700}) {
    RecordingCanvas runoff(width, kChartHeight), sediment(width, kChartHeight), snow(width, kChartHeight);
    DrawChartFrame(runoff, ChartKind::Runoff, 1995);
    DrawChartFrame(sediment, ChartKind::Sediment, 1995);
    DrawChartFrame(snow, ChartKind::SnowFrost, 1995);
    DrawResultCharts(y, runoff, sediment, snow);
    int rightTexts = 0;
    for (const RecordingCanvas* c : {&runoff, &sediment, &snow})
      for (const auto& t : c->Texts()) {
        std::istringstream in(t);
        int x = 0, top = 0;
        std::string text;
        in >> x >> top;
        std::getline(in >> std::ws, text);
        // Not of the right margin: the left half, the legend, the month captions.
        if (x < width / 2 || top == 10 || text.find("月") != std::string::npos) continue;
        ++rightTexts;
        EXPECT_LE(x + c->TextWidth(text), width - 3) << width << ": " << t;
        // A text that fits keeps its place 5 pixels right of the axis.
        if (c->TextWidth(text) <= 31) {
          EXPECT_EQ(x, width - 35) << t;
        }
      }
    // Labels and titles: 7 + 1 on each flow chart, 12 + 4 on the snow/frost chart.
    EXPECT_EQ(rightTexts, 8 + 8 + 16) << width;
  }
  // The estimate of the text width counts a CJK character as square.
  EXPECT_EQ(RecordingCanvas(10, 10).TextWidth("P(mm)"), 40);
  EXPECT_EQ(RecordingCanvas(10, 10).TextWidth("(℃)"), 28);
}

TEST(ChartGeometry, EachSeriesIsOnePolylineWithItsPen) {
  ModelState y = Year(1996, 366);
  for (int d = 1; d <= 366; ++d) y.SimFlow[d] = d % 10, y.GroundWaterLevel[d] = -1;
  Drawn d;
  Draw(y, d);
  // The simulated runoff: one dotted polyline through indices 1 .. 364, so the dots run on
  // along the whole year instead of starting anew every day.
  std::vector<RecordingCanvas::DrawnPolyline> dotted;
  for (const auto& line : d.runoff.Polylines())
    if (line.style == PenStyle::Dot) dotted.push_back(line);
  ASSERT_EQ(dotted.size(), 1u);
  EXPECT_EQ(dotted[0].colour, kRed);
  ASSERT_EQ(dotted[0].points.size(), 364u);
  EXPECT_EQ(dotted[0].points.front().x, 45 + 2);
  EXPECT_EQ(dotted[0].points.back().x, 45 + 764);  // x(364) = 45 + rnd(768 * 364 / 366)
  // The groundwater level: one dash-dot polyline at 1 m below the surface.
  std::vector<RecordingCanvas::DrawnPolyline> dashDot;
  for (const auto& line : d.snow.Polylines())
    if (line.style == PenStyle::DashDot) dashDot.push_back(line);
  ASSERT_EQ(dashDot.size(), 1u);
  EXPECT_EQ(dashDot[0].colour, kBlack);
  EXPECT_EQ(dashDot[0].points.size(), 364u);
  EXPECT_EQ(dashDot[0].points[10].y, 284 + 38);  // -1 / 5 * -284 * 2/3 = 37.9 below the base
  // The sediment chart: the simulated sediment dash-dot, the observed solid.
  int sedimentLines = 0;
  for (const auto& line : d.sediment.Polylines()) {
    ++sedimentLines;
    EXPECT_EQ(line.style, line.colour == kRed ? PenStyle::DashDot : PenStyle::Solid);
  }
  EXPECT_EQ(sedimentLines, 2);
}

TEST(ChartGeometry, SvgDocument) {
  SvgCanvas c(200, 100);
  DrawChartFrame(c, ChartKind::Runoff, 1990);
  c.TextOut(1, 2, "a<b&c");
  const std::string doc = c.Document();
  EXPECT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0), 0u);
  EXPECT_NE(doc.find("width=\"200\" height=\"100\""), std::string::npos);
  EXPECT_NE(doc.find("<text x=\"50\" y=\"10\" dominant-baseline=\"hanging\">1990年</text>"), std::string::npos);
  EXPECT_NE(doc.find(">a&lt;b&amp;c</text>"), std::string::npos);
  // The axes and ticks of one pen form one path; the blue frame lines the next.
  EXPECT_NE(doc.find("<path d=\"M45 60L45 30M45 60L160 60M"), std::string::npos);
  EXPECT_NE(doc.find("<path d=\"M160 60L160 30M160 30L45 30\" fill=\"none\" stroke=\"#0000ff\" "
                     "stroke-width=\"1\"/>"),
            std::string::npos);
  EXPECT_EQ(doc.substr(doc.size() - 7), "</svg>\n");
}

// A polyline's points, rounded to hundredths, as "x,y x,y ...".
std::string Points(const ContourLine& line) {
  std::string out;
  char buf[64];
  for (const ContourPoint& p : line) {
    std::snprintf(buf, sizeof buf, "%s%.2f,%.2f", out.empty() ? "" : " ", p.x + 0.0, p.y + 0.0);
    out += buf;
  }
  return out;
}

// The same line whichever end it starts from.
std::string Undirected(ContourLine line) {
  ContourLine reversed(line.rbegin(), line.rend());
  return std::min(Points(line), Points(reversed));
}

TEST(Contours, ARampGivesStraightLinesBetweenCellCentres) {
  // z = 10 x column + row over 4 rows x 5 columns: the level 16 is crossed between columns
  // 1 and 2, at x = 1.6 - row / 10.
  const int rows = 4, cols = 5;
  std::vector<double> z;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) z.push_back(10.0 * c + r);
  const auto lines = TraceContours(z, rows, cols, 16);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Undirected(lines[0]), "1.30,3.00 1.40,2.00 1.50,1.00 1.60,0.00");
  // No line below the lowest or above the highest value; a level on a value passes through
  // that centre.
  EXPECT_TRUE(TraceContours(z, rows, cols, -1).empty());
  EXPECT_TRUE(TraceContours(z, rows, cols, 44).empty());
  const auto onCentres = TraceContours(z, rows, cols, 20);
  ASSERT_EQ(onCentres.size(), 1u);
  EXPECT_EQ(Undirected(onCentres[0]), "1.70,3.00 1.80,2.00 1.90,1.00 2.00,0.00");
}

TEST(Contours, APeakGivesAClosedRingAndCellsWithoutDataStopTheLines) {
  std::vector<double> z(25, 0.0);
  z[12] = 10;  // the centre of 5 x 5
  auto lines = TraceContours(z, 5, 5, 5);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].front(), lines[0].back());
  EXPECT_EQ(lines[0].size(), 5u);
  for (const ContourPoint& p : lines[0]) EXPECT_DOUBLE_EQ(std::abs(p.x - 2) + std::abs(p.y - 2), 0.5);
  // Smoothing keeps the ring closed and round the peak.
  const ContourLine smooth = SmoothContour(lines[0], 2);
  EXPECT_EQ(smooth.front(), smooth.back());
  EXPECT_EQ(smooth.size(), 17u);
  for (const ContourPoint& p : smooth) EXPECT_LT(std::hypot(p.x - 2, p.y - 2), 0.5);

  // A cell without data to the east of the peak: the ring opens where its squares are.
  z[13] = std::nan("");
  lines = TraceContours(z, 5, 5, 5);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Undirected(lines[0]), "2.00,1.50 1.50,2.00 2.00,2.50");
  // An open line keeps its ends when smoothed; a straight one stays straight.
  const ContourLine open = SmoothContour(lines[0], 2);
  EXPECT_EQ(open.front(), lines[0].front());
  EXPECT_EQ(open.back(), lines[0].back());
  const ContourLine straight = SmoothContour({{0, 0}, {1, 1}, {3, 3}}, 3);
  for (const ContourPoint& p : straight) EXPECT_DOUBLE_EQ(p.x, p.y);
}

TEST(Contours, ASaddleIsSplitByTheMeanOfItsSquare) {
  // High corners on one diagonal. Mean 5.5 is above the level 5: the high corners join and
  // the two low corners are cut off, one short line each.
  const std::vector<double> z{10, 0, 2, 10};
  auto lines = TraceContours(z, 2, 2, 5);
  ASSERT_EQ(lines.size(), 2u);
  std::vector<std::string> seen{Undirected(lines[0]), Undirected(lines[1])};
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{"0.00,0.62 0.38,1.00", "0.50,0.00 1.00,0.50"}));
  // At the level 6 the mean is below: the high corners are cut off instead.
  lines = TraceContours(z, 2, 2, 6);
  ASSERT_EQ(lines.size(), 2u);
  seen = {Undirected(lines[0]), Undirected(lines[1])};
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{"0.00,0.50 0.40,0.00", "0.50,1.00 1.00,0.60"}));
}

TEST(Contours, RoundIntervalsAndTheirLevels) {
  EXPECT_DOUBLE_EQ(ContourInterval(1046), 200);
  EXPECT_DOUBLE_EQ(ContourInterval(70), 10);
  EXPECT_DOUBLE_EQ(ContourInterval(15), 2.5);
  EXPECT_DOUBLE_EQ(ContourInterval(0), 1);
  EXPECT_EQ(ContourLevels(236, 1282, 200), (std::vector<double>{400, 600, 800, 1000, 1200}));
  EXPECT_EQ(ContourLevels(400, 800, 200), (std::vector<double>{600}));
  EXPECT_TRUE(ContourLevels(5, 5, 1).empty());
  EXPECT_TRUE(ContourLevels(0, HUGE_VAL, 1).empty());
}

// The second year simulates no month: its blocks hold the year line and the heading only.
TEST(ChartsCommand, WritesTheChartsOfAStoredYearAndRefusesOthers) {
  test::CliWorkspace ws(test::TwoYears(0));
  ASSERT_EQ(ws.Cli({"run"}).status, 0);
  const std::string out = ws.dir / "charts";
  auto charts = [&](const char* which, const char* year, const std::string& to) {
    return ws.Cli({"charts", "--sub-basin", which, "--year", year, "--out", to});
  };
  for (const char* which : {"1", "basin"}) {
    const test::CliResult r = charts(which, "2000", out + "/" + which);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {"runoff", "sediment", "snowfrost"}) {
      EXPECT_TRUE(test::Has(test::ReadBytes(out + "/" + which + "/" + name + ".svg"), "2000年")) << which << name;
#ifdef TARNWELL_PNG_CHARTS
      const std::string png = test::ReadBytes(out + "/" + which + "/" + name + ".png");
      EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
#endif
    }
  }
  const std::pair<std::vector<const char*>, std::string> refused[] = {
      {{"1", "1999"}, "year 1999 is not among the 2 stored years of Output/流域1"},
      {{"3", "2000"}, "the workspace has 1 sub-basins"},
      {{"1", "2001"}, "Output/流域1/Daily.out: year 2001 (stored year 2) has no day rows"},
  };
  for (const auto& [args, message] : refused) {
    const test::CliResult r = charts(args[0], args[1], out + "/refused");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(test::Has(r.err, message)) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(out + "/refused/runoff.svg"));
}

}  // namespace
}  // namespace tarnwell
