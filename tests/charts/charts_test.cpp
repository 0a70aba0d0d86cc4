// The chart geometry through the recording canvas, at the design size 853 x 554, the
// contour tracing of the terrain map, and the charts command writing the three charts of
// a stored year.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
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

// The three charts of a year of `days` days whose series `fill` sets, day by day.
struct Drawn {
  Drawn(int year, int days, const std::function<void(ModelState&, std::size_t)>& fill, int width = kChartWidth)
      : runoff(width, kChartHeight), sediment(width, kChartHeight), snow(width, kChartHeight) {
    y.CurYear = year;
    y.DaysInYear = y.DayCount = days;
    for (int d = 1; d <= days; ++d) fill(y, static_cast<std::size_t>(d));
    DrawChartFrame(runoff, ChartKind::Runoff, year);
    DrawChartFrame(sediment, ChartKind::Sediment, year);
    DrawChartFrame(snow, ChartKind::SnowFrost, year);
    DrawResultCharts(y, runoff, sediment, snow);
  }
  ModelState y;
  RecordingCanvas runoff, sediment, snow;
};

struct Segment {
  int x1, y1, x2, y2;
};
std::vector<Segment> Segments(const RecordingCanvas& c, Colour colour) {
  std::vector<Segment> out;
  for (const auto& l : c.LinesIn(colour)) {
    std::istringstream in(l);
    Segment s{};
    in >> s.x1 >> s.y1 >> s.x2 >> s.y2;
    out.push_back(s);
  }
  return out;
}

::testing::AssertionResult HasTexts(const RecordingCanvas& c, const std::vector<std::string>& texts) {
  const std::vector<std::string> drawn = c.Texts();
  for (const std::string& t : texts)
    if (std::find(drawn.begin(), drawn.end(), t) == drawn.end())
      return ::testing::AssertionFailure() << "no text \"" << t << "\"";
  return ::testing::AssertionSuccess();
}

// Each series at its own scale: the observed flow of 10 two thirds up the flow scale (514 -
// 323), the simulated 4 at 514 - rnd(129.2), the precipitation maximum a quarter of the
// height down (30 + 126), snow columns of 100 from the base line 284 to 213; day 2 at
// x = 45 + rnd(768 / 365) and day 364 at 45 + rnd(763.79).
TEST(ChartGeometry, DesignSizeScalesAndRanges) {
  Drawn d(1990, 365, [](ModelState& y, std::size_t i) {
    y.ObsFlow[i] = 10, y.SimFlow[i] = 4, y.MeanPrecip[i] = 5, y.MeanSnowPack[i] = 100;
  });
  const auto green = Segments(d.runoff, kGreen), red = Segments(d.runoff, kRed), blue = Segments(d.runoff, kBlue),
             yellow = Segments(d.snow, kYellow);
  ASSERT_EQ(green.size(), 1u + 362u);  // the legend sample, then days 2 to 364
  // The hyetograph's steps for days 1 to 362 and a rise to day 363.
  EXPECT_EQ(std::count_if(blue.begin(), blue.end(), [](const Segment& s) { return s.y1 == 156 || s.y2 == 156; }),
            2 * 362);
  EXPECT_EQ(std::vector<int>({green[1].x1, green.back().x2, green.back().y2, red.back().y2, blue.back().y2,
                              yellow[1].y1, yellow[1].y2}),
            std::vector<int>({47, 809, 191, 385, 156, 284, 213}));
}

// The axis labels as "x top text": under 5 mm the runoff scale is 10; huge values keep
// their magnitude (beyond the range of a 32-bit integer they once wrapped round); a
// sediment below the scale floor of 10 labels as 10.
TEST(ChartGeometry, LabelsOfALowYearAndTheSnowFrostAxes) {
  const Drawn low(1991, 365,
                  [](ModelState& y, std::size_t i) { y.SimFlow[i] = y.ObsFlow[i] = 2, y.MeanPrecip[i] = i % 7; });
  EXPECT_TRUE(
      HasTexts(low.runoff, {"5 529 0", "5 473 1.7", "5 361 5", "5 193 10", "50 10 1991年", "818 25 0", "72 517 1月"}));
  EXPECT_TRUE(HasTexts(low.sediment, {"5 529 0"}));
  // Snow 100 at y = 108, frost 100 at 284 + 176 = 460; "Gwater" is wider than the margin:
  // it ends inside the border instead of at 818; month captions 5 pixels further right.
  EXPECT_TRUE(HasTexts(
      low.snow, {"5 108 100", "5 460 100", "818 108 50", "818 460 5", "5 73 snow", "801 495 Gwater", "77 287 1月"}));
  const Drawn huge(1993, 365, [](ModelState& y, std::size_t i) {
    y.SimFlow[i] = 3e8;
    y.MeanPrecip[i] = 6e12;
    y.ObsSediment[i] = 0.0004;
  });
  EXPECT_TRUE(HasTexts(huge.runoff, {"5 529 0", "5 417 100000000", "5 193 300000000"}));
  EXPECT_TRUE(HasTexts(huge.sediment, {"5 417 3.3"}));
  bool top = false;
  for (const auto& t : huge.runoff.Texts()) {
    EXPECT_EQ(t.find('-'), std::string::npos) << t;
    top = top || t.find(" 6000000000000") != std::string::npos;
  }
  EXPECT_TRUE(top);
}

TEST(ChartGeometry, DryYearAndTheLastColumnOfALeapYear) {
  // No precipitation at all: the hyetograph lies on the top line instead of dividing by 0.
  const Drawn d(1992, 366, [](ModelState& y, std::size_t i) { y.MeanFrozen[i] = i == 366 ? 50 : i == 365 ? 10 : 0; });
  for (const auto& s : Segments(d.runoff, kBlue))
    if (s.y1 != 15) {
      EXPECT_TRUE(s.y1 == 30 || s.x1 == s.x2 || s.y1 == 514 || s.x1 == 813) << s.x1 << " " << s.y1;
    }
  for (const auto& t : d.runoff.Texts()) EXPECT_EQ(t.find("nan"), std::string::npos) << t;
  // Frozen columns hang below the base line; the last one (day 366) ends at its own value:
  // 284 - rnd(50 / 100 * -284 / 4) = 320, with nothing read past the year.
  const auto silver = Segments(d.snow, kSilver);
  ASSERT_GE(silver.size(), 2u);
  const Segment last = silver.back(), rise = silver[silver.size() - 2];
  EXPECT_EQ(std::vector<int>({rise.y1, rise.y2, last.y1, last.y2, last.x2}),
            std::vector<int>({284, 320, 320, 320, 813}));
}

TEST(ChartGeometry, EachSeriesIsOnePolylineWithItsPenAndStaysDrawable) {
  const Drawn d(1996, 366, [](ModelState& y, std::size_t i) { y.SimFlow[i] = i % 10, y.GroundWaterLevel[i] = -1; });
  auto withStyle = [](const RecordingCanvas& c, PenStyle style) {
    std::vector<RecordingCanvas::DrawnPolyline> lines;
    for (const auto& line : c.Polylines())
      if (line.style == style) lines.push_back(line);
    return lines;
  };
  // The simulated runoff: one dotted polyline through indices 1 .. 364, so the dots run on
  // along the whole year instead of starting anew every day.
  // x(364) = 45 + rnd(768 * 364 / 366). The groundwater level: one dash-dot polyline at 1 m
  // below the surface, -1 / 5 * -284 * 2/3 = 37.9 below the base.
  const auto dotted = withStyle(d.runoff, PenStyle::Dot), dashDot = withStyle(d.snow, PenStyle::DashDot);
  ASSERT_EQ(dotted.size() + dashDot.size(), 2u);
  ASSERT_EQ(dotted[0].points.size() + dashDot[0].points.size(), 2 * 364u);
  EXPECT_TRUE(dotted[0].colour == kRed && dashDot[0].colour == kBlack);
  EXPECT_EQ(std::vector<int>({dotted[0].points.front().x, dotted[0].points.back().x, dashDot[0].points[10].y}),
            std::vector<int>({45 + 2, 45 + 764, 284 + 38}));
  // The sediment chart: the simulated sediment dash-dot, the observed solid.
  ASSERT_EQ(d.sediment.Polylines().size(), 2u);
  for (const auto& line : d.sediment.Polylines())
    EXPECT_EQ(line.style, line.colour == kRed ? PenStyle::DashDot : PenStyle::Solid);

  // The snow/frost chart has fixed scales: a wild temperature or groundwater value (a
  // damaged file) lies far off the image, held at a safe distance instead of overflowing.
  const Drawn wild(1994, 365, [](ModelState& y, std::size_t i) {
    y.AirTempAdj[i] = i % 2 ? 1e300 : -1e300;
    y.GroundWaterLevel[i] = i % 3 ? std::nan("") : HUGE_VAL;
    y.SimFlow[i] = HUGE_VAL;
  });
  std::size_t points = 0;
  for (const RecordingCanvas* c : {&wild.snow, &wild.runoff})
    for (const auto& line : c->Polylines())
      for (const Point& p : line.points) {
        EXPECT_LE(std::abs(p.y), 40000) << p.y;
        ++points;
      }
  EXPECT_EQ(points, 5u * 363u);  // observed and simulated runoff, snow, temperature, groundwater
}

TEST(ChartGeometry, RightMarginTextEndsInsideTheImage) {
  for (int width : {kChartWidth, 700}) {
    const Drawn d(
        1995, 365, [](ModelState& y, std::size_t i) { y.MeanPrecip[i] = 123456.7; }, width);
    int rightTexts = 0;
    for (const RecordingCanvas* c : {&d.runoff, &d.sediment, &d.snow})
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
    EXPECT_EQ(rightTexts, 8 + 8 + 16) << width;  // labels and titles: 7 + 1 a flow chart, 12 + 4 snow/frost
  }
  // The estimate of the text width counts a CJK character as square.
  EXPECT_EQ(RecordingCanvas(10, 10).TextWidth("P(mm)") + 100 * RecordingCanvas(10, 10).TextWidth("(℃)"), 40 + 2800);
}

TEST(ChartGeometry, SvgDocument) {
  SvgCanvas c(200, 100);
  DrawChartFrame(c, ChartKind::Runoff, 1990);
  c.TextOut(1, 2, "a<b&c");
  const std::string doc = c.Document();
  EXPECT_TRUE(doc.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0) == 0 &&
              doc.substr(doc.size() - 7) == "</svg>\n");
  // The axes and ticks of one pen form one path; the blue frame lines the next.
  for (const std::string part :
       {"width=\"200\" height=\"100\"", "<text x=\"50\" y=\"10\" dominant-baseline=\"hanging\">1990年</text>",
        ">a&lt;b&amp;c</text>", "<path d=\"M45 60L45 30M45 60L160 60M",
        "<path d=\"M160 60L160 30M160 30L45 30\" fill=\"none\" stroke=\"#0000ff\" "
        "stroke-width=\"1\"/>"})
    EXPECT_TRUE(test::Has(doc, part)) << part;
}

// A polyline's points, rounded to hundredths, as "x,y x,y ...", the same whichever end it
// starts from.
std::string Undirected(const ContourLine& line) {
  auto points = [](auto begin, auto end) {
    std::string out;
    char buf[64];
    for (auto p = begin; p != end; ++p) {
      std::snprintf(buf, sizeof buf, "%s%.2f,%.2f", out.empty() ? "" : " ", p->x + 0.0, p->y + 0.0);
      out += buf;
    }
    return out;
  };
  return std::min(points(line.begin(), line.end()), points(line.rbegin(), line.rend()));
}

std::vector<std::string> Traced(const std::vector<double>& z, int rows, int cols, double level) {
  std::vector<std::string> lines;
  for (const ContourLine& l : TraceContours(z, rows, cols, level)) lines.push_back(Undirected(l));
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(Contours, ARampASaddleAndCellsWithoutData) {
  // z = 10 x column + row over 4 rows x 5 columns: the level 16 is crossed between columns
  // 1 and 2, at x = 1.6 - row / 10; a level on a value passes through that centre; none
  // below the lowest or above the highest value.
  std::vector<double> z;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 5; ++c) z.push_back(10.0 * c + r);
  EXPECT_EQ(Traced(z, 4, 5, 16), std::vector<std::string>{"1.30,3.00 1.40,2.00 1.50,1.00 1.60,0.00"});
  EXPECT_EQ(Traced(z, 4, 5, 20), std::vector<std::string>{"1.70,3.00 1.80,2.00 1.90,1.00 2.00,0.00"});
  EXPECT_TRUE(TraceContours(z, 4, 5, -1).empty() && TraceContours(z, 4, 5, 44).empty());
  // A saddle, high corners on one diagonal. At the level 5 the mean 5.5 is above: the high
  // corners join and the two low corners are cut off; at 6 the high corners are cut off.
  EXPECT_EQ(Traced({10, 0, 2, 10}, 2, 2, 5), (std::vector<std::string>{"0.00,0.62 0.38,1.00", "0.50,0.00 1.00,0.50"}));
  EXPECT_EQ(Traced({10, 0, 2, 10}, 2, 2, 6), (std::vector<std::string>{"0.00,0.50 0.40,0.00", "0.50,1.00 1.00,0.60"}));
}

TEST(Contours, APeakGivesAClosedRingAndCellsWithoutDataStopTheLines) {
  std::vector<double> z(25, 0.0);
  z[12] = 10;  // the centre of 5 x 5
  auto lines = TraceContours(z, 5, 5, 5);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].front() == lines[0].back() && lines[0].size() == 5u);
  for (const ContourPoint& p : lines[0]) EXPECT_DOUBLE_EQ(std::abs(p.x - 2) + std::abs(p.y - 2), 0.5);
  // Smoothing keeps the ring closed and round the peak.
  const ContourLine smooth = SmoothContour(lines[0], 2);
  EXPECT_TRUE(smooth.front() == smooth.back() && smooth.size() == 17u);
  for (const ContourPoint& p : smooth) EXPECT_LT(std::hypot(p.x - 2, p.y - 2), 0.5);
  // A cell without data to the east of the peak: the ring opens where its squares are. An
  // open line keeps its ends when smoothed; a straight one stays straight.
  z[13] = std::nan("");
  lines = TraceContours(z, 5, 5, 5);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Undirected(lines[0]), "2.00,1.50 1.50,2.00 2.00,2.50");
  const ContourLine open = SmoothContour(lines[0], 2);
  EXPECT_TRUE(open.front() == lines[0].front() && open.back() == lines[0].back());
  for (const ContourPoint& p : SmoothContour({{0, 0}, {1, 1}, {3, 3}}, 3)) EXPECT_DOUBLE_EQ(p.x, p.y);
  // Round intervals and their levels.
  EXPECT_EQ(std::vector<double>({ContourInterval(1046), ContourInterval(70), ContourInterval(15), ContourInterval(0)}),
            std::vector<double>({200, 10, 2.5, 1}));
  EXPECT_EQ(ContourLevels(236, 1282, 200), (std::vector<double>{400, 600, 800, 1000, 1200}));
  EXPECT_EQ(ContourLevels(400, 800, 200), (std::vector<double>{600}));
  EXPECT_TRUE(ContourLevels(5, 5, 1).empty() && ContourLevels(0, HUGE_VAL, 1).empty());
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
