#include "app/Check.h"

#include <algorithm>
#include <cstdio>

#include "app/Driver.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Calendar.h"
#include "model/Errors.h"
#include "model/InputRanges.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"
#include "processes/Processes.h"
#include "results/Format.h"
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

// Terrain cells more than kSpikeHeight above every neighbour of the four that lies inside
// the basin: a no-data value (32767 of a 16-bit grid) or a typing error the model would take
// for a summit, with a groundwater gradient that drives a negative runoff.
void WarnOfSpikes(const GridFile& g, const std::string& display, const std::string& subBasin,
                  std::vector<std::string>& warnings) {
  auto inside = [](double z) { return z > 0 && z < kNoDataLimit; };
  constexpr int kShown = 5;
  int found = 0;
  for (int r = 0; r < g.rows; ++r)
    for (int c = 0; c < g.cols; ++c) {
      const double z =
          g.values[static_cast<std::size_t>(r) * static_cast<std::size_t>(g.cols) + static_cast<std::size_t>(c)];
      if (!inside(z)) continue;
      int neighbours = 0;
      bool towers = true;
      for (const auto& [dr, dc] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
        const int r2 = r + dr, c2 = c + dc;
        if (r2 < 0 || c2 < 0 || r2 >= g.rows || c2 >= g.cols) continue;
        const double n =
            g.values[static_cast<std::size_t>(r2) * static_cast<std::size_t>(g.cols) + static_cast<std::size_t>(c2)];
        if (!inside(n)) continue;
        ++neighbours;
        towers = towers && z - n > kSpikeHeight;
      }
      if (neighbours == 0 || !towers) continue;
      if (++found > kShown) continue;
      warnings.push_back(subBasin + ": " + display + " line " + std::to_string(r + 6) + " (row " +
                         std::to_string(r + 1) + ", column " + std::to_string(c + 1) + "): the terrain of " +
                         Printf("%g", z) + " m lies more than " + Printf("%g", kSpikeHeight) +
                         " m above all its neighbours inside the basin: a no-data value left in the grid?");
    }
  if (found > kShown)
    warnings.push_back(subBasin + ": " + display + ": " + std::to_string(found - kShown) + " more such cells");
}

// A routing coefficient below zero lets the routed discharge fall below zero.
void WarnOfNegativeRouting(const ModelState& s, int k, const std::string& subBasin,
                           std::vector<std::string>& warnings) {
  const double K = s.SubBasinK[static_cast<std::size_t>(k)], x = s.SubBasinX[static_cast<std::size_t>(k)];
  const std::string negative = NegativeMuskingumCoefficient(K, x);
  if (!negative.empty())
    warnings.push_back(subBasin + ": Muskingum K = " + Printf("%g", K) + " h and x = " + Printf("%g", x) +
                       " give a negative routing coefficient " + negative +
                       ": the routed discharge can fall below zero (K x at most 12 h and (1 - x) K at least "
                       "12 h keep every coefficient at 0 or above)");
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
  const std::string subBasin = "sub-basin " + std::to_string(k) + " (" + c.name + ")";
  WarnOfNegativeRouting(s, k, subBasin, c.warnings);
  WarnOfSpikes(in.terrain, session.Display(s.InputPath[1]), subBasin, c.warnings);
  return c;
}

// The year blocks a run reads from sub-basin k's meteorological file, each checked by the
// reader the run uses; the years must be those of sub-basin 1, block by block, since one
// line count positions every file.
void CheckMeteorologicalYears(Session& session, SubBasinCheck& c, int years, const SubBasinCheck* first,
                              SubBasinInputs& in) {
  ModelState& s = session.state;
  TextReader file = session.Open(s.InputPath[3]);
  for (int y = 1; y <= years; ++y) {
    MetBlock block = ReadMetBlock(file);
    if (first && first->years[static_cast<std::size_t>(y - 1)] != block.year)
      throw InputError(file.Name(), block.headerLine,
                       "year block " + std::to_string(y) + " is " + std::to_string(block.year) + ", but sub-basin " +
                           std::to_string(first->number) + " (" + first->name + ") has " +
                           std::to_string(first->years[static_cast<std::size_t>(y - 1)]) +
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
    const int days = YearLength(year);
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
    throw InputError(scratch.Display(s.ProgramDir + kSubBasinListPath), 0, "the sub-basin list holds no sub-basin");
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
  std::snprintf(buf, sizeof buf, "%-4s %-16s %11s %9s %12s %6s  %s\n", "No.", "Name", "Rows x Cols", "Inside",
                "Area (km2)", "Years", "Season days");
  out << buf;
  for (const SubBasinCheck& c : found) {
    const std::string size = std::to_string(c.rows) + " x " + std::to_string(c.cols);
    std::snprintf(buf, sizeof buf, "%-4d %-16s %11s %9ld %12.3f %6d  %d %d %d %d\n", c.number, c.name.c_str(),
                  size.c_str(), c.insideCells, c.area, c.yearBlocks, c.seasonDays[0], c.seasonDays[1], c.seasonDays[2],
                  c.seasonDays[3]);
    out << buf;
  }
  bool first = true;
  for (const SubBasinCheck& c : found)
    for (const std::string& w : c.warnings) {
      if (first) out << "\n";  // the table ends at a blank line
      first = false;
      out << "warning: " << w << "\n";
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
