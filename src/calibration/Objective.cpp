#include "calibration/Objective.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "inputs/TextFile.h"
#include "model/ModelState.h"

namespace tarnwell {

namespace {

struct Period {
  std::vector<double> simFlow, obsFlow, simConc, obsConc;
};

Period Concatenate(const std::vector<BasinYear>& years, const ObjectiveSettings& settings) {
  Period p;
  for (int y : settings.years) {
    const BasinYear* found = nullptr;
    for (const BasinYear& b : years)
      if (b.year == y) found = &b;
    if (!found) throw std::runtime_error("the simulation gave no year " + std::to_string(y) + " to score");
    p.simFlow.insert(p.simFlow.end(), found->simFlow.begin(), found->simFlow.end());
    p.obsFlow.insert(p.obsFlow.end(), found->obsFlow.begin(), found->obsFlow.end());
    // Pairs stay day by day aligned even if a series is short.
    p.simFlow.resize(std::max(p.simFlow.size(), p.obsFlow.size()), 0.0);
    p.obsFlow.resize(p.simFlow.size(), -1.0);
    if (settings.sedimentWeight > 0) {
      const std::vector<double> sim = SimulatedConcentration(found->simFlow, found->simSediment);
      const std::vector<double> obs = ObservedConcentration(found->obsFlow, found->obsSediment);
      p.simConc.insert(p.simConc.end(), sim.begin(), sim.end());
      p.obsConc.insert(p.obsConc.end(), obs.begin(), obs.end());
      p.simConc.resize(std::max(p.simConc.size(), p.obsConc.size()), 0.0);
      p.obsConc.resize(p.simConc.size(), -1.0);
    }
  }
  return p;
}

const char* MeasureName(ObjectiveKind kind) {
  switch (kind) {
    case ObjectiveKind::Kge: return "1-KGE";
    case ObjectiveKind::Nse: return "1-NSE";
    case ObjectiveKind::LogNse: return "1-logNSE";
    case ObjectiveKind::Pbias: return "|PBIAS|";
  }
  return "?";
}

void AddMetrics(std::vector<double>& out, const FitStatistics& fit, double logNse) {
  out.insert(out.end(), {fit.KGE, fit.NSE, logNse, fit.PBIAS});
}

}  // namespace

ObjectiveSettings CalibrationObjective(const CalibrationConfig& config) {
  return {config.objective, config.sedimentWeight, config.calibrationYears};
}

std::vector<double> ObservedConcentration(const std::vector<double>& flow, const std::vector<double>& load) {
  std::vector<double> c(std::min(flow.size(), load.size()));
  for (std::size_t d = 0; d < c.size(); ++d)
    c[d] = IsObserved(flow[d]) && flow[d] > 0 && IsObserved(load[d]) ? load[d] / (kDepthToFlow * flow[d]) : -1;
  return c;
}

std::vector<double> SimulatedConcentration(const std::vector<double>& flow, const std::vector<double>& load) {
  std::vector<double> c(std::min(flow.size(), load.size()));
  for (std::size_t d = 0; d < c.size(); ++d) c[d] = flow[d] > 0 ? load[d] / (kDepthToFlow * flow[d]) : 0;
  return c;
}

double Loss(ObjectiveKind kind, const FitStatistics& fit, double logNse) {
  switch (kind) {
    case ObjectiveKind::Kge: return 1 - fit.KGE;
    case ObjectiveKind::Nse: return 1 - fit.NSE;
    case ObjectiveKind::LogNse: return 1 - logNse;
    case ObjectiveKind::Pbias: return std::fabs(fit.PBIAS);
  }
  return std::nan("");
}

EvaluationResult ScoreBasinYears(const std::vector<BasinYear>& years, const ObjectiveSettings& settings) {
  const Period p = Concatenate(years, settings);
  const FitStatistics flow = ComputeFit(p.obsFlow, p.simFlow);
  const double flowLog = LogNashSutcliffe(p.obsFlow, p.simFlow);
  EvaluationResult r;
  r.loss = Loss(settings.kind, flow, flowLog);
  AddMetrics(r.metrics, flow, flowLog);
  if (settings.sedimentWeight > 0) {
    const FitStatistics conc = ComputeFit(p.obsConc, p.simConc);
    const double concLog = LogNashSutcliffe(p.obsConc, p.simConc);
    const double w = settings.sedimentWeight;
    const double concLoss = Loss(settings.kind, conc, concLog);
    r.loss = w == 1 ? concLoss : (1 - w) * r.loss + w * concLoss;
    AddMetrics(r.metrics, conc, concLog);
  }
  return r;
}

std::string UndefinedFit(const std::vector<BasinYear>& observed, const ObjectiveSettings& settings) {
  // A simulation equal to the observations fits them perfectly: if even that has no
  // score, no simulation has one.
  std::vector<BasinYear> perfect = observed;
  long days = 0, observedDays = 0, flowing = 0;
  for (BasinYear& b : perfect) {
    const bool scored = std::find(settings.years.begin(), settings.years.end(), b.year) != settings.years.end();
    b.simFlow.resize(b.obsFlow.size());
    b.simSediment.resize(b.obsSediment.size());
    for (std::size_t d = 0; d < b.obsFlow.size(); ++d) {
      b.simFlow[d] = IsObserved(b.obsFlow[d]) ? b.obsFlow[d] : 0;
      if (!scored) continue;
      ++days;
      observedDays += IsObserved(b.obsFlow[d]) ? 1 : 0;
      flowing += IsObserved(b.obsFlow[d]) && b.obsFlow[d] > 0 ? 1 : 0;
    }
    for (std::size_t d = 0; d < b.obsSediment.size(); ++d)
      b.simSediment[d] = IsObserved(b.obsSediment[d]) ? b.obsSediment[d] : 0;
  }
  ObjectiveSettings flowOnly = settings;
  flowOnly.sedimentWeight = 0;
  const bool flowDefined = std::isfinite(ScoreBasinYears(perfect, flowOnly).loss);
  if (flowDefined && std::isfinite(ScoreBasinYears(perfect, settings).loss)) return std::string();
  const std::string counted = " (" + std::to_string(observedDays) + " of " + std::to_string(days) + " days observed, " +
                              std::to_string(flowing) + " above 0)";
  if (!flowDefined && flowing == 0) return "the observed discharge is 0 or missing on every day" + counted;
  if (!flowDefined) return "the observed discharge does not vary enough to score a fit" + counted;
  return "no observed sediment concentration varies (a day needs an observed discharge above 0 and an "
         "observed concentration)";
}

std::string LossName(const ObjectiveSettings& settings) {
  const std::string measure = MeasureName(settings.kind);
  const double w = settings.sedimentWeight;
  std::string conc = measure;
  conc.insert(measure.back() == '|' ? measure.size() - 1 : measure.size(), "_conc");
  std::string name = w <= 0   ? measure
                     : w >= 1 ? conc
                              : ShortestReal(1 - w) + "*(" + measure + ")+" + ShortestReal(w) + "*(" + conc + ")";
  // The years scored, so that a trace names everything its losses depend on.
  for (std::size_t i = 0; i < settings.years.size();) {
    std::size_t j = i;
    while (j + 1 < settings.years.size() && settings.years[j + 1] == settings.years[j] + 1) ++j;
    name += i == 0 ? ' ' : '+';
    name += std::to_string(settings.years[i]);
    if (j > i) {
      name += '-';
      name += std::to_string(settings.years[j]);
    }
    i = j + 1;
  }
  return name;
}

std::vector<std::string> MetricNames(const ObjectiveSettings& settings) {
  std::vector<std::string> names = {"KGE", "NSE", "logNSE", "PBIAS"};
  if (settings.sedimentWeight > 0) names.insert(names.end(), {"KGE_conc", "NSE_conc", "logNSE_conc", "PBIAS_conc"});
  return names;
}

}  // namespace tarnwell
