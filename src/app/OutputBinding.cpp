#include "app/OutputBinding.h"

#include "app/Startup.h"
#include "model/Errors.h"

namespace tarnwell {

namespace {

BasinFiles BasinFilesOf(const Session& session, int count) {
  const ModelState& s = session.state;
  BasinFiles files;
  for (int k = 1; k <= count; ++k) files.subBasins.push_back(BindYearFiles(session, SubBasinOutputDir(s, k)));
  files.basin = BindYearFiles(session, BasinOutputDir(s));
  return files;
}

}  // namespace

OutputFile BindFile(const Session& session, const std::string& modelPath) {
  return OutputFile{session.ws.ResolveForWriting(modelPath), session.ws.Display(modelPath)};
}

YearFiles BindYearFiles(const Session& session, const std::string& dir) {
  return YearFiles{BindFile(session, dir + "\\Daily.out"), BindFile(session, dir + "\\Daily_s.out"),
                   BindFile(session, dir + "\\Budget.out"), BindFile(session, dir + "\\Budget_s.out"),
                   BindFile(session, dir + "\\Daily_f.out")};
}

void AggregateBasin(Session& session, BasinAggregation& agg, int n) {
  ModelState& s = session.state;
  const std::string dir = BasinOutputDir(s);
  if (!session.ws.CreateDirectory(dir)) throw FileError(session.Display(dir), 0, "cannot create the directory");
  if (!agg.RiverFile) agg.RiverFile.emplace(session.Open(s.ProgramDir + kRiverFilePath));
  AggregateBasin(s, BasinFilesOf(session, n), agg, n);
}

void AggregateBasinDaily(Session& session, BasinAggregation& agg, int count, int year) {
  AggregateBasinDaily(session.state, BasinFilesOf(session, count), agg, count, year);
}

void AggregateBasinBudget(Session& session, BasinAggregation& agg, int count) {
  AggregateBasinBudget(session.state, BasinFilesOf(session, count), agg, count);
}

StoredResults StoredResultsOf(const Session& session) {
  StoredResults r;
  r.programDir = session.state.ProgramDir;
  r.subBasinCount = session.state.SubBasinCount;
  r.markFile = session.state.ProgramDir + kMarkFilePath;
  r.exists = [&session](const std::string& path) { return session.ws.FileExists(path); };
  r.open = [&session](const std::string& path) { return session.Open(path); };
  return r;
}

}  // namespace tarnwell
