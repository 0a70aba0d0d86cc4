// The export reads the stored output files of a sub-basin strictly: any bytes there
// (PutSubBasinFiles) give the system's own error naming an output file, never a crash,
// and what it returns holds rows of the files' own widths.
#include "FuzzSupport.h"
#include "app/Workspace.h"
#include "geo/OutputFiles.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  const std::string& root = fuzz::ScratchWorkspace("export");
  fuzz::PutSubBasinFiles(root + "/Output/流域1", fuzz::Bytes(data, size));
  const Workspace ws(root);
  fuzz::ReadingOutput("read error names no output file", "Output/流域1/", [&] {
    const geo::StationResults r = geo::ReadStationResults(ws, ws.ProgramDir() + "..\\Output\\流域1");
    for (const geo::DayRow& row : r.daily)
      if (row.values.size() != 14) fuzz::Broken("a Daily.out row of another width");
    for (const auto* rows : {&r.sediment, &r.frozen})
      for (const geo::DayRow& row : *rows)
        if (row.values.size() != 4) fuzz::Broken("a day row of another width");
    for (const geo::BudgetRow& row : r.budget)
      if (row.values.size() != 13 || row.month < 0 || row.month > 12) fuzz::Broken("a Budget.out row");
  });
  return 0;
}
