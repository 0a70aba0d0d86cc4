// The result viewer reads the stored output files of a sub-basin (PutSubBasinFiles): the
// two budget files for the statistics tables and the three day files for the charts. Any
// bytes there give the system's own error naming an output file, never a crash, and the
// chart series it returns stay within the year; two years are read.
#include "FuzzSupport.h"
#include "app/OutputBinding.h"
#include "viewer/ResultsReader.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  const std::string& root = fuzz::ScratchWorkspace("viewer");
  fuzz::PutSubBasinFiles(root + "/Output/流域1", fuzz::Bytes(data, size));
  Session session(root);
  session.state.ProgramDir = session.ws.ProgramDir();
  session.state.ResizeSubBasins(1);
  const StoredResults results = StoredResultsOf(session);
  const std::string dir = ResultDirectory(results, 1);
  fuzz::ReadingOutput("table read error names no output file", "Output/", [&] { ReadStatTables(results, dir, 2); });
  for (int year = 1; year <= 2; ++year)
    fuzz::ReadingOutput("series read error names no output file", "Output/", [&] {
      auto y = ReadDailySeries(results, dir, year);
      if (y->DayCount < 0 || y->DayCount > kMaxDays) fuzz::Broken("day count outside the year");
    });
  return 0;
}
