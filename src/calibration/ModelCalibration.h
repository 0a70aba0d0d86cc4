// The calibration of the model itself: a calibration file turned into a run of the runner,
// and the evaluation function made from a simulator of the basin's years.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "calibration/CalibrationFile.h"
#include "calibration/Objective.h"
#include "calibration/Runner.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {

struct Session;

// The run of a calibration file: its ranges and search, the values of `current` (the
// parameter file in effect) to start from, and the objective's columns of the trace.
CalibrationRun PlanCalibration(const CalibrationConfig& config, const ParameterSet& current,
                               const std::string& tracePath, const std::string& traceName, bool resume);

// Simulates the years a calibration needs (warm-up years included) with a parameter set and
// gives the whole basin's series of each. Called from several threads at once.
using BasinSimulator = std::function<std::vector<BasinYear>(const ParameterSet& params)>;

// The evaluation function: `base` with the calibrated values set, simulated, scored over the
// calibration years.
EvaluationFunction ModelEvaluation(const CalibrationConfig& config, const ParameterSet& base, BasinSimulator simulate);

// Reads the observed discharge of every gauge that names a file (in the outlet series' layout,
// from the workspace, one year block for each of the calendar years in order) into the gauge.
// Throws, naming the file, the line and the token, what does not read.
void LoadGaugeFiles(CalibrationConfig& config, const Session& session, const std::vector<int>& calendarYears);

}  // namespace tarnwell
