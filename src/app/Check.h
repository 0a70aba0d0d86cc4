// Checking every input of a run before anything is written: "tarnwell check" reports what
// it found, and a run checks the same before it empties the first output file, so that a
// run that cannot finish never destroys the results of an earlier one.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "inputs/WGetData.h"
#include "processes/Processes.h"
#include "results/Statistic.h"

namespace tarnwell {

struct Session;

// Every input of a run as read, kept to be applied again: for each sub-basin its three grids,
// the season days and the year blocks of its meteorological file a run reads; the outlet
// series' blocks of the same years. A calibration reads its workspace once into this.
struct SubBasinInputs {
  GridFile terrain, landUse;
  std::vector<double> slope;
  std::array<int, 4> seasonDays{};
  std::vector<MetBlock> years;
};
struct WorkspaceInputs {
  std::vector<SubBasinInputs> subBasins;  // sub-basin k at k - 1
  std::vector<OutletBlock> outlet;        // year y of the run at y - 1
  std::size_t bytes = 0;                  // what the sub-basins' inputs take
  bool Empty() const { return subBasins.empty(); }
};

// What the check found for one sub-basin.
struct SubBasinCheck {
  int number = 0;
  std::string name;
  int rows = 0, cols = 0;
  long insideCells = 0;
  double area = 0;         // km2
  int yearBlocks = 0;      // whole year blocks of the meteorological file
  std::vector<int> years;  // the calendar years of the blocks a run reads
  std::array<int, 4> seasonDays{};
  // What a run can do but should not be asked to: a routing coefficient below zero, a
  // terrain cell towering over its neighbours. Each a sentence naming the sub-basin.
  std::vector<std::string> warnings;
};

// Loads and checks everything a run of `years` years reads (years < 1: the parameter file's
// number of years, at least 1), sub-basin by sub-basin, on a model state of its own: the
// session's state and files are left as they were. Throws the first problem, naming the file,
// the line and the token: a parameter the model cannot compute with, a grid that does not
// load or has no inside cell or no area, a meteorological year block that is missing, short,
// long or of another year than the other sub-basins', an outlet block that does not fit.
// With `keep`, the inputs read are kept there, unless they take more than keepAtMost bytes
// (then *keep is left empty).
std::vector<SubBasinCheck> CheckInputs(const Session& session, int years, WorkspaceInputs* keep = nullptr,
                                       std::size_t keepAtMost = SIZE_MAX);

// "tarnwell check": the table of CheckInputs for the parameter file's years, its warnings,
// then every parameter. Throws the first error met.
void RunCheck(Session& session, std::ostream& out);

}  // namespace tarnwell
