#include "app/Check.h"

#include <algorithm>
#include <cstdio>

#include "app/Driver.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"
#include "processes/Processes.h"
#include "results/Statistic.h"

namespace tarnwell {

namespace {

// A session of its own over the same workspace and sub-basin table: the check reads every
// year with the model's own readers, and those leave traces in the state (the growth index
// keeps days of earlier years) that a run must not inherit.
Session ScratchSessionOf(const Session& session) {
  Session scratch(session.ws.Root().string());
  ModelState& s = scratch.state;
  s.TakeSubBasinTable(session.state);
  if (s.ParamFilePath.empty()) s.ParamFilePath = s.ProgramDir + kParamFilePath;
  scratch.params.ErodibilityMode = session.params.ErodibilityMode;
  return scratch;
}

void LoadCheckedParameters(Session& session) {
  TextReader file = session.Open(session.state.ParamFilePath);
  LoadParameters(file, session.params);
  RequireComputableParameters(session.params, file.Name());
}

// The grids and the season file of sub-basin k, read and applied as the driver does.
SubBasinCheck CheckGrids(Session& session, int k, SubBasinInputs& in) {
  ModelState& s = session.state;
  s.ClearGrids();
  LoadPaths(session, k);
  {
    TextReader f = session.Open(s.InputPath[1]);
    in.terrain = ParseGridFile(f, true);
    ApplyTerrainGrid(s, in.terrain);
  }
  {
    TextReader f = session.Open(s.InputPath[2]);
    in.landUse = ParseGridFile(f, false);
    ApplyLandUseGrid(s, in.landUse);
  }
  {
    TextReader f = session.Open(s.InputPath[4]);
    in.seasonDays = ParseSeasonDays(f);
    ApplySeasonDays(s, in.seasonDays);
  }
  {
    TextReader f = session.Open(s.InputPath[5]);
    in.slope = ParseSlopeValues(f, s.GridRows, s.GridCols);
    ApplySlopeValues(s, in.slope);
  }
  SubBasinCheck c;
  c.number = k;
  c.name = s.SubBasinName[static_cast<std::size_t>(k)];
  c.rows = s.GridRows;
  c.cols = s.GridCols;
  for (std::size_t i = 0; i < s.CellCount(); ++i)
    if (s.SurfElev[i] > 0 && s.SurfElev[i] < kNoDataLimit) ++c.insideCells;
  RequireInsideCells(session, k, c.insideCells);
  RequireArea(session, k);
  c.area = s.BasinArea;
  c.seasonDays = in.seasonDays;
  return c;
}

// The year blocks a run reads from sub-basin k's meteorological file, each checked by the
// reader the run uses; the years must be those of sub-basin 1, block by block, since one
// line count positions every file.
void CheckMeteorologicalYears(Session& session, SubBasinCheck& c, int years,
                              const SubBasinCheck* first, SubBasinInputs& in) {
  ModelState& s = session.state;
  TextReader file = session.Open(s.InputPath[3]);
  for (int y = 1; y <= years; ++y) {
    MetBlock block = ReadMetBlock(file);
    if (first && first->years[static_cast<std::size_t>(y - 1)] != block.year)
      throw InputError(file.Name(), block.headerLine,
                       "year block " + std::to_string(y) + " is " + std::to_string(block.year) +
                           ", but sub-basin " + std::to_string(first->number) + " (" + first->name +
                           ") has " + std::to_string(first->years[static_cast<std::size_t>(y - 1)]) +
                           " there: the meteorological files of all sub-basins hold the same "
                           "years in the same order");
    c.years.push_back(block.year);
    in.years.push_back(std::move(block));
  }
  c.yearBlocks = years + CountMetYearBlocks(file);
}

// The outlet series: one block per simulated year, of the length of that year.
std::vector<OutletBlock> CheckOutletSeries(Session& session, const std::vector<int>& years) {
  TextReader river = session.Open(session.state.ProgramDir + kRiverFilePath);
  std::vector<OutletBlock> blocks;
  for (int year : years) {
    const int days = (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 366 : 365;
    blocks.push_back(ReadOutletBlock(year, days, river));
  }
  return blocks;
}

}  // namespace

namespace {

std::size_t BytesOf(const SubBasinInputs& in) {
  std::size_t bytes = (in.terrain.values.size() + in.landUse.values.size() + in.slope.size()) * sizeof(double);
  for (const MetBlock& b : in.years) bytes += 5 * b.precip.size() * sizeof(double);
  return bytes;
}

}  // namespace

std::vector<SubBasinCheck> CheckInputs(const Session& session, int years, WorkspaceInputs* keep,
                                       std::size_t keepAtMost) {
  Session scratch = ScratchSessionOf(session);
  ModelState& s = scratch.state;
  if (s.SubBasinCount < 1)
    throw InputError(scratch.Display(s.ProgramDir + kSubBasinListPath), 0,
                     "the sub-basin list holds no sub-basin");
  LoadCheckedParameters(scratch);
  if (years < 1) years = std::max(1, scratch.params.SimYears);
  std::vector<SubBasinCheck> found;
  if (keep) *keep = WorkspaceInputs{};
  for (int k = 1; k <= s.SubBasinCount; ++k) {
    // The run reloads the parameter file before every sub-basin; so does the check.
    LoadCheckedParameters(scratch);
    SubBasinInputs in;
    SubBasinCheck c = CheckGrids(scratch, k, in);
    CheckMeteorologicalYears(scratch, c, years, found.empty() ? nullptr : &found.front(), in);
    found.push_back(std::move(c));
    if (keep) {
      keep->bytes += BytesOf(in);
      keep->subBasins.push_back(std::move(in));
      // More than may be kept: the inputs are read again when they are needed.
      if (keep->bytes > keepAtMost) {
        *keep = WorkspaceInputs{};
        keep = nullptr;
      }
    }
  }
  std::vector<OutletBlock> outlet = CheckOutletSeries(scratch, found.front().years);
  if (keep) keep->outlet = std::move(outlet);
  return found;
}

void RunCheck(Session& session, std::ostream& out) {
  const std::vector<SubBasinCheck> found = CheckInputs(session, 0);
  char buf[512];
  std::snprintf(buf, sizeof buf, "%-4s %-16s %11s %9s %12s %6s  %s\n", "No.", "Name", "Rows x Cols",
                "Inside", "Area (km2)", "Years", "Season days");
  out << buf;
  for (const SubBasinCheck& c : found) {
    const std::string size = std::to_string(c.rows) + " x " + std::to_string(c.cols);
    std::snprintf(buf, sizeof buf, "%-4d %-16s %11s %9ld %12.3f %6d  %d %d %d %d\n", c.number,
                  c.name.c_str(), size.c_str(), c.insideCells, c.area, c.yearBlocks,
                  c.seasonDays[0], c.seasonDays[1], c.seasonDays[2], c.seasonDays[3]);
    out << buf;
  }
  {
    TextReader p = session.Open(session.state.ParamFilePath);
    LoadParameters(p, session.params);
  }
  out << "\nParameters (" << session.Display(session.state.ParamFilePath) << "):\n";
  for (const auto& [name, value] : ListParameters(session.params)) {
    std::snprintf(buf, sizeof buf, "  %-28s %s\n", name.c_str(), value.c_str());
    out << buf;
  }
}

}  // namespace tarnwell
