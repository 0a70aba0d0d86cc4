#include "app/Driver.h"

#include <limits>
#include <stdexcept>

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <utility>

#include "app/Check.h"
#include "app/DayEngine.h"
#include "app/OutputBinding.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "inputs/TextFile.h"
#include "model/Calendar.h"
#include "model/Errors.h"
#include "results/Format.h"

namespace tarnwell {

Driver::Driver(Session& session, ProgressObserver& observer, DayEngine& engine)
    : session_(session), observer_(observer), scheduler_(session, observer, engine) {}

void Driver::RunSideBySide(int threads, EngineFactory makeEngine, bool always) {
  scheduler_.SideBySide(threads, std::move(makeEngine), always);
}

void Driver::CheckRun() {
  // Every input of the run is checked before the first output file is emptied: a run that
  // could not finish must not destroy the results of an earlier one. Inputs given read were
  // checked when they were read.
  // Inputs kept from an earlier run's check are read anew: they may have changed since.
  if (inputsKept_) {
    inputs_.reset();
    inputsKept_ = false;
  }
  if (!inputs_) {
    // Spread over ranks, rank 0 checks, and no rank empties a file before it has.
    std::string problem;
    if (!group_ || group_->Rank() == 0) {
      try {
        // A run in memory reads no file after its check: it keeps every input the check read.
        const std::size_t atMost = noFiles_ ? std::numeric_limits<std::size_t>::max() : reuseAtMost_;
        if (atMost > 0 && !group_) {
          auto kept = std::make_shared<WorkspaceInputs>();
          scheduler_.SetSizes(CheckInputs(session_, yearsToCheck_, kept.get(), atMost));
          if (!kept->Empty()) {
            inputs_ = std::move(kept);
            inputsKept_ = true;
          }
        } else {
          scheduler_.SetSizes(CheckInputs(session_, yearsToCheck_));
        }
      } catch (const std::exception& e) {
        if (!group_) throw;
        problem = e.what();
      }
    }
    if (group_) group_->Agree(problem);
    if (!group_ || group_->Rank() == 0)
      for (const SubBasinCheck& c : scheduler_.Sizes())
        for (const std::string& w : c.warnings) observer_.ShowWarning(w);
  }
}

void Driver::Run() {
  ModelState& s = session_.state;
  CheckRun();
  // Every run starts from nothing: counters, whole-basin files and the outlet series. It
  // also ends browsing, so "下一年" simulates again; the years to simulate come back from
  // the parameter file, which every sub-basin reloads.
  s.BrowseMode = 0;
  aggregation_.Reset();
  fileInputs_.Reset();
  s.MetLinesRead = 0;
  s.BasinDailyLinesDone = 0;
  s.BasinBudgetLinesDone = 0;
  s.BasinFilesCreated = 0;
  s.RunStarted = 1;
  s.YearIndex = 1;
  s.CurrentInputFile = s.ProgramDir + kRiverFilePath;
  if (!noFiles_) aggregation_.RiverFile.emplace(session_.Open(s.CurrentInputFile));
  RunSubBasins(false);
  EndBasinYear();
}

void Driver::EndBasinYear() {
  ModelState& s = session_.state;
  if (group_ && group_->Rank() != 0) {
    // The whole-basin year is rank 0's.
  } else if (noFiles_) {
    if (!inputs_) throw std::logic_error("a run in memory over ranks needs its inputs given (Driver::UseInputs)");
    RouteAndSumBasin(s, s.SubBasinCount);
    ApplyOutletObservations(s, inputs_->outlet.at(static_cast<std::size_t>(s.YearIndex - 1)));
  } else {
    AggregateBasin(session_, aggregation_, s.SubBasinCount);
  }
  s.MetLinesRead += s.DaysInYear + 1;
  observer_.BasinYearDone(s.YearIndex);
}

Driver::StepResult Driver::NextYear() {
  ModelState& s = session_.state;
  const int simYears = session_.params.SimYears;
  if (s.BrowseMode == 1) {
    s.YearIndex += 1;
    if (s.YearIndex > simYears) {
      observer_.ShowMessage("This is the last year!");
      s.YearIndex = simYears;
      return StepResult::LastYear;
    }
    observer_.ShowResults(s.YearIndex);
    return StepResult::Browsed;
  }
  // Without a run there is no year-end state to continue from.
  if (s.RunStarted == 0) return StepResult::NotStarted;
  s.YearIndex += 1;
  if (s.YearIndex > simYears) {
    observer_.ShowMessage("have finished the simulation!");
    s.YearIndex = simYears;
    return StepResult::Finished;
  }
  RunSubBasins(true);
  EndBasinYear();
  return StepResult::Simulated;
}

void Driver::RunSubBasins(bool laterYear) {
  ModelState& s = session_.state;
  const int n = s.SubBasinCount;
  const std::vector<int> mine = scheduler_.OwnSubBasins(n);
  lastLanes_ = group_ ? 1 : scheduler_.LanesFor(n);
  if (group_ && scheduler_.Sizes().size() == static_cast<std::size_t>(n))
    lastLanes_ = std::min<int>(scheduler_.LanesFor(n), static_cast<int>(mine.size()));
  if (!saveDates_.empty()) BeginYearStates();
  checkedInputs_.Use(inputs_);
  // One after the other in one model state, each weather year is checked to be sub-basin
  // 1's; side by side and over ranks the run's check has seen to it.
  fileInputs_.BeginStep(n, lastLanes_ <= 1 && !group_);
  YearSettings settings;
  settings.inputs = inputs_ ? static_cast<InputSource*>(&checkedInputs_) : &fileInputs_;
  settings.parameters = fixedParameters_ ? &*fixedParameters_ : nullptr;
  settings.carryOver = carryOver_;
  settings.groundwaterSum = groundwaterSum_;
  settings.writeFiles = !noFiles_;
  settings.shared = lastLanes_ > 1 ? &scheduler_.Shared() : nullptr;
  if (!saveDates_.empty()) settings.beforeDay = [this](int k, Lane& lane) { CaptureDue(k, lane); };
  settings.maps = mapSink_;
  // The run and a later year differ only in how each sub-basin's year starts.
  const auto yearOf = [&](int k, Lane& lane) {
    const auto col = static_cast<std::size_t>(k);
    YearStart start;
    start.laterYear = laterYear;
    if (laterYear) {
      start.carried = s.YearEndState[col];
      start.cells = &s.YearEndCells[col];
    }
    if (resume_) {
      start.resumed = &resume_->subBasins.at(col - 1);
      start.resumedFrom = resume_->source;
    }
    return SimulateSubBasinYear(k, std::move(start), settings, lane);
  };
  std::vector<SubBasinYear> years = scheduler_.Run(lastLanes_, yearOf);
  if (!saveDates_.empty()) FinishYearStates();
  // The whole basin's tables: every sub-basin's outflow, and what each own sub-basin
  // carries into its next year (another rank's stays on that rank).
  for (SubBasinYear& y : years) {
    const auto col = static_cast<std::size_t>(y.subBasin);
    s.SubBasinFlow[col] = y.flow;
    s.SubBasinSediment[col] = y.sediment;
    if (std::find(mine.begin(), mine.end(), y.subBasin) == mine.end()) continue;
    s.YearEndState[col] = y.end;
    s.YearEndCells[col] = std::move(y.cells);
  }
}

// --- saved states ---

namespace {

// The five files of a directory in the order the whole-basin aggregation keeps its cursors:
// Daily, Daily_s, Daily_f, Budget, Budget_s.
std::array<const OutputFile*, 5> InCursorOrder(const YearFiles& f) {
  return {&f.Daily, &f.DailyS, &f.DailyF, &f.Budget, &f.BudgetS};
}

std::uint64_t BytesOf(const OutputFile& f) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(f.path, ec);
  return ec ? 0 : static_cast<std::uint64_t>(n);
}

// The day of the year a date is, by the months of the year as the weather gives them.
int DayOfYearIn(const ModelState& s, int month, int day) {
  int d = day;
  for (int m = 1; m < month && m <= kMonths; ++m) d += s.DaysInMonth[static_cast<std::size_t>(m)];
  return d;
}

// Cuts a file back to what it held at a state's day; refused when it holds less, since the
// results the state goes on from are then gone.
void CutBack(const OutputFile& f, std::uint64_t bytes, const std::string& state, bool cut) {
  if (!f.Active()) return;
  std::error_code ec;
  const auto size = std::filesystem::file_size(f.path, ec);
  if (ec && bytes == 0) return;  // not made yet: nothing to go on from
  if (ec)
    throw FileError(f.name, 0,
                    "is missing, but the saved state " + state + " goes on from its first " + std::to_string(bytes) +
                        " bytes: a state continues the results it was saved with (keep Output/ beside it)");
  if (size < bytes)
    throw FileError(f.name, 0,
                    "holds " + std::to_string(size) + " bytes, fewer than the " + std::to_string(bytes) +
                        " the saved state " + state + " goes on from: the results it continues are gone");
  if (cut && size > bytes) {
    std::filesystem::resize_file(f.path, bytes, ec);
    if (ec) throw FileError(f.name, 0, "cannot cut back to the saved state's day: " + ec.message());
  }
}

}  // namespace

void Driver::SaveStatesAt(std::vector<Date> dates, StateSink sink) {
  saveDates_ = std::move(dates);
  stateSink_ = std::move(sink);
  saved_.clear();
}

void Driver::BeginYearStates() {
  ModelState& s = session_.state;
  pending_.clear();
  RunState r;
  r.yearIndex = s.YearIndex;
  r.carryOver = carryOver_;
  r.groundwaterSum = groundwaterSum_;
  r.metLinesRead = s.MetLinesRead;
  r.basinDailyLinesDone = s.BasinDailyLinesDone;
  r.basinBudgetLinesDone = s.BasinBudgetLinesDone;
  r.basinFilesCreated = s.BasinFilesCreated;
  r.growthBefore = s.GrowthIndex;
  const auto n = static_cast<std::size_t>(s.SubBasinCount);
  r.cursors.assign(n, {});
  for (std::size_t k = 1; k <= n && k < aggregation_.cursors.size(); ++k) r.cursors[k - 1] = aggregation_.cursors[k];
  if (!noFiles_) {
    const YearFiles basin = BindYearFiles(session_, BasinOutputDir(s));
    const auto files = InCursorOrder(basin);
    for (std::size_t i = 0; i < files.size(); ++i) r.basinFileBytes[i] = BytesOf(*files[i]);
    r.parameterHash = ParameterFileHash(
        ReadFileBytes(session_.ws.Resolve(s.ParamFilePath), session_.Display(s.ParamFilePath)));
  }
  r.names.assign(s.SubBasinName.begin() + 1, s.SubBasinName.end());
  r.subBasins.assign(n, {});
  yearStart_ = std::move(r);
}

RunState& Driver::PendingState(const Date& date, int day) {
  auto it = std::find_if(pending_.begin(), pending_.end(), [&](const auto& p) { return p.first == date; });
  if (it != pending_.end()) return it->second;
  // The first sub-basin to reach the day: the run's part as the year started.
  RunState& state = pending_.emplace_back(date, *yearStart_).second;
  state.calendarYear = date.year;
  state.month = date.month;
  state.dayOfMonth = date.day;
  state.day = day;
  return state;
}

void Driver::CaptureDue(int k, Lane& lane) {
  const ModelState& s = lane.session->state;
  const int today = s.DayCount + 1;
  for (const Date& date : saveDates_) {
    if (date.year != s.CurYear || DayOfYearIn(s, date.month, date.day) != today) continue;
    // The stores as the engine holds them, written back without ending its year.
    lane.engine->SyncState(lane.session->state);
    SubBasinState st = SubBasinState::Take(s);
    const auto files = InCursorOrder(lane.files);
    for (std::size_t i = 0; i < files.size(); ++i) st.fileBytes[i] = BytesOf(*files[i]);
    std::lock_guard<std::mutex> hold(scheduler_.Shared());
    PendingState(date, today).subBasins.at(static_cast<std::size_t>(k - 1)) = std::move(st);
  }
}

void Driver::FinishYearStates() {
  // Spread over ranks, rank 0 gathers the other ranks' sub-basins, date by date.
  if (group_) {
    std::string mine;
    if (group_->Rank() != 0) {
      for (const auto& [date, state] : pending_)
        for (int k : scheduler_.OwnSubBasins(session_.state.SubBasinCount)) {
          const SubBasinState& st = state.subBasins.at(static_cast<std::size_t>(k - 1));
          if (st.rows == 0) continue;
          const std::string bytes = EncodeSubBasinState(st);
          for (int v : {date.year, date.month, date.day, k}) mine.append(reinterpret_cast<const char*>(&v), sizeof v);
          const std::uint64_t size = bytes.size();
          mine.append(reinterpret_cast<const char*>(&size), sizeof size);
          mine += bytes;
        }
    }
    const std::vector<std::string> all = group_->Gather(mine);
    if (group_->Rank() != 0) {
      pending_.clear();
      return;
    }
    for (std::size_t r = 1; r < all.size(); ++r) {
      const std::string& from = all[r];
      std::size_t at = 0;
      auto get = [&](void* to, std::size_t n) {
        if (at + n > from.size()) throw std::runtime_error("a rank's saved state came cut short");
        std::memcpy(to, from.data() + at, n);
        at += n;
      };
      while (at < from.size()) {
        int v[4];
        get(v, sizeof v);
        std::uint64_t size = 0;
        get(&size, sizeof size);
        std::size_t end = at;
        SubBasinState st = DecodeSubBasinState(from, end);
        at = end;
        const Date date{v[0], v[1], v[2]};
        const int day = st.dayCount + 1;
        PendingState(date, day).subBasins.at(static_cast<std::size_t>(v[3] - 1)) = std::move(st);
      }
    }
  }
  for (auto& [date, state] : pending_) {
    for (std::size_t i = 0; i < state.subBasins.size(); ++i)
      if (state.subBasins[i].rows == 0)
        throw InputError(session_.Display(session_.state.InputPath[3]), 0,
                         "the state of " + state.Date() + " cannot be saved: sub-basin " + std::to_string(i + 1) +
                             " does not simulate that day (its year's months end before it)");
    if (stateSink_) stateSink_(state);
    saved_.push_back(date);
  }
  pending_.clear();
}

void Driver::CutBackFiles(const RunState& state, bool cut) {
  ModelState& s = session_.state;
  if (noFiles_) return;
  if (!group_ || group_->Rank() == 0) {
    const YearFiles basinFiles = BindYearFiles(session_, BasinOutputDir(s));
    const auto basin = InCursorOrder(basinFiles);
    for (std::size_t i = 0; i < basin.size(); ++i) CutBack(*basin[i], state.basinFileBytes[i], state.source, cut);
    // The run marker is rewritten whole at every sub-basin's year end (by whichever rank
    // ends last, so its length at a day is no fixed number): it names the last year done.
    const OutputFile mark = BindFile(session_, s.ProgramDir + RunMarkPath(s));
    if (cut && mark.Active())
      WriteWholeFile(mark.path, mark.name,
                     state.yearIndex > 1 ? std::vector<std::string>{Printf("%2d", state.yearIndex - 1)}
                                         : std::vector<std::string>{});
  }
  for (int k : scheduler_.OwnSubBasins(s.SubBasinCount)) {
    const SubBasinState& st = state.subBasins.at(static_cast<std::size_t>(k - 1));
    const YearFiles own = BindYearFiles(session_, SubBasinOutputDir(s, k));
    const auto files = InCursorOrder(own);
    for (std::size_t i = 0; i < files.size(); ++i) CutBack(*files[i], st.fileBytes[i], state.source, cut);
  }
}

void Driver::ContinueFrom(const RunState& state) {
  ModelState& s = session_.state;
  // A state of another workspace is refused, naming what differs.
  const auto n = static_cast<std::size_t>(s.SubBasinCount);
  const auto refuse = [&](const std::string& what) {
    throw InputError(state.source, 0, what + ": the state was saved from another workspace");
  };
  if (state.names.size() != n || state.subBasins.size() != n || state.cursors.size() != n)
    refuse("attribute sub_basins: " + std::to_string(state.names.size()) + " sub-basins, the workspace has " +
           std::to_string(n));
  for (std::size_t k = 1; k <= n; ++k)
    if (state.names[k - 1] != s.SubBasinName[k])
      refuse("attribute sub_basin_names: sub-basin " + std::to_string(k) + " is " + state.names[k - 1] +
             " in the state, " + s.SubBasinName[k] + " in the workspace");
  const std::string hash = ParameterFileHash(
      ReadFileBytes(session_.ws.Resolve(s.ParamFilePath), session_.Display(s.ParamFilePath)));
  if (!fixedParameters_ && state.parameterHash != hash)
    refuse("attribute parameter_file_hash: " + state.parameterHash + " in the state, " + hash + " of " +
           session_.Display(s.ParamFilePath));
  if (state.yearIndex < 1 || state.yearIndex > std::max(1, session_.params.SimYears))
    throw InputError(state.source, 0,
                     "attribute year_index " + std::to_string(state.yearIndex) + ": the parameter file simulates " +
                         std::to_string(std::max(1, session_.params.SimYears)) + " years");
  CheckRun();
  // Every file is seen to hold what the state goes on from before any is cut back.
  for (bool cut : {false, true}) {
    std::string problem;
    try {
      CutBackFiles(state, cut);
    } catch (const std::exception& e) {
      if (!group_) throw;
      problem = e.what();
    }
    if (group_) group_->Agree(problem);
  }
  s.BrowseMode = 0;
  aggregation_.Reset();
  fileInputs_.Reset();
  s.MetLinesRead = state.metLinesRead;
  s.BasinDailyLinesDone = state.basinDailyLinesDone;
  s.BasinBudgetLinesDone = state.basinBudgetLinesDone;
  s.BasinFilesCreated = state.basinFilesCreated;
  s.RunStarted = 1;
  s.YearIndex = state.yearIndex;
  s.GrowthIndex = state.growthBefore;
  aggregation_.cursors.assign(n + 1, {});
  for (std::size_t k = 1; k <= n; ++k) aggregation_.cursors[k] = state.cursors[k - 1];
  s.CurrentInputFile = s.ProgramDir + kRiverFilePath;
  if (!noFiles_) {
    // The outlet series of the years done are passed over, each block by its year.
    aggregation_.RiverFile.emplace(session_.Open(s.CurrentInputFile));
    const auto& sizes = scheduler_.Sizes();
    const std::vector<int>* years = sizes.empty() ? nullptr : &sizes.front().years;
    for (int y = 1; y < state.yearIndex; ++y) {
      s.CurYear = years && static_cast<std::size_t>(y) <= years->size() ? (*years)[static_cast<std::size_t>(y - 1)]
                                                                        : state.calendarYear - state.yearIndex + y;
      s.DaysInYear = YearLength(s.CurYear);
      ReadOutletObservations(s, *aggregation_.RiverFile);
    }
  }
  resume_ = &state;
  try {
    RunSubBasins(state.yearIndex > 1);
  } catch (...) {
    resume_ = nullptr;
    throw;
  }
  resume_ = nullptr;
  EndBasinYear();
}

}  // namespace tarnwell
