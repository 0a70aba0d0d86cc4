// The calibration file: plain UTF-8 text, one item per line, `#` to the end of a line a
// comment, tokens separated by blanks or tabs.
//
//   algorithm dds                  dds (default), sce or lhs
//   evaluations 1000               the budget (default 1000)
//   objective kge                  kge (default), nse, lognse or pbias
//   sediment-weight 0              0 (default) to 1: share of sediment concentration
//   warmup 1990                    simulated, not scored
//   calibration 1991-1992          scored by the search (required)
//   validation 1993                scored with the best set only
//   seed 1                         random seed (default 1)
//   batch 8                        DDS and Latin hypercube: points proposed together (8)
//   complexes 4                    SCE-UA: number of complexes (4)
//   gauge 1 0.3                    sub-basin 1's own discharge scored too, with weight 0.3,
//   gauge 2 0.2 input/gauge2.in    against its weather table's or, named, a nested gauge's file
//   FieldCapacity 0.2 0.36         a parameter: name, lower and upper bound
//   DeepLeakageCoef 0.001 0.5 log  searched uniformly in its logarithm
//
// Years are calendar years, given as single years or ranges (1991-1992), several per line.
// Parameter names are those of the parameter set ("tarnwell check" lists them).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "calibration/Search.h"

namespace tarnwell {

struct ParameterSet;
class TextReader;

// The measures an objective weighs: 1 - KGE, 1 - NSE, 1 - log-NSE, |PBIAS| / 100 (|PBIAS| alone
// as the only term, in percent, as before), and the flow-duration curve's biases of its high,
// middle and low segments, |bias| / 100 (FlowDurationCurveBiases).
enum class ObjectiveKind { Kge, Nse, LogNse, Pbias, FdcHigh, FdcMid, FdcLow };

struct ObjectiveTerm {
  ObjectiveKind kind = ObjectiveKind::Kge;
  double weight = 1;
  bool operator==(const ObjectiveTerm&) const = default;
};

// What the search minimises: the weighted sum of its terms ("objective kge 0.5 lognse 0.5"),
// or one measure alone ("objective kge").
struct Objective {
  std::vector<ObjectiveTerm> terms{ObjectiveTerm{}};
  Objective() = default;
  Objective(ObjectiveKind kind) : terms{ObjectiveTerm{kind, 1}} {}  // NOLINT: one measure alone
  bool Single() const { return terms.size() == 1 && terms[0].weight == 1; }
  bool Uses(ObjectiveKind kind) const;
  bool operator==(const Objective&) const = default;
  bool operator==(ObjectiveKind kind) const { return Single() && terms[0].kind == kind; }
};

// A gauge inside the basin: sub-basin k's outflow scored by the objective's terms against its
// observed discharge, weighed into the loss. The observations are the sub-basin's weather
// table's, or those of a file in the outlet series' layout (one year block per simulated year).
struct GaugeTerm {
  int subBasin = 0;  // from 1, as the sub-basin list counts
  double weight = 0;
  std::string file;  // from the workspace; empty: the weather table's discharge
  long line = 0;     // where the calibration file names it
  // The file's discharge (m3/s) of each calendar year, day d at d - 1 (LoadGaugeFiles).
  std::map<int, std::vector<double>> observed;
  bool operator==(const GaugeTerm&) const = default;
};

struct CalibratedParameter {
  std::string name;
  double lower = 0;
  double upper = 0;
  bool log = false;
  long line = 0;  // where the file names it
};

struct CalibrationConfig {
  std::string file;  // the file as messages name it
  SearchSettings search;
  Objective objective;
  double sedimentWeight = 0;
  std::vector<GaugeTerm> gauges;                                    // in the file's order
  std::vector<int> warmupYears, calibrationYears, validationYears;  // ascending
  struct YearSource {
    long line = 0;  // -1: the command line's option (named by `token`)
    std::string token;
    int index = 0;
  };
  std::map<int, YearSource> yearSources;  // where the file names each year
  int workers = 0;                        // evaluations at once in this process; 0: every hardware thread
  std::vector<CalibratedParameter> parameters;
  // Where the file gives the search's sizes (line 0: not given), for the messages that
  // range them against the evaluations and the memory.
  struct SettingPlace {
    long line = 0;
    std::string text;
  };
  SettingPlace evaluationsAt, complexesAt, batchAt;

  SearchSpace Space() const;
  std::vector<std::string> ParameterNames() const;
  // The workers to start: `workers`, or the hardware threads when 0.
  int WorkerCount() const;
  // The last year any list names: the simulation must reach it.
  int LastYear() const;
  // Refuses, naming the line and the token, a year outside firstYear..lastYear, the years
  // the workspace's data cover (described by `data`).
  void RequireYearsWithin(int firstYear, int lastYear, const std::string& data) const;
};

// Reads and checks a calibration file. current: the parameter set in effect, whose values
// stand for the parameters not calibrated where parameters are tied (wilting point below
// field capacity below saturated water content). Every error names the file, the line and
// the token.
CalibrationConfig ReadCalibrationFile(const std::string& fsPath, const std::string& displayName,
                                      const ParameterSet& current);
CalibrationConfig ReadCalibrationFile(TextReader& reader, const ParameterSet& current);

// Command-line values that replace the file's settings; each as typed, checked here.
struct CalibrationOverrides {
  std::optional<std::string> algorithm;    // --algorithm dds|sce|lhs
  std::optional<std::string> evaluations;  // --evaluations N
  std::optional<std::string> objective;    // --objective "kge" or "kge 0.5 lognse 0.5"
  std::optional<std::string> seed;         // --seed S
  std::optional<std::string> workers;      // --workers N
  // --warmup, --calibration, --validation: years or ranges, by commas or blanks
  // ("1991-1992", "1991,1993"); each replaces the file's list.
  std::optional<std::string> warmup, calibration, validation;
};
// Throws std::invalid_argument naming the option and the value it refuses.
void ApplyOverrides(CalibrationConfig& config, const CalibrationOverrides& overrides);

// The calibrated parameters' values in a parameter set, in the file's order.
std::vector<double> CalibratedValues(const CalibrationConfig& config, const ParameterSet& params);
// A sentence for every calibrated parameter whose value in `current` lies outside its range
// (naming the file's line): the search starts from the nearest bound instead, and the value
// itself can no longer be reached.
std::vector<std::string> StartsOutsideTheirRanges(const CalibrationConfig& config, const ParameterSet& current);
// Sets the calibrated parameters of params to values (in the file's order).
void SetCalibratedValues(const CalibrationConfig& config, const std::vector<double>& values, ParameterSet& params);

const char* MethodName(SearchMethod method);  // "dds", "sce", "lhs", "morris", "sobol"
// "kge", "nse", "lognse", "pbias", "fdc-high", "fdc-mid", "fdc-low".
const char* ObjectiveName(ObjectiveKind kind);
// The objective as the file writes it: "kge", or "kge 0.5 lognse 0.5".
std::string ObjectiveText(const Objective& objective);
// What is wrong with an objective so written ("" when nothing), naming the word.
std::string ObjectiveProblem(const std::string& text);

// What a basin's own data say about it, for the ranges of a new calibration file: its area
// (km2), its mean elevation (m) and air temperature (degrees C) and the share of its
// precipitation that falls on days below 0 degrees C, area-weighted over the sub-basins.
struct BasinTraits {
  double areaKm2 = 0, meanElevation = 0, meanTemperature = 0, snowShare = 0;
};
struct SubBasinCheck;
struct WorkspaceInputs;
BasinTraits MeasureBasin(const std::vector<SubBasinCheck>& checked, const WorkspaceInputs& inputs);

// The file `calibrate --init` writes for a workspace simulating firstYear..lastYear: the
// parameters that matter for discharge, with sensible ranges and the reasons for them; with
// `basin`, the ranges its area, snow and elevation call for (the reservoirs' time constants
// scaled to the area, the degree-day factor widened for a snowy basin, thinner soils in
// mountains), and the figures stated in the file.
std::vector<std::string> DefaultCalibrationFile(int firstYear, int lastYear, const BasinTraits* basin = nullptr);

}  // namespace tarnwell
