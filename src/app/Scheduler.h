// Runs the sub-basins of a year and returns their years in list order: one after the other
// in the driver's own lane, side by side on lanes of their own (each a session, a model state
// and an engine), or spread over the ranks of a group, where each rank runs its own
// sub-basins and rank 0 receives what the whole-basin year needs of the others'. The files
// are byte for byte those of one after the other, and so is what the displays are told.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "app/Check.h"
#include "app/RankGroup.h"
#include "app/SubBasinYear.h"

namespace tarnwell {

class Scheduler {
 public:
  Scheduler(Session& session, ProgressObserver& observer, DayEngine& engine);

  using EngineFactory = std::function<std::unique_ptr<DayEngine>(int threads)>;
  // Up to `threads` lanes side by side, each with an engine of `makeEngine`, when that is
  // faster (always: whenever there are two sub-basins and two threads, for tests).
  void SideBySide(int threads, EngineFactory makeEngine, bool always);
  void DistributeOver(RankGroup* group) { group_ = group; }
  RankGroup* Group() const { return group_; }
  // What each sub-basin's year costs, as the run's check found it.
  void SetSizes(std::vector<SubBasinCheck> sizes) { sizes_ = std::move(sizes); }
  const std::vector<SubBasinCheck>& Sizes() const { return sizes_; }

  // The sub-basins of 1..n this process runs.
  std::vector<int> OwnSubBasins(int n) const;
  // How many lanes the year of n sub-basins runs on (1: one after the other).
  int LanesFor(int n) const;
  // The driver's own lane and the lock the lanes share.
  Lane& Main() { return main_; }
  std::mutex& Shared() { return shared_; }

  using YearOf = std::function<SubBasinYear(int k, Lane& lane)>;
  // The year of every own sub-basin on `lanes` lanes; spread over ranks, rank 0 then holds
  // every sub-basin's year (another rank's without its carry-over, which stays there). A
  // failure ends the year: of several, the sub-basin first in the list speaks, and on every
  // rank the lowest failing rank.
  std::vector<SubBasinYear> Run(int lanes, const YearOf& year);

 private:
  std::vector<SubBasinYear> RunLanes(int lanes, const std::vector<int>& subBasins, const YearOf& year);
  void Exchange(std::vector<SubBasinYear>& years);
  void Publish(int k, const DisplayedYear& year, bool finished);

  Session& session_;
  ProgressObserver& observer_;
  Lane main_;
  std::vector<Lane> lanes_;
  std::mutex shared_;
  int threads_ = 1;
  bool always_ = false;
  EngineFactory makeEngine_;
  RankGroup* group_ = nullptr;
  std::vector<SubBasinCheck> sizes_;
};

}  // namespace tarnwell
