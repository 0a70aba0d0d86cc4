// "tarnwell charts": the three result charts of one stored year of a sub-basin or of the
// whole basin, drawn from the output files at the design size, as PNG (when the program
// was built with Qt's image support) and as SVG for print.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <stdexcept>

#include "app/OutputBinding.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "app/WorkspaceLock.h"
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
const ChartFile kChartFiles[] = {
    {"runoff", ChartKind::Runoff}, {"sediment", ChartKind::Sediment}, {"snowfrost", ChartKind::SnowFrost}};

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw FileError(path, 0, "cannot write");
}

}  // namespace

struct ChartsOptions {
  std::string workspace = ".";
  std::string subBasin;
  int year = 0;
  std::string out;
  std::string format = "all";
};

int WriteCharts(const ChartsOptions& options) {
#ifndef TARNWELL_PNG
  if (options.format == "png") throw std::invalid_argument("this build writes charts as SVG only");
#endif
  const std::string& format = options.format;
  Session session(options.workspace);
  const auto lock = WorkspaceLock::Acquire(session.ws, "tarnwell charts");
  StartUpWorkspace(session);
  const ModelState& s = session.state;
  int k = s.SubBasinCount + 1;  // the whole basin
  if (options.subBasin != "basin") {
    if (!ParseInteger(options.subBasin, k) || k < 1 || k > s.SubBasinCount)
      throw std::invalid_argument("--sub-basin " + options.subBasin + ": the workspace has " +
                                  std::to_string(s.SubBasinCount) + " sub-basins (or: basin)");
  }
  const int year = options.year;
  const StoredResults results = StoredResultsOf(session);
  const int stored = StoredYears(results);
  const std::string dir = ResultDirectory(results, k);

  // The year is a calendar year; the files hold their years in order from the first. A
  // stored year without day rows is refused by the reader.
  const int number = StoredYearNumber(results, dir, year, stored);
  if (number == 0)
    throw std::invalid_argument("year " + std::to_string(year) + " is not among the " + std::to_string(stored) +
                                " stored years of " + session.Display(dir));
  const std::shared_ptr<ModelState> series = ReadDailySeries(results, dir, number);

  std::filesystem::create_directories(options.out);
  const std::string out = options.out + "/";
  if (format != "png") {
    SvgCanvas c1(kChartWidth, kChartHeight), c2(kChartWidth, kChartHeight), c7(kChartWidth, kChartHeight);
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

void AddChartsCommand(CLI::App& app, CommandMap& commands) {
  auto o = std::make_shared<ChartsOptions>();
  CLI::App* charts = app.add_subcommand("charts", "draw the three charts of a stored year");
  AddWorkspaceOption(*charts, o->workspace);
  charts->add_option("--sub-basin", o->subBasin, "the sub-basin's number, or basin for the whole basin")
      ->required()
      ->check(CLI::Validator(
          [](std::string& v) {
            int k = 0;
            return v == "basin" || (ParseInteger(v, k) && k >= 1)
                       ? std::string()
                       : "\"" + Printable(v) + "\" is neither a sub-basin's number (1, 2, ...) nor basin";
          },
          "K|basin"));
  charts->add_option("--year", o->year, "the calendar year")->required()->check(CLI::Range(1, 9999));
  charts->add_option("--out", o->out, "the directory the pictures go to")->required()->check(NotEmpty());
  charts->add_option("--format", o->format, "png, svg or all (default)")->check(CLI::IsMember({"png", "svg", "all"}));
  commands[charts] = [o] { return WriteCharts(*o); };
}

}  // namespace tarnwell::cli
