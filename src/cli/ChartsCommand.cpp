// "tarnwell charts": the three result charts of one stored year of a sub-basin or of the
// whole basin, drawn from the output files at the design size, as PNG (when the program
// was built with Qt's image support) and as SVG for print.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "app/Session.h"
#include "app/Startup.h"
#include "charts/Graph.h"
#include "charts/SvgCanvas.h"
#include "cli/Commands.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "model/ModelState.h"
#include "viewer/ResultsReader.h"
#ifdef TARNWELL_PNG
#include "charts/image/ImageCanvas.h"
#endif

namespace tarnwell::cli {

namespace {

struct ChartFile {
  const char* name;
  ChartKind kind;
};
const ChartFile kChartFiles[] = {{"runoff", ChartKind::Runoff},
                                 {"sediment", ChartKind::Sediment},
                                 {"snowfrost", ChartKind::SnowFrost}};

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw FileError(path, 0, "cannot write");
}

}  // namespace

int WriteCharts(const std::string& workspace, Options& options) {
  for (const char* key : {"sub-basin", "year", "out"})
    if (!options.count(key) || options[key].empty())
      throw std::invalid_argument(std::string("charts needs --") + key);
  const std::string format = options.count("format") ? options["format"] : "all";
  if (format != "all" && format != "png" && format != "svg")
    throw std::invalid_argument("--format must be png, svg or all, not \"" + format + "\"");
#ifndef TARNWELL_PNG
  if (format == "png") throw std::invalid_argument("this build writes charts as SVG only");
#endif

  Session session(workspace);
  FormCreate(session);
  const ModelState& s = session.state;
  int k = s.SubBasinCount + 1;  // the whole basin
  if (options["sub-basin"] != "basin") {
    if (!ParseInteger(options["sub-basin"], k) || k < 1 || k > s.SubBasinCount)
      throw std::invalid_argument("--sub-basin " + options["sub-basin"] + ": the workspace has " +
                                  std::to_string(s.SubBasinCount) + " sub-basins (or: basin)");
  }
  int year = 0;
  if (!ParseInteger(options["year"], year))
    throw std::invalid_argument("--year " + options["year"] + " is not a calendar year");
  const int stored = StoredYears(session);
  const std::string dir = ResultDirectory(session, k);

  // The year is a calendar year; the files hold their years in order from the first. A
  // stored year without day rows is refused by the reader.
  const int number = StoredYearNumber(session, dir, year, stored);
  if (number == 0)
    throw std::invalid_argument("year " + std::to_string(year) + " is not among the " +
                                std::to_string(stored) + " stored years of " +
                                session.Display(dir));
  const std::shared_ptr<ModelState> series = ReadDailySeries(session, dir, number);

  std::filesystem::create_directories(options["out"]);
  const std::string out = options["out"] + "/";
  if (format != "png") {
    SvgCanvas c1(kChartWidth, kChartHeight), c2(kChartWidth, kChartHeight),
        c7(kChartWidth, kChartHeight);
    SvgCanvas* canvases[] = {&c1, &c2, &c7};
    for (int i = 0; i < 3; ++i) DrawChartFrame(*canvases[i], kChartFiles[i].kind, series->CurYear);
    DrawResultCharts(*series, c1, c2, c7);
    for (int i = 0; i < 3; ++i) {
      const std::string path = out + kChartFiles[i].name + ".svg";
      WriteText(path, canvases[i]->Document());
      std::cout << path << "\n";
    }
  }
#ifdef TARNWELL_PNG
  if (format != "svg") {
    EnsureImageApplication();
    ChartImages images = RenderCharts(*series, kChartWidth, kChartHeight);
    const QImage* pictures[] = {&images.runoff, &images.sediment, &images.snowFrost};
    for (int i = 0; i < 3; ++i) {
      const std::string path = out + kChartFiles[i].name + ".png";
      if (!SavePng(*pictures[i], path)) throw FileError(path, 0, "cannot write");
      std::cout << path << "\n";
    }
  }
#endif
  return 0;
}

}  // namespace tarnwell::cli
