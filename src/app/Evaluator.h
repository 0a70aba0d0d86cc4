// The whole simulation of a workspace in memory, for a calibration: the inputs are read and
// checked once, and every evaluation runs every sub-basin and year (with the next-year
// carry-over), the routing to the outlet and the whole-basin sums on a model state of its
// own, writing no file. Its series are those the whole-basin "Daily.out" of a normal run
// prints (Si_flow, Re_flow) and that "Daily_s.out" prints (Si_chansha, Re_chansha).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/ModelState.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {

struct Session;
struct ParameterSet;
struct WorkspaceInputs;

// One simulated year at the basin outlet, day by day from 1 January (DaysInYear values).
struct BasinYear {
  BasinYear() = default;
  BasinYear(int y, std::vector<double> sf, std::vector<double> of, std::vector<double> ss, std::vector<double> os)
      : year(y),
        simFlow(std::move(sf)),
        obsFlow(std::move(of)),
        simSediment(std::move(ss)),
        obsSediment(std::move(os)) {}
  int year = 0;
  std::vector<double> simFlow, obsFlow;          // m3/s
  std::vector<double> simSediment, obsSediment;  // t/day
  // Each sub-basin's outflow at its own outlet, before routing, and its weather table's
  // observed discharge (m3/s): sub-basin k at k - 1, what gauges inside the basin score.
  std::vector<std::vector<double>> subBasinSimFlow, subBasinObsFlow;
};

class BasinEvaluator {
 public:
  // Reads and checks every input of the first `years` years of the session's workspace
  // (start-up done), as a run's check does; throws the first problem.
  BasinEvaluator(const Session& session, int years);
  ~BasinEvaluator();
  // Every sub-basin and year with params (its SimYears and the parameter file play no
  // part), one engine thread. Safe to call from several threads at once. Throws ResultError
  // when a value of the simulation is not finite.
  std::vector<BasinYear> Evaluate(const ParameterSet& params) const;
  // The observed outlet series of every simulated year as an evaluation gives them (the
  // simulated series left empty): what every fit is scored against, known before any
  // evaluation.
  std::vector<BasinYear> Observations() const;
  int Years() const { return years_; }
  // How every later year starts (CarryOver::Mean unless set); set before evaluating.
  void SetCarryOver(CarryOver c) { carryOver_ = c; }
  // How the outlet's groundwater series counts each cell's outflow; set before evaluating.
  void SetGroundwaterSum(GroundwaterSum g) { groundwaterSum_ = g; }
  // The calendar years simulated, in order.
  const std::vector<int>& CalendarYears() const { return calendarYears_; }
  // The inputs as read, for a normal run that writes its files without reading them again.
  std::shared_ptr<const WorkspaceInputs> Inputs() const { return inputs_; }

 private:
  std::string root_;
  ModelState table_;  // the program directory and the sub-basin table
  int years_;
  CarryOver carryOver_ = CarryOver::Mean;
  GroundwaterSum groundwaterSum_ = GroundwaterSum::Twice;
  std::vector<int> calendarYears_;
  std::shared_ptr<const WorkspaceInputs> inputs_;
};

}  // namespace tarnwell
