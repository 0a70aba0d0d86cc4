// The result viewer reads the stored output files of a sub-basin: the two budget files
// for the statistics tables and the three day files for the charts. Any bytes there give
// the system's own error naming an output file, never a crash, and the chart series it
// returns stay within the year. The input is split at form feeds into Daily.out,
// Daily_s.out, Daily_f.out, Budget.out and Budget_s.out; two years are read.
#include "FuzzSupport.h"
#include "app/OutputBinding.h"
#include "app/Session.h"
#include "model/ModelState.h"
#include "viewer/ResultsReader.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& root = fuzz::ScratchWorkspace("viewer");
  fuzz::PutSubBasinFiles(root + "/Output/流域1", fuzz::Bytes(data, size));
  Session session(root);
  ModelState& s = session.state;
  s.ProgramDir = session.ws.ProgramDir();
  s.ResizeSubBasins(1);
  const StoredResults results = StoredResultsOf(session);
  const std::string dir = ResultDirectory(results, 1);
  try {
    ReadStatTables(results, dir, 2);
  } catch (const TarnwellError& e) {
    if (e.File().find("Output/") != 0) fuzz::Broken("table read error names no output file");
  }
  for (int year = 1; year <= 2; ++year) {
    try {
      auto y = ReadDailySeries(results, dir, year);
      if (y->DayCount < 0 || y->DayCount > kMaxDays) fuzz::Broken("day count outside the year");
    } catch (const TarnwellError& e) {
      if (e.File().find("Output/") != 0) fuzz::Broken("series read error names no output file");
    }
  }
  return 0;
}
