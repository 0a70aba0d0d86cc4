// What the search minimises for the model: the fit of the whole-basin daily discharge to
// the observed discharge of input/RiverDaily.in over the calibration years, days without
// an observation left out, optionally weighted together with the fit of the sediment
// concentration.
//
//   kge       1 - KGE
//   nse       1 - NSE
//   lognse    1 - log-NSE
//   pbias     |PBIAS| (percent) alone, |PBIAS| / 100 as a term of several
//   fdc-high  |bias of the flow-duration curve's high segment| / 100, and likewise
//   fdc-mid   its middle segment's slope and
//   fdc-low   its low segment's volume
//
// Several terms: the sum of each weight times its measure ("kge 0.5 lognse 0.5"). With a
// sediment weight w: (1 - w) x that of the discharge + w x that of the concentration. Each
// gauge inside the basin adds its weight times the same terms of its sub-basin's outflow
// against its observed discharge. A perfect fit scores 0.
#pragma once

#include <string>
#include <vector>

#include "app/Evaluator.h"
#include "calibration/CalibrationFile.h"
#include "calibration/Evaluation.h"
#include "results/GoodnessOfFit.h"

namespace tarnwell {

struct ObjectiveSettings {
  ObjectiveSettings() = default;
  ObjectiveSettings(Objective o, double w, std::vector<int> scored, std::vector<GaugeTerm> g = {})
      : objective(std::move(o)), sedimentWeight(w), years(std::move(scored)), gauges(std::move(g)) {}
  Objective objective;
  double sedimentWeight = 0;
  std::vector<int> years;  // the years scored
  std::vector<GaugeTerm> gauges;
};
ObjectiveSettings CalibrationObjective(const CalibrationConfig& config);

// Sediment concentration (kg/m3) of a load (t/day) carried by a discharge (m3/s). An
// observed day counts when both its discharge is above 0 and its load is observed; a
// simulated day without discharge carries no sediment.
std::vector<double> ObservedConcentration(const std::vector<double>& flow, const std::vector<double>& load);
std::vector<double> SimulatedConcentration(const std::vector<double>& flow, const std::vector<double>& load);

// The measures of one pair of series that the objectives weigh.
struct FitMeasures {
  FitStatistics fit;
  double logNse = 0;
  FlowDurationBiases fdc;
};
FitMeasures MeasureFit(std::span<const double> obs, std::span<const double> sim);
// The loss of one fit; NaN when the fit is undefined.
double Loss(const Objective& objective, const FitMeasures& m);

// Scores the years: loss, then the metrics KGE, NSE, logNSE and PBIAS of the discharge, and
// the biases FHV, FMS, FLV of the flow-duration segments the objective weighs (and the same
// of the concentration, with a sediment weight), then KGE, NSE, logNSE and PBIAS of each gauge.
// Throws std::runtime_error when a
// scored year is missing.
EvaluationResult ScoreBasinYears(const std::vector<BasinYear>& years, const ObjectiveSettings& settings);
// What leaves the fit of the scored years undefined whatever the simulation gives: their
// observations alone (every observed discharge 0 or missing, a discharge that never varies,
// no observed concentration to weigh), as a phrase that the years may follow ("... in the
// calibration years 1991, 1992"). Empty when the fit can be formed. `observed` holds
// the years' observed series; the simulated ones play no part.
std::string UndefinedFit(const std::vector<BasinYear>& observed, const ObjectiveSettings& settings);

// The trace's name of the loss, with the years scored ("1-KGE 1991-1992",
// "0.8*(1-KGE)+0.2*(1-KGE_conc) 1991+1993", "0.5*(1-KGE)+0.5*(1-logNSE) 1991",
// "1-KGE+0.3*(1-KGE[1]) 1991" with a gauge at sub-basin 1), and of the metrics.
std::string LossName(const ObjectiveSettings& settings);
std::vector<std::string> MetricNames(const ObjectiveSettings& settings);

}  // namespace tarnwell
