// Where a sub-basin's year takes its inputs from: the grids, the season days, the weather
// year. Either the files, read anew every year (the window, where the user may change them
// between years), or the inputs the run's check read once (the command line, calibration).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/Check.h"
#include "inputs/TextFile.h"

namespace tarnwell {

struct Session;
class ProgressObserver;

class InputSource {
 public:
  virtual ~InputSource() = default;
  // Before the year: where sub-basin k's files are (the path file), when they are read.
  virtual void Locate(int k, Session& lane) = 0;
  // The terrain, land use, season days and slope of sub-basin k into the lane's state,
  // the progress told as each is in.
  virtual void ReadGrids(int k, Session& lane, ProgressObserver& observer) = 0;
  // The weather of the run's current year (the lane's YearIndex) and its growth index.
  virtual void ReadWeather(int k, Session& lane) = 0;
};

// The files, every year. The meteorological files are read on from where each sub-basin's
// year before ended, so a year's reading does not pass over every earlier year again.
class FileInputs : public InputSource {
 public:
  // A new run: every file read from its start.
  void Reset() { resume_.clear(); }
  // The step's sub-basins, and whether they run one after the other in one model state:
  // then each weather year is checked to be sub-basin 1's (side by side, and spread over
  // ranks, the run's check has seen to it).
  void BeginStep(int subBasins, bool checkCalendar);

  void Locate(int k, Session& lane) override;
  void ReadGrids(int k, Session& lane, ProgressObserver& observer) override;
  void ReadWeather(int k, Session& lane) override;

 private:
  struct Resume {
    std::string fsPath;
    TextCursor at;
  };
  TextReader OpenMeteorologicalFile(int k, const Session& lane) const;
  std::vector<Resume> resume_;  // by sub-basin
  bool checkCalendar_ = false;
  int yearOfFirst_ = 0;  // the calendar year sub-basin 1 simulates in the step
};

// The inputs the check read: nothing is read again.
class CheckedInputs : public InputSource {
 public:
  void Use(std::shared_ptr<const WorkspaceInputs> inputs) { inputs_ = std::move(inputs); }
  const WorkspaceInputs* Inputs() const { return inputs_.get(); }

  void Locate(int, Session&) override {}
  void ReadGrids(int k, Session& lane, ProgressObserver& observer) override;
  void ReadWeather(int k, Session& lane) override;

 private:
  const SubBasinInputs& Of(int k) const { return inputs_->subBasins.at(static_cast<std::size_t>(k - 1)); }
  std::shared_ptr<const WorkspaceInputs> inputs_;
};

}  // namespace tarnwell
