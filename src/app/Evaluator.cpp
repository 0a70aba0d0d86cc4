#include "app/Evaluator.h"

#include "app/Check.h"
#include "app/Driver.h"
#include "app/FusedEngine.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "model/Calendar.h"
#include "parameters/ParaDialog.h"
#include "results/Statistic.h"

namespace tarnwell {

namespace {

// The observed discharge (m3/s) of every sub-basin's weather table in year i of the run (from 0).
std::vector<std::vector<double>> SubBasinObservations(const WorkspaceInputs& inputs, std::size_t i) {
  std::vector<std::vector<double>> observed;
  for (const SubBasinInputs& sub : inputs.subBasins)
    observed.push_back(i < sub.years.size() ? sub.years[i].flow : std::vector<double>{});
  return observed;
}

// Takes each whole-basin year as the driver finishes it.
class YearCollector : public ProgressObserver {
 public:
  YearCollector(const ModelState& state, const WorkspaceInputs& inputs, std::vector<BasinYear>& years)
      : state_(state), inputs_(inputs), years_(years) {}
  void BasinYearDone(int) override {
    const ModelState& s = state_;
    BasinYear y;
    y.year = s.CurYear;
    const auto days = static_cast<std::ptrdiff_t>(s.DaysInYear);
    y.simFlow.assign(s.BasinFlow.begin() + 1, s.BasinFlow.begin() + 1 + days);
    y.obsFlow.assign(s.BasinObsFlow.begin() + 1, s.BasinObsFlow.begin() + 1 + days);
    y.simSediment.assign(s.BasinSediment.begin() + 1, s.BasinSediment.begin() + 1 + days);
    y.obsSediment.assign(s.BasinObsSediment.begin() + 1, s.BasinObsSediment.begin() + 1 + days);
    for (int k = 1; k <= s.SubBasinCount; ++k) {
      const DaySeries& flow = s.SubBasinFlow[static_cast<std::size_t>(k)];
      y.subBasinSimFlow.emplace_back(flow.begin() + 1, flow.begin() + 1 + days);
    }
    y.subBasinObsFlow = SubBasinObservations(inputs_, static_cast<std::size_t>(s.YearIndex) - 1);
    years_.push_back(std::move(y));
  }

 private:
  const ModelState& state_;
  const WorkspaceInputs& inputs_;
  std::vector<BasinYear>& years_;
};

}  // namespace

BasinEvaluator::BasinEvaluator(const Session& session, int years)
    : root_(session.ws.Root().string()), years_(years < 1 ? 1 : years) {
  auto inputs = std::make_shared<WorkspaceInputs>();
  const std::vector<SubBasinCheck> checked = CheckInputs(session, years_, inputs.get());
  calendarYears_ = checked.front().years;
  inputs_ = std::move(inputs);
  table_.TakeSubBasinTable(session.state);
}

BasinEvaluator::~BasinEvaluator() = default;

std::vector<BasinYear> BasinEvaluator::Observations() const {
  std::vector<BasinYear> years;
  ModelState s;
  for (std::size_t i = 0; i < calendarYears_.size() && i < inputs_->outlet.size(); ++i) {
    const int y = calendarYears_[i];
    ApplyOutletObservations(s, inputs_->outlet[i]);
    const std::ptrdiff_t days = YearLength(y);
    BasinYear b;
    b.year = y;
    b.obsFlow.assign(s.BasinObsFlow.begin() + 1, s.BasinObsFlow.begin() + 1 + days);
    b.obsSediment.assign(s.BasinObsSediment.begin() + 1, s.BasinObsSediment.begin() + 1 + days);
    b.subBasinObsFlow = SubBasinObservations(*inputs_, i);
    years.push_back(std::move(b));
  }
  return years;
}

std::vector<BasinYear> BasinEvaluator::Evaluate(const ParameterSet& params) const {
  Session session(root_);
  ModelState& s = session.state;
  s.TakeSubBasinTable(table_);
  // A set that carries the reaches' routing (a calibration searching it) routes with it.
  if (params.RoutingK.size() == s.SubBasinK.size() && params.RoutingX.size() == s.SubBasinX.size()) {
    s.SubBasinK = params.RoutingK;
    s.SubBasinX = params.RoutingX;
  }
  session.params = params;
  session.params.SimYears = years_;

  std::vector<BasinYear> years;
  YearCollector collector(s, *inputs_, years);
  FusedDayEngine engine(1);
  Driver driver(session, collector, engine);
  driver.UseInputs(inputs_);
  driver.UseParameters(session.params);
  driver.WriteNoFiles();
  driver.SetCarryOver(carryOver_);
  driver.SetGroundwaterSum(groundwaterSum_);
  driver.Run();
  while (s.YearIndex < years_)
    if (driver.NextYear() != Driver::StepResult::Simulated) break;
  return years;
}

}  // namespace tarnwell
