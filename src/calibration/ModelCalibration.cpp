#include "calibration/ModelCalibration.h"

#include "app/Session.h"
#include "inputs/TextFile.h"
#include "model/Calendar.h"
#include "results/Statistic.h"

namespace tarnwell {

CalibrationRun PlanCalibration(const CalibrationConfig& config, const ParameterSet& current,
                               const std::string& tracePath, const std::string& traceName, bool resume) {
  CalibrationRun run;
  run.parameters = config.Space().Parameters();
  run.search = config.search;
  run.start = CalibratedValues(config, current);
  const ObjectiveSettings objective = CalibrationObjective(config);
  run.lossName = LossName(objective);
  run.metricNames = MetricNames(objective);
  run.tracePath = tracePath;
  run.traceName = traceName;
  run.resume = resume;
  return run;
}

EvaluationFunction ModelEvaluation(const CalibrationConfig& config, const ParameterSet& base, BasinSimulator simulate) {
  return [config, base, objective = CalibrationObjective(config),
          simulate = std::move(simulate)](const std::vector<double>& values) {
    ParameterSet params = base;
    SetCalibratedValues(config, values, params);
    return ScoreBasinYears(simulate(params), objective);
  };
}

void LoadGaugeFiles(CalibrationConfig& config, const Session& session, const std::vector<int>& calendarYears) {
  for (GaugeTerm& g : config.gauges) {
    if (g.file.empty()) continue;
    const std::string modelPath = session.state.ProgramDir + "..\\" + g.file;
    TextReader reader(session.ws.Resolve(modelPath), session.Display(modelPath));
    g.observed.clear();
    for (int y : calendarYears) g.observed[y] = ReadOutletBlock(y, YearLength(y), reader).flow;
  }
}

}  // namespace tarnwell
