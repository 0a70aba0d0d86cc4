// A complete tiny workspace for tests: a sub-basin list, path and parameter files, the
// season file, per sub-basin DSAA terrain, land-use and slope grids and a meteorological
// file, and the outlet series. Every value is chosen by the test; the defaults make a
// 1 x 1 sub-basin of 86.4 km2, so that a discharge of Q m3/s is a runoff depth of Q mm.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace tarnwell::test {

struct TinyYear {
  int year = 2000;
  int months = 12;
  int startDay = 1;
  // Values of day d (1-based day of the year).
  std::function<double(int)> precip = [](int) { return 4.0; };
  std::function<double(int)> temp = [](int) { return 10.0; };
  std::function<double(int)> flow = [](int) { return 1.0; };     // m3/s at the sub-basin outlet
  std::function<double(int)> sedConc = [](int) { return 0.0; };  // kg/m3
};

struct TinySubBasin {
  std::string name = "甲";
  double K = 0, x = 0;  // Muskingum: K = 0 passes the flow unchanged
  int rows = 1, cols = 1;
  // Extent of the grid (cell width = x extent / rows, height = y extent / cols).
  int xMax = 9000, yMax = 9600;
  std::function<double(int, int)> elevation = [](int, int) { return 500.0; };
  std::function<double(int, int)> landUse = [](int, int) { return 21.0; };
  std::function<double(int, int)> slope = [](int, int) { return 5.0; };  // degrees
  int stationElev = 500;
  std::vector<TinyYear> years{TinyYear{}};
};

struct TinyWorkspace {
  std::vector<TinySubBasin> subBasins{TinySubBasin{}};
  // Outlet series per year: discharge and concentration of day d.
  std::function<double(int)> outletFlow = [](int) { return 1.0; };
  std::function<double(int)> outletConc = [](int) { return 0.0; };
  // Parameter file text (ParameterFileText() when empty); "模拟年数" is set to simYears.
  std::string parameters;
  int simYears = 1;
  // Lines of the parameter file to replace: label -> the whole new line.
  std::vector<std::pair<std::string, std::string>> parameterLines;
  std::string season = "season\n60 120 250 300\n";
};

inline int DaysOf(int year) { return ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0) ? 366 : 365; }

inline std::string TinyGrid(const TinySubBasin& b, const std::function<double(int, int)>& value) {
  std::string text = "DSAA\n" + std::to_string(b.cols) + " " + std::to_string(b.rows) + "\n0 " +
                     std::to_string(b.xMax) + "\n0 " + std::to_string(b.yMax) + "\n0 10000\n";
  char buf[64];
  for (int r = 1; r <= b.rows; ++r) {
    for (int c = 1; c <= b.cols; ++c) {
      std::snprintf(buf, sizeof buf, c == 1 ? "%.17g" : " %.17g", value(r, c));
      text += buf;
    }
    text += "\n";
  }
  return text;
}

// Writes the workspace under root (root/input, root/Parameters, root/Output).
inline void WriteTinyWorkspace(const std::string& root, const TinyWorkspace& w) {
  std::string list = std::to_string(w.subBasins.size()) + "\n";
  char buf[256];
  for (const TinySubBasin& b : w.subBasins) {
    std::snprintf(buf, sizeof buf, "%s %.17g %.17g\n", b.name.c_str(), b.K, b.x);
    list += buf;
  }
  WriteGbkLines(root + "/input/子流域.in", list);
  const std::string paths = "dem.grd\nlu.grd\nmet.txt\nseason.txt\nslope.grd\n";
  WriteGbkLines(root + "/Parameters/缺省路径文件.txt", paths);
  WriteGbkLines(root + "/Parameters/当前路径文件.txt", paths);
  std::string params = w.parameters.empty() ? ParameterFileText() : w.parameters;
  std::vector<std::pair<std::string, std::string>> replace = w.parameterLines;
  replace.emplace_back("模拟年数", "模拟年数 " + std::to_string(w.simYears));
  for (const auto& [label, line] : replace) {
    std::size_t at = params.find(label + " ");
    if (at == std::string::npos) continue;
    std::size_t end = params.find('\n', at);
    params.replace(at, end - at, line);
  }
  WriteGbkLines(root + "/Parameters/缺省参数文件.txt", params);
  WriteGbkLines(root + "/Parameters/当前参数文件.txt", params);
  WriteGbkLines(root + "/Parameters/season.txt", w.season);
  for (const TinySubBasin& b : w.subBasins) {
    const std::string dir = root + "/input/" + b.name;
    WriteGbkLines(dir + "/dem.grd", TinyGrid(b, b.elevation));
    WriteGbkLines(dir + "/lu.grd", TinyGrid(b, b.landUse));
    WriteGbkLines(dir + "/slope.grd", TinyGrid(b, b.slope));
    std::string met;
    for (const TinyYear& y : b.years) {
      met += std::to_string(y.year) + " " + std::to_string(y.months) + " " + std::to_string(y.startDay) + " 1 " +
             std::to_string(b.stationElev) + "\n";
      for (int d = 1; d <= DaysOf(y.year); ++d) {
        std::snprintf(buf, sizeof buf, "%d 0 %d 0 %.17g %.17g %.17g %.17g\n", y.year, d, y.precip(d), y.temp(d),
                      y.flow(d), y.sedConc(d));
        met += buf;
      }
    }
    WriteGbkLines(dir + "/met.txt", met);
  }
  std::string river;
  for (const TinyYear& y : w.subBasins.empty() ? std::vector<TinyYear>{} : w.subBasins[0].years) {
    river += "outlet " + std::to_string(y.year) + "\n";
    for (int d = 1; d <= DaysOf(y.year); ++d) {
      std::snprintf(buf, sizeof buf, "%d-%d %.17g %.17g\n", y.year, d, w.outletFlow(d), w.outletConc(d));
      river += buf;
    }
  }
  WriteGbkLines(root + "/input/RiverDaily.in", river);
}

// The default workspace simulating two years, 2000 and 2001; the second one runs the given
// number of months (0: a year without a simulated day).
inline TinyWorkspace TwoYears(int secondYearMonths = 12) {
  TinyWorkspace w;
  TinyYear second;
  second.year = 2001;
  second.months = secondYearMonths;
  w.subBasins[0].years.push_back(second);
  w.simYears = 2;
  return w;
}

}  // namespace tarnwell::test

namespace tarnwell::test {

// Sub-basins "甲", "乙", ... of rows x cols cells with a little relief, over `years`
// calendar years from 2000.
inline TinyWorkspace SmallBasins(int subBasins, int years, int rows = 2, int cols = 2) {
  static const char* names[] = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
  TinyWorkspace w;
  w.simYears = years;
  w.subBasins.clear();
  for (int k = 0; k < subBasins; ++k) {
    TinySubBasin b;
    b.name = k < 10 ? names[k] : "子" + std::to_string(k + 1);
    b.K = 12;
    b.x = 0.2;
    b.rows = rows;
    b.cols = cols;
    b.elevation = [k](int r, int c) { return 400.0 + 15 * r + 7 * c + k; };
    b.landUse = [](int r, int c) { return (r + c) % 3 == 0 ? 31.0 : 21.0; };
    b.years.clear();
    for (int y = 0; y < years; ++y) {
      TinyYear ty;
      ty.year = 2000 + y;
      ty.precip = [y](int d) { return (d * 7 + y) % 11 == 0 ? 25.0 : 1.5; };
      ty.temp = [](int d) { return -4.0 + 22.0 * (d < 200 ? d : 400 - d) / 200.0; };
      ty.flow = [](int d) { return 2.0 + (d % 30) * 0.1; };
      ty.sedConc = [](int d) { return 0.01 * (d % 5); };
      b.years.push_back(ty);
    }
    w.subBasins.push_back(b);
  }
  return w;
}

// A workspace at dir/ws met by the command line as a user meets it.
struct CliWorkspace {
  CliWorkspace() = default;
  explicit CliWorkspace(const TinyWorkspace& w) { WriteTinyWorkspace(Root(), w); }
  std::string Root() const { return dir / "ws"; }
  std::string At(const std::string& rel) const { return Root() + "/" + rel; }
  std::string Out(const std::string& rel) const { return At("Output/" + rel); }
  // A command, on the workspace unless it names one; Raw runs it as given.
  CliResult Cli(std::vector<std::string> args, const CliLimits& limits = {}) const {
    if (std::find(args.begin(), args.end(), "--workspace") == args.end()) {
      args.push_back("--workspace");
      args.push_back(Root());
    }
    return Raw(args, limits);
  }
  CliResult Raw(const std::vector<std::string>& args, const CliLimits& limits = {}) const {
    return RunCliWith(args, dir.Path().string(), limits);
  }
  // The last line of standard error after a failing command (exit status 1).
  std::string Fails(std::vector<std::string> args, const CliLimits& limits = {}) const {
    const CliResult r = Cli(std::move(args), limits);
    EXPECT_TRUE(r.exited) << "the program did not end by itself";
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    std::string err = r.err;
    while (!err.empty() && err.back() == '\n') err.pop_back();
    const std::size_t nl = err.rfind('\n');
    return nl == std::string::npos ? err : err.substr(nl + 1);
  }
  std::string Fails(const std::string& command, const CliLimits& limits = {}) const {
    return Fails(std::vector<std::string>{command}, limits);
  }
  // Writes the lines of a workspace file in GBK with CR LF.
  void Write(const std::string& rel, const std::vector<std::string>& lines) const {
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    WriteGbkLines(At(rel), all);
  }
  TempDir dir;
};

}  // namespace tarnwell::test
