#include "calibration/ModelCalibration.h"

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
  return [config, base, simulate = std::move(simulate)](const std::vector<double>& values) {
    ParameterSet params = base;
    SetCalibratedValues(config, values, params);
    return ScoreBasinYears(simulate(params), CalibrationObjective(config));
  };
}

}  // namespace tarnwell
