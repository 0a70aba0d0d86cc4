// The whole-basin step reads the sub-basin output files back: any bytes in those files (a
// user's edit, a file from another version) give the system's own error naming the file,
// never a crash. The input is the only sub-basin's five files (PutSubBasinFiles); two years.
#include "FuzzSupport.h"
#include "app/OutputBinding.h"
#include "results/Statistic.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  const std::string& root = fuzz::ScratchWorkspace("readback");
  fuzz::PutSubBasinFiles(root + "/Output/流域1", fuzz::Bytes(data, size));
  for (const char* name : fuzz::kSubBasinFiles) fuzz::Put(root + "/Output/全流域/" + name, "");
  Session session(root);
  ModelState& s = session.state;
  s.ProgramDir = session.ws.ProgramDir();
  s.ResizeSubBasins(1);
  s.SubBasinName[1] = "甲";
  s.DaysInYear = 365;
  BasinAggregation agg;
  for (int year = 0; year < 2; ++year) {
    fuzz::ReadingOutput("daily read-back error names no output file", "Output/",
                        [&] { AggregateBasinDaily(session, agg, 1, 2000 + year); });
    fuzz::ReadingOutput("budget read-back error names no output file", "Output/",
                        [&] { AggregateBasinBudget(session, agg, 1); });
  }
  return 0;
}
