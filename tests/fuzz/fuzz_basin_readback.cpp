// The whole-basin step reads the sub-basin output files back. Any bytes in those files
// (a user's edit, a file from another version) give the system's own error naming the
// file, never a crash. The input is split at form feeds into Daily.out, Daily_s.out,
// Daily_f.out, Budget.out and Budget_s.out of the only sub-basin; two years are read.
#include "FuzzSupport.h"
#include "app/OutputBinding.h"
#include "app/Session.h"
#include "model/ModelState.h"
#include "results/Statistic.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& root = fuzz::ScratchWorkspace("readback");
  fuzz::PutSubBasinFiles(root + "/Output/流域1", fuzz::Bytes(data, size));
  for (const char* name : {"Daily.out", "Daily_s.out", "Daily_f.out", "Budget.out", "Budget_s.out"})
    fuzz::Put(root + "/Output/全流域/" + name, "");
  Session session(root);
  ModelState& s = session.state;
  s.ProgramDir = session.ws.ProgramDir();
  s.ResizeSubBasins(1);
  s.SubBasinName[1] = "甲";
  s.DaysInYear = 365;
  BasinAggregation agg;
  for (int year = 0; year < 2; ++year) {
    try {
      AggregateBasinDaily(session, agg, 1, 2000 + year);
    } catch (const TarnwellError& e) {
      if (e.File().find("Output/") != 0) fuzz::Broken("daily read-back error names no output file");
    }
    try {
      AggregateBasinBudget(session, agg, 1);
    } catch (const TarnwellError& e) {
      if (e.File().find("Output/") != 0) fuzz::Broken("budget read-back error names no output file");
    }
  }
  return 0;
}
