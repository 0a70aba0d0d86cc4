#include "calibration/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/Evaluator.h"
#include "calibration/Summary.h"
#include "charts/SvgCanvas.h"
#include "charts/XYChart.h"
#include "results/GoodnessOfFit.h"

namespace tarnwell {

namespace {

constexpr int kWidth = 900, kHeight = 420;

std::string Cell(double v, const char* format) {
  if (!std::isfinite(v)) return "<td>n/a</td>";
  char buf[48];
  std::snprintf(buf, sizeof buf, format, v);
  return std::string("<td>") + buf + "</td>";
}

// A row of the fit: KGE and its parts, NSE, log-NSE and PBIAS after; KGE, NSE, log-NSE and
// PBIAS before.
std::string FitRow(const std::string& year, const char* period, const CalibrationReport& r,
                   const std::vector<int>& which) {
  std::vector<double> obs, sim, obsBefore, simBefore;
  GatherDischarge(r.afterYears, which, obs, sim);
  GatherDischarge(r.beforeYears, which, obsBefore, simBefore);
  const FitStatistics a = ComputeFit(obs, sim), b = ComputeFit(obsBefore, simBefore);
  return "<tr><th>" + year + "</th><td>" + period + "</td>" + Cell(a.KGE, "%.3f") + Cell(a.r, "%.3f") +
         Cell(a.alpha, "%.3f") + Cell(a.beta, "%.3f") + Cell(a.NSE, "%.3f") + Cell(LogNashSutcliffe(obs, sim), "%.3f") +
         Cell(a.PBIAS, "%.1f") + Cell(b.KGE, "%.3f") + Cell(b.NSE, "%.3f") +
         Cell(LogNashSutcliffe(obsBefore, simBefore), "%.3f") + Cell(b.PBIAS, "%.1f") + "</tr>\n";
}

std::string Svg(int width, int height, const XYChart& chart) {
  SvgCanvas svg(width, height);
  DrawXYChart(svg, chart);
  std::string doc = svg.Document();
  // Inline: without the XML declaration a standalone file starts with.
  if (doc.rfind("<?xml", 0) == 0) doc.erase(0, doc.find('\n') + 1);
  return doc;
}

std::vector<int> Named(const CalibrationReport& r) {
  std::vector<int> years = r.calibrationYears;
  years.insert(years.end(), r.validationYears.begin(), r.validationYears.end());
  return years;
}

std::string Hydrograph(const CalibrationReport& r) {
  std::vector<double> obs, sim;
  GatherDischarge(r.afterYears, Named(r), obs, sim);
  XYChart c;
  c.title = "Daily discharge at the outlet, " + std::to_string(Named(r).front()) + " to " +
            std::to_string(Named(r).back());
  c.xCaption = "day of the calibration and validation years";
  c.yCaption = "m3/s";
  c.yMin = 0;
  XYSeries o{{}, {}, kRed, XYStyle::Points, 1}, s{{}, {}, kBlue, XYStyle::Line, 1};
  for (std::size_t d = 0; d < obs.size(); ++d) {
    const double x = static_cast<double>(d + 1);
    if (obs[d] >= 0) o.x.push_back(x), o.y.push_back(obs[d]);
    s.x.push_back(x), s.y.push_back(sim[d]);
  }
  if (r.band.low.size() == obs.size() && !obs.empty()) {
    XYSeries low{{}, {}, kSilver, XYStyle::Line, 1}, high{{}, {}, kSilver, XYStyle::Line, 1};
    for (std::size_t d = 0; d < obs.size(); ++d) {
      low.x.push_back(static_cast<double>(d + 1)), low.y.push_back(r.band.low[d]);
      high.x.push_back(static_cast<double>(d + 1)), high.y.push_back(r.band.high[d]);
    }
    c.series = {low, high};
    c.note = "grey: the 5-95 % band (" + r.bandSource + "); ";
  }
  c.series.push_back(s);
  c.series.push_back(o);
  c.note += "blue: simulated with the calibrated values; red: observed";
  return Svg(kWidth, kHeight, c);
}

// Flow-duration curves of one period: the observed days' discharge and the simulated one on
// the same days, each sorted from the highest, against the exceedance i / (n + 1).
std::string DurationCurves(const CalibrationReport& r, const std::vector<int>& years, const std::string& period) {
  std::vector<double> obsAll, simAll, obs, sim;
  GatherDischarge(r.afterYears, years, obsAll, simAll);
  for (std::size_t d = 0; d < obsAll.size(); ++d)
    if (obsAll[d] >= 0 && std::isfinite(simAll[d])) obs.push_back(obsAll[d]), sim.push_back(simAll[d]);
  std::sort(obs.rbegin(), obs.rend());
  std::sort(sim.rbegin(), sim.rend());
  XYChart c;
  c.title = "Flow-duration curves, " + period;
  c.xCaption = "exceedance (% of the observed days)";
  c.yCaption = "m3/s";
  c.logY = true;
  c.xMin = 0, c.xMax = 100;
  XYSeries o{{}, {}, kRed, XYStyle::Line, 2}, s{{}, {}, kBlue, XYStyle::Line, 1};
  for (std::size_t i = 0; i < obs.size(); ++i) {
    const double x = 100.0 * static_cast<double>(i + 1) / static_cast<double>(obs.size() + 1);
    o.x.push_back(x), o.y.push_back(obs[i]);
    s.x.push_back(x), s.y.push_back(sim[i]);
  }
  c.series = {o, s};
  c.note = "red: observed; blue: simulated (logarithmic discharge: the low flows stay visible)";
  return Svg(kWidth / 2 + 100, kHeight, c);
}

std::string Years(const std::vector<int>& years) {
  std::string s;
  for (int y : years) s += (s.empty() ? "" : ", ") + std::to_string(y);
  return s;
}

}  // namespace

std::string EscapeHtml(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

std::string CalibrationReportHtml(const CalibrationReport& r) {
  std::string h =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Calibration report: " +
      EscapeHtml(r.workspace) +
      "</title>\n<style>\nbody{font-family:sans-serif;margin:2em;max-width:70em}\n"
      "table{border-collapse:collapse;margin:1em 0}\nth,td{border:1px solid #bbb;padding:.2em .6em;text-align:right}\n"
      "th{background:#eee}\ntd.name{text-align:left}\n.flag{color:#b00000;text-align:left}\n"
      "svg{display:block;margin:1em 0}\n</style>\n</head>\n<body>\n";
  h += "<h1>Calibration of " + EscapeHtml(r.workspace) + "</h1>\n";
  h += "<p>Minimised: " + EscapeHtml(r.lossName) + " over the calibration years " + Years(r.calibrationYears) +
       "; validation years " + (r.validationYears.empty() ? std::string("none") : Years(r.validationYears)) +
       ". Best of " + std::to_string(r.evaluations) + " evaluations (number " + std::to_string(r.bestNumber) +
       ").</p>\n";

  h += "<h2>Fit of the daily discharge at the outlet</h2>\n<table>\n"
       "<tr><th rowspan=\"2\">Year</th><th rowspan=\"2\">Period</th><th colspan=\"7\">calibrated</th>"
       "<th colspan=\"4\">before</th></tr>\n<tr><th>KGE</th><th>r</th><th>alpha</th><th>beta</th><th>NSE</th>"
       "<th>log-NSE</th><th>PBIAS %</th><th>KGE</th><th>NSE</th><th>log-NSE</th><th>PBIAS %</th></tr>\n";
  const std::pair<const char*, const std::vector<int>*> periods[] = {{"calibration", &r.calibrationYears},
                                                                     {"validation", &r.validationYears}};
  for (const auto& [period, years] : periods) {
    for (int y : *years) h += FitRow(std::to_string(y), period, r, {y});
    if (years->size() > 1) h += FitRow("all", period, r, *years);
  }
  h += "</table>\n<p>KGE = 1 - sqrt((r - 1)^2 + (alpha - 1)^2 + (beta - 1)^2): r the correlation, alpha the ratio "
       "of the simulated to the observed standard deviation, beta that of the means. log-NSE: of the discharge "
       "plus 1 % of its observed mean. PBIAS: positive when the model gives too much water. Days without an "
       "observation are left out.</p>\n";

  h += "<h2>Hydrograph</h2>\n" + Hydrograph(r);
  h += "<h2>Flow-duration curves</h2>\n<div style=\"display:flex;flex-wrap:wrap\">\n" +
       DurationCurves(r, r.calibrationYears, "calibration " + Years(r.calibrationYears));
  if (!r.validationYears.empty()) h += DurationCurves(r, r.validationYears, "validation " + Years(r.validationYears));
  h += "</div>\n";

  h += "<h2>Parameters</h2>\n<table>\n<tr><th>Parameter</th><th>lower</th><th>upper</th><th>before</th>"
       "<th>calibrated</th><th>bound</th></tr>\n";
  int flagged = 0;
  for (std::size_t i = 0; i < r.parameters.size(); ++i) {
    const SearchParameter& p = r.parameters[i];
    const double before = i < r.before.size() ? r.before[i] : std::nan("");
    const double after = i < r.after.size() ? r.after[i] : std::nan("");
    std::string flag = BoundFlag(p, after);
    if (!flag.empty()) ++flagged, flag.erase(0, 2);
    h += "<tr><td class=\"name\">" + EscapeHtml(p.name) + (p.log ? " (log)" : "") + "</td>" + Cell(p.lower, "%.6g") +
         Cell(p.upper, "%.6g") + Cell(before, "%.6g") + Cell(after, "%.6g") + "<td class=\"flag\">" + flag +
         "</td></tr>\n";
  }
  h += "</table>\n";
  if (flagged > 0)
    h += "<p class=\"flag\">" + std::to_string(flagged) + (flagged == 1 ? " parameter ends" : " parameters end") +
         " on or near a bound (within 3 % of its range, in the space searched): the bound may hold the fit back. "
         "Widen the range where the hydrology allows, or fix the parameter.</p>\n";
  h += "</body>\n</html>\n";
  return h;
}

}  // namespace tarnwell
