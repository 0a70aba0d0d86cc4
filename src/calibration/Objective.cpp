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

const BasinYear& ScoredYear(const std::vector<BasinYear>& years, int y) {
  for (const BasinYear& b : years)
    if (b.year == y) return b;
  throw std::runtime_error("the simulation gave no year " + std::to_string(y) + " to score");
}

// Appends a year's pairs, day by day aligned even if a series is short.
void AppendPairs(std::vector<double>& sim, std::vector<double>& obs, const std::vector<double>& yearSim,
                 const std::vector<double>& yearObs) {
  const std::size_t start = sim.size(), days = std::max(yearSim.size(), yearObs.size());
  sim.insert(sim.end(), yearSim.begin(), yearSim.end());
  obs.insert(obs.end(), yearObs.begin(), yearObs.end());
  sim.resize(start + days, 0.0);
  obs.resize(start + days, -1.0);
}

// A gauge's simulated and observed discharge over the scored years.
Period GaugePeriod(const std::vector<BasinYear>& years, const ObjectiveSettings& settings, const GaugeTerm& g) {
  Period p;
  const auto k = static_cast<std::size_t>(g.subBasin - 1);
  static const std::vector<double> none;
  for (int y : settings.years) {
    const BasinYear& b = ScoredYear(years, y);
    const auto fromFile = g.observed.find(y);
    const std::vector<double>& obs = !g.file.empty() && fromFile != g.observed.end() ? fromFile->second
                                     : k < b.subBasinObsFlow.size()                  ? b.subBasinObsFlow[k]
                                                                                     : none;
    AppendPairs(p.simFlow, p.obsFlow, k < b.subBasinSimFlow.size() ? b.subBasinSimFlow[k] : none, obs);
  }
  return p;
}

Period Concatenate(const std::vector<BasinYear>& years, const ObjectiveSettings& settings) {
  Period p;
  for (int y : settings.years) {
    const BasinYear& b = ScoredYear(years, y);
    AppendPairs(p.simFlow, p.obsFlow, b.simFlow, b.obsFlow);
    if (settings.sedimentWeight > 0)
      AppendPairs(p.simConc, p.obsConc, SimulatedConcentration(b.simFlow, b.simSediment),
                  ObservedConcentration(b.obsFlow, b.obsSediment));
  }
  return p;
}

const char* MeasureName(ObjectiveKind kind) {
  switch (kind) {
    case ObjectiveKind::Kge: return "1-KGE";
    case ObjectiveKind::Nse: return "1-NSE";
    case ObjectiveKind::LogNse: return "1-logNSE";
    case ObjectiveKind::Pbias: return "|PBIAS|";
    case ObjectiveKind::FdcHigh: return "|FHV|";
    case ObjectiveKind::FdcMid: return "|FMS|";
    case ObjectiveKind::FdcLow: return "|FLV|";
  }
  return "?";
}

// The flow-duration biases the objective weighs, in the order high, middle, low.
constexpr ObjectiveKind kFdcKinds[] = {ObjectiveKind::FdcHigh, ObjectiveKind::FdcMid, ObjectiveKind::FdcLow};
constexpr const char* kFdcNames[] = {"FHV", "FMS", "FLV"};
double FdcBias(const FlowDurationBiases& b, ObjectiveKind kind) {
  return kind == ObjectiveKind::FdcHigh ? b.high : kind == ObjectiveKind::FdcMid ? b.mid : b.low;
}

void AddMetrics(std::vector<double>& out, const FitMeasures& m, const Objective& objective) {
  out.insert(out.end(), {m.fit.KGE, m.fit.NSE, m.logNse, m.fit.PBIAS});
  for (ObjectiveKind k : kFdcKinds)
    if (objective.Uses(k)) out.push_back(FdcBias(m.fdc, k));
}

// A term's measure, 0 for a perfect fit.
double TermLoss(ObjectiveKind kind, const FitMeasures& m) {
  switch (kind) {
    case ObjectiveKind::Kge: return 1 - m.fit.KGE;
    case ObjectiveKind::Nse: return 1 - m.fit.NSE;
    case ObjectiveKind::LogNse: return 1 - m.logNse;
    case ObjectiveKind::Pbias: return std::fabs(m.fit.PBIAS) / 100;
    case ObjectiveKind::FdcHigh:
    case ObjectiveKind::FdcMid:
    case ObjectiveKind::FdcLow: return std::fabs(FdcBias(m.fdc, kind)) / 100;
  }
  return std::nan("");
}

}  // namespace

ObjectiveSettings CalibrationObjective(const CalibrationConfig& config) {
  return {config.objective, config.sedimentWeight, config.calibrationYears, config.gauges};
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

FitMeasures MeasureFit(std::span<const double> obs, std::span<const double> sim) {
  return {ComputeFit(obs, sim), LogNashSutcliffe(obs, sim), FlowDurationCurveBiases(obs, sim)};
}

double Loss(const Objective& objective, const FitMeasures& m) {
  // One measure alone keeps its own scale (|PBIAS| in percent), as traces made before the
  // weighted terms hold it.
  if (objective.Single() && objective.terms[0].kind == ObjectiveKind::Pbias) return std::fabs(m.fit.PBIAS);
  double loss = 0;
  for (const ObjectiveTerm& t : objective.terms) loss += t.weight * TermLoss(t.kind, m);
  return loss;
}

EvaluationResult ScoreBasinYears(const std::vector<BasinYear>& years, const ObjectiveSettings& settings) {
  const Period p = Concatenate(years, settings);
  const FitMeasures flow = MeasureFit(p.obsFlow, p.simFlow);
  EvaluationResult r;
  r.loss = Loss(settings.objective, flow);
  AddMetrics(r.metrics, flow, settings.objective);
  if (settings.sedimentWeight > 0) {
    const FitMeasures conc = MeasureFit(p.obsConc, p.simConc);
    const double w = settings.sedimentWeight;
    const double concLoss = Loss(settings.objective, conc);
    r.loss = w == 1 ? concLoss : (1 - w) * r.loss + w * concLoss;
    AddMetrics(r.metrics, conc, settings.objective);
  }
  for (const GaugeTerm& g : settings.gauges) {
    const Period at = GaugePeriod(years, settings, g);
    const FitMeasures m = MeasureFit(at.obsFlow, at.simFlow);
    r.loss += g.weight * Loss(settings.objective, m);
    r.metrics.insert(r.metrics.end(), {m.fit.KGE, m.fit.NSE, m.logNse, m.fit.PBIAS});
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
  for (const GaugeTerm& g : settings.gauges) {
    ObjectiveSettings alone = settings;
    alone.gauges = {g};
    alone.sedimentWeight = 0;
    const Period at = GaugePeriod(perfect, alone, g);
    const FitMeasures m = MeasureFit(at.obsFlow, at.obsFlow);
    if (!std::isfinite(Loss(settings.objective, m)))
      return "the observed discharge of the gauge at sub-basin " + std::to_string(g.subBasin) +
             (g.file.empty() ? " (its weather table)" : " (" + g.file + ")") +
             " cannot be scored: it is 0, missing or " + "the same on every day";
  }
  ObjectiveSettings outlet = settings;
  outlet.gauges.clear();
  ObjectiveSettings flowOnly = outlet;
  flowOnly.sedimentWeight = 0;
  const bool flowDefined = std::isfinite(ScoreBasinYears(perfect, flowOnly).loss);
  if (flowDefined && std::isfinite(ScoreBasinYears(perfect, outlet).loss)) return std::string();
  const std::string counted = " (" + std::to_string(observedDays) + " of " + std::to_string(days) + " days observed, " +
                              std::to_string(flowing) + " above 0)";
  if (!flowDefined && flowing == 0) return "the observed discharge is 0 or missing on every day" + counted;
  if (!flowDefined) return "the observed discharge does not vary enough to score a fit" + counted;
  return "no observed sediment concentration varies (a day needs an observed discharge above 0 and an "
         "observed concentration)";
}

std::string LossName(const ObjectiveSettings& settings) {
  // "1-KGE", or "0.5*(1-KGE)+0.5*(|FLV|/100)"; the concentration's measures end in _conc.
  const auto named = [&](const std::string& suffix) {
    const auto one = [&suffix](ObjectiveKind kind) {
      std::string m = MeasureName(kind);
      m.insert(m.back() == '|' ? m.size() - 1 : m.size(), suffix);
      return m;
    };
    const Objective& o = settings.objective;
    if (o.Single()) return one(o.terms[0].kind);
    std::string text;
    for (const ObjectiveTerm& t : o.terms) {
      std::string m = one(t.kind);
      if (m.back() == '|') m += "/100";
      text += (text.empty() ? "" : "+") + ShortestReal(t.weight) + "*(" + m + ")";
    }
    return text;
  };
  const std::string measure = named(""), conc = named("_conc");
  const double w = settings.sedimentWeight;
  std::string name = w <= 0   ? measure
                     : w >= 1 ? conc
                              : ShortestReal(1 - w) + "*(" + measure + ")+" + ShortestReal(w) + "*(" + conc + ")";
  for (const GaugeTerm& g : settings.gauges)
    name += "+" + ShortestReal(g.weight) + "*(" + named("[" + std::to_string(g.subBasin) + "]") + ")";
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
  std::vector<std::string> names;
  for (const char* end : {"", "_conc"}) {
    if (*end && !(settings.sedimentWeight > 0)) break;
    for (const char* n : {"KGE", "NSE", "logNSE", "PBIAS"}) names.push_back(std::string(n) + end);
    for (std::size_t i = 0; i < std::size(kFdcKinds); ++i)
      if (settings.objective.Uses(kFdcKinds[i])) names.push_back(std::string(kFdcNames[i]) + end);
  }
  for (const GaugeTerm& g : settings.gauges)
    for (const char* n : {"KGE", "NSE", "logNSE", "PBIAS"})
      names.push_back(std::string(n) + "[" + std::to_string(g.subBasin) + "]");
  return names;
}

}  // namespace tarnwell
