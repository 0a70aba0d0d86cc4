#include "app/Check.h"

#include <cstdio>

#include "app/Session.h"
#include "app/Startup.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"

namespace tarnwell {

void RunCheck(Session& session, std::ostream& out) {
  ModelState& s = session.state;
  char buf[512];
  std::snprintf(buf, sizeof buf, "%-4s %-16s %11s %9s %12s %6s  %s\n", "No.", "Name", "Rows x Cols",
                "Inside", "Area (km2)", "Years", "Season days");
  out << buf;
  for (int k = 1; k <= s.SubBasinCount; ++k) {
    s.ClearGrids();
    LoadPaths(session, k);
    {
      TextReader p = session.Open(s.ParamFilePath);
      LoadParameters(p, session.params);
    }
    {
      TextReader f = session.Open(s.InputPath[1]);
      ReadTerrainGrid(s, f);
    }
    {
      TextReader f = session.Open(s.InputPath[2]);
      ReadLandUseGrid(s, f);
    }
    {
      TextReader f = session.Open(s.InputPath[4]);
      ReadSeasonFile(s, f);
    }
    {
      TextReader f = session.Open(s.InputPath[5]);
      ReadSlopeGrid(s, f);
    }
    long inside = 0;
    for (double z : s.SurfElev)
      if (z > 0 && z < kNoDataLimit) ++inside;
    if (inside == 0)
      throw InputError(session.Display(s.InputPath[1]), 0,
                       "sub-basin " + std::to_string(k) + " (" + s.SubBasinName[k] +
                           ") has no cell inside the basin (no terrain value between 0 and 2e30)");
    int years = 0;
    {
      TextReader f = session.Open(s.InputPath[3]);
      years = CountMetYearBlocks(f);
    }
    std::string size = std::to_string(s.GridRows) + " x " + std::to_string(s.GridCols);
    std::snprintf(buf, sizeof buf, "%-4d %-16s %11s %9ld %12.3f %6d  %d %d %d %d\n", k,
                  s.SubBasinName[k].c_str(), size.c_str(), inside, s.BasinArea, years, s.SeasonDay1,
                  s.SeasonDay2, s.SeasonDay3, s.SeasonDay4);
    out << buf;
  }
  if (s.SubBasinCount == 0) {
    TextReader p = session.Open(s.ParamFilePath);
    LoadParameters(p, session.params);
  }
  out << "\nParameters (" << session.Display(s.ParamFilePath) << "):\n";
  for (const auto& [name, value] : ListParameters(session.params)) {
    std::snprintf(buf, sizeof buf, "  %-28s %s\n", name.c_str(), value.c_str());
    out << buf;
  }
}

}  // namespace tarnwell
