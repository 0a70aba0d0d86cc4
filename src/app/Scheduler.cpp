#include "app/Scheduler.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>

#include "app/Bytes.h"
#include "app/DayEngine.h"
#include "app/Progress.h"
#include "app/WorkerPool.h"

namespace tarnwell {

namespace {

// A lane's own display, told nothing while it runs: the scheduler tells the window of each
// sub-basin when it has finished (Publish).
class QuietObserver : public ProgressObserver {};
QuietObserver quietObserver;

using bytes::Get;
using bytes::Put;

}  // namespace

Scheduler::Scheduler(Session& session, ProgressObserver& observer, DayEngine& engine)
    : session_(session), observer_(observer) {
  main_.session = &session_;
  main_.engine = &engine;
  main_.observer = &observer_;
}

void Scheduler::SideBySide(int threads, EngineFactory makeEngine, bool always) {
  threads_ = threads < 1 ? 1 : threads;
  makeEngine_ = std::move(makeEngine);
  always_ = always;
}

std::vector<int> Scheduler::OwnSubBasins(int n) const {
  std::vector<int> mine;
  for (int k = 1; k <= n; ++k)
    if (!group_ || (k - 1) % group_->Size() == group_->Rank()) mine.push_back(k);
  return mine;
}

// Side by side pays when the sub-basins can share the threads evenly. In units of one cell's
// year of days, a sub-basin's year costs its inside cells (the days, which the threads can
// split by rows), a share of all its cells (reading and preparing the grids, on one thread)
// and a fixed part (its meteorological year, its five files appended day by day, on one
// thread). One after the other, only the days are shared; side by side, each lane does all
// of its own. The longest lane (largest sub-basins first, each to the least loaded lane)
// decides.
int Scheduler::LanesFor(int n) const {
  if (threads_ <= 1 || n <= 1 || !makeEngine_ || sizes_.size() != static_cast<std::size_t>(n)) return 1;
  constexpr double kPreparing = 0.04;  // per cell of the grid
  constexpr double kFixed = 1000;      // per sub-basin's year
  const int lanes = std::min(threads_, n);
  if (always_) return lanes;
  const double rowThreads = threads_ / lanes;
  double oneByOne = 0;
  std::vector<double> cost;
  for (const SubBasinCheck& c : sizes_) {
    const double own = kPreparing * static_cast<double>(c.rows) * c.cols + kFixed;
    oneByOne += static_cast<double>(c.insideCells) / threads_ + own;
    cost.push_back(static_cast<double>(c.insideCells) / rowThreads + own);
  }
  std::sort(cost.begin(), cost.end(), std::greater<>());
  std::vector<double> load(static_cast<std::size_t>(lanes), 0.0);
  for (double c : cost) *std::min_element(load.begin(), load.end()) += c;
  const double sideBySide = *std::max_element(load.begin(), load.end());
  return sideBySide < oneByOne ? lanes : 1;
}

std::vector<SubBasinYear> Scheduler::Run(int lanes, const YearOf& year) {
  const std::vector<int> mine = OwnSubBasins(session_.state.SubBasinCount);
  std::vector<SubBasinYear> years;
  std::string problem;
  try {
    if (lanes <= 1) {
      for (int k : mine) years.push_back(year(k, main_));
    } else {
      years = RunLanes(lanes, mine, year);
    }
  } catch (const std::exception& e) {
    if (!group_) throw;
    problem = e.what();
  }
  if (group_) {
    group_->Agree(problem);
    Exchange(years);
  }
  return years;
}

std::vector<SubBasinYear> Scheduler::RunLanes(int lanes, const std::vector<int>& subBasins, const YearOf& year) {
  ModelState& s = session_.state;
  const int threadsPerLane = std::max(1, threads_ / lanes);
  while (static_cast<int>(lanes_.size()) < lanes) {
    Lane lane;
    lane.own = std::make_unique<Session>(session_.ws.Root().string());
    lane.session = lane.own.get();
    lane.ownEngine = makeEngine_(threadsPerLane);
    lane.engine = lane.ownEngine.get();
    lane.observer = &quietObserver;
    lanes_.push_back(std::move(lane));
  }
  // Largest first, each to the lane that frees up first.
  std::vector<int> order = subBasins;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return sizes_[static_cast<std::size_t>(a - 1)].insideCells > sizes_[static_cast<std::size_t>(b - 1)].insideCells;
  });
  // What every sub-basin of the year starts from, as one after the other they would: the
  // run's counters, the sub-basin table, and the growth index (every sub-basin computes the
  // same one from the season file, over the days the year before left).
  const DaySeries growthBefore = s.GrowthIndex;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::mutex failed;
  int failedAt = 0;
  std::exception_ptr failure;
  std::vector<std::optional<SubBasinYear>> done(subBasins.size());
  const ParameterSet* lastParams = nullptr;
  int lastPublished = 0;
  auto work = [&](Lane& lane) {
    ModelState& ls = lane.session->state;
    for (;;) {
      const std::size_t i = next++;
      if (i >= order.size() || stop) return;
      const int k = order[i];
      try {
        {
          std::lock_guard<std::mutex> hold(shared_);
          if (ls.SubBasinCount != s.SubBasinCount) ls.TakeSubBasinTable(s);
          ls.ParamFilePath = s.ParamFilePath;
          ls.YearIndex = s.YearIndex;
          ls.MetLinesRead = s.MetLinesRead;
          ls.RunStarted = s.RunStarted;
          ls.GrowthIndex = growthBefore;
          lane.session->params = session_.params;
        }
        SubBasinYear y = year(k, lane);
        std::lock_guard<std::mutex> hold(shared_);
        Publish(k, y.shown, true);
        lastPublished = k;
        if (k == subBasins.back()) lastParams = &lane.session->params;
        const auto at = static_cast<std::size_t>(std::find(subBasins.begin(), subBasins.end(), k) - subBasins.begin());
        done[at] = std::move(y);
      } catch (...) {
        std::lock_guard<std::mutex> hold(failed);
        // Of several failures the sub-basin first in the list speaks, as it would have
        // one after the other.
        if (!failure || k < failedAt) {
          failure = std::current_exception();
          failedAt = k;
        }
        stop = true;
        return;
      }
    }
  };
  WorkerPool(lanes).Run([&](int i) { work(lanes_[static_cast<std::size_t>(i)]); });
  if (failure) std::rethrow_exception(failure);
  std::vector<SubBasinYear> years;
  for (auto& y : done) years.push_back(std::move(*y));
  // The displays end the year on the last sub-basin, with the calendar, the growth index
  // and the parameters it left, as one after the other they would.
  if (lastPublished != subBasins.back()) Publish(subBasins.back(), years.back().shown, false);
  session_.params = *lastParams;
  return years;
}

void Scheduler::Exchange(std::vector<SubBasinYear>& years) {
  std::string out;
  if (group_->Rank() != 0)
    for (const SubBasinYear& y : years) {
      Put(out, y.subBasin);
      Put(out, y.flow);
      Put(out, y.sediment);
      Put(out, y.shown);
    }
  const std::vector<std::string> all = group_->Gather(out);
  if (group_->Rank() != 0) return;
  // Rank 0 takes the others' sub-basins in rank order; the displays are told of each.
  int lastShown = years.empty() ? 0 : years.back().subBasin;
  for (std::size_t r = 1; r < all.size(); ++r) {
    const std::string& from = all[r];
    std::size_t at = 0;
    while (at < from.size()) {
      SubBasinYear& y = years.emplace_back();
      y.subBasin = Get<int>(from, at);
      y.flow = Get<DaySeries>(from, at);
      y.sediment = Get<DaySeries>(from, at);
      y.shown = Get<DisplayedYear>(from, at);
      Publish(y.subBasin, y.shown, true);
      lastShown = y.subBasin;
    }
  }
  std::stable_sort(years.begin(), years.end(),
                   [](const SubBasinYear& a, const SubBasinYear& b) { return a.subBasin < b.subBasin; });
  if (!years.empty() && lastShown != years.back().subBasin) Publish(years.back().subBasin, years.back().shown, false);
}

// The window's (or the command line's) view of a sub-basin that has finished its year side
// by side or on another rank: its series shown in the session's state, then the displays
// told, one sub-basin at a time.
void Scheduler::Publish(int k, const DisplayedYear& year, bool finished) {
  ModelState& s = session_.state;
  year.ShowIn(s);
  observer_.SetLabel1("子流域" + std::to_string(k) + "  ");
  observer_.SetLabel2("结果统计");
  observer_.ShowResultsPanel();
  observer_.FillStatGrids(k, s.YearIndex);
  observer_.DrawCharts(k, s.YearIndex);
  observer_.SetProgressPosition(100);
  if (finished) observer_.SubBasinYearDone(k, s.YearIndex);
}

}  // namespace tarnwell
