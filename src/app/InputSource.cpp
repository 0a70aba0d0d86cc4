#include "app/InputSource.h"

#include <algorithm>

#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"
#include "processes/Processes.h"

namespace tarnwell {

void FileInputs::BeginStep(int subBasins, bool checkCalendar) {
  if (resume_.size() < static_cast<std::size_t>(subBasins) + 1) resume_.resize(static_cast<std::size_t>(subBasins) + 1);
  checkCalendar_ = checkCalendar;
}

void FileInputs::Locate(int k, Session& lane) { LoadPaths(lane, k); }

void FileInputs::ReadGrids(int k, Session& lane, ProgressObserver& observer) {
  (void)k;
  ModelState& s = lane.state;
  struct Step {
    int input;
    void (*read)(ModelState&, TextReader&);
    int position;
  };
  const Step steps[] = {
      {1, ReadTerrainGrid, 4}, {2, ReadLandUseGrid, 6}, {4, ReadSeasonFile, 8}, {5, ReadSlopeGrid, 10}};
  for (const Step& step : steps) {
    s.CurrentInputFile = s.InputPath[static_cast<std::size_t>(step.input)];
    TextReader file = lane.Open(s.CurrentInputFile);
    step.read(s, file);
    observer.SetProgressPosition(step.position);
  }
}

TextReader FileInputs::OpenMeteorologicalFile(int k, const Session& lane) const {
  const ModelState& s = lane.state;
  const Resume& r = resume_.at(static_cast<std::size_t>(k));
  // The cursor holds only when it is this file's and stands where the years done end.
  if (r.at.linesDone == s.MetLinesRead && r.fsPath == lane.ws.Resolve(s.CurrentInputFile))
    return lane.OpenAt(s.CurrentInputFile, r.at);
  return lane.Open(s.CurrentInputFile);
}

void FileInputs::ReadWeather(int k, Session& lane) {
  ModelState& s = lane.state;
  s.CurrentInputFile = s.InputPath[3];
  TextReader metFile = OpenMeteorologicalFile(k, lane);
  // The line the year's header stands on (the reader first passes the years done).
  const long header = (s.MetLinesRead > 1 ? std::max(metFile.LineNumber(), s.MetLinesRead) : metFile.LineNumber()) + 1;
  ReadMeteorologicalYear(s, lane.params, metFile);
  resume_.at(static_cast<std::size_t>(k)) = {lane.ws.Resolve(s.CurrentInputFile), metFile.Cursor()};
  // Every sub-basin simulates the same calendar year: the whole-basin year sums them day by
  // day.
  if (!checkCalendar_) return;
  if (k == 1) {
    yearOfFirst_ = s.CurYear;
  } else if (s.CurYear != yearOfFirst_) {
    throw InputError(lane.Display(s.InputPath[3]), header,
                     "the year block is " + std::to_string(s.CurYear) + ", but sub-basin 1 (" + s.SubBasinName[1] +
                         ") simulates " + std::to_string(yearOfFirst_) +
                         " in this step: the meteorological files of all sub-basins hold the same "
                         "years in the same order");
  }
}

void CheckedInputs::ReadGrids(int k, Session& lane, ProgressObserver& observer) {
  ModelState& s = lane.state;
  const SubBasinInputs& in = Of(k);
  ApplyTerrainGrid(s, in.terrain);
  observer.SetProgressPosition(4);
  ApplyLandUseGrid(s, in.landUse);
  observer.SetProgressPosition(6);
  ApplySeasonDays(s, in.seasonDays);
  observer.SetProgressPosition(8);
  ApplySlopeValues(s, in.slope);
  observer.SetProgressPosition(10);
}

void CheckedInputs::ReadWeather(int k, Session& lane) {
  ModelState& s = lane.state;
  ApplyMeteorologicalYear(s, lane.params, Of(k).years.at(static_cast<std::size_t>(s.YearIndex - 1)));
}

}  // namespace tarnwell
