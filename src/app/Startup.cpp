#include "app/Startup.h"

#include <filesystem>

#include "app/Session.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "results/Format.h"
#include "results/Statistic.h"

namespace tarnwell {

TextReader Session::Open(const std::string& modelPath) const {
  return TextReader(ws.Resolve(modelPath), ws.Display(modelPath));
}

TextReader Session::OpenAt(const std::string& modelPath, const TextCursor& at) const {
  return TextReader::OpenAt(ws.Resolve(modelPath), ws.Display(modelPath), at);
}

void LoadSubBasinList(Session& session, TextReader& file) {
  ModelState& s = session.state;
  session.listItems.clear();
  FieldLine first = file.ReadFields();
  int count = first.Integer(0);
  if (count < 1)
    throw InputError(file.Name(), first.LineNumber(),
                     "\"" + first.Token(0) + "\" (token 0): the sub-basin list must hold at least one sub-basin");
  s.ResizeSubBasins(0);
  for (int k = 1; k <= count; ++k) {
    FieldLine line = file.ReadFields();
    std::string name = line.Token(0);
    double K = line.Real(1);
    double x = line.Real(2);
    // The routing to the outlet divides by this; at zero or below its coefficients are
    // undefined (x = 1.5 with K = 24 h gives exactly zero).
    if (const std::string problem = MuskingumDenominatorProblem(K, x); !problem.empty())
      throw InputError(file.Name(), line.LineNumber(),
                       "Muskingum K = " + line.Token(1) + " h and x = " + line.Token(2) + " (tokens 1 and 2) " +
                           problem);
    // Grow the tables one sub-basin at a time: the ones read so far stay.
    s.SubBasinName.push_back(name);
    s.SubBasinK.push_back(K);
    s.SubBasinX.push_back(x);
    s.SubBasinFlow.emplace_back();
    s.SubBasinSediment.emplace_back();
    s.YearEndState.emplace_back();
    s.SubBasinCount = k;
    session.listItems.push_back("子" + name);
  }
  session.listItems.push_back("全流域");
}

void LoadPaths(Session& session, int k) {
  ModelState& s = session.state;
  TextReader file = session.Open(s.ProgramDir + kPathFilePath);
  for (int i = 1; i <= 5; ++i)
    s.InputPath[static_cast<std::size_t>(i)] =
        s.ProgramDir + "..\\input\\" + s.SubBasinName[static_cast<std::size_t>(k)] + "\\" +
        file.ReadLine();
  // The season file is shared by all sub-basins; the fourth line is read and dropped.
  s.InputPath[4] = s.ProgramDir + kSeasonFilePath;
}

void FormCreate(Session& session) {
  ModelState& s = session.state;
  s.ProgramDir = session.ws.ProgramDir();
  {
    TextReader list = session.Open(s.ProgramDir + kSubBasinListPath);
    LoadSubBasinList(session, list);
  }
  s.SelectedSubBasin = 1;
  s.BasinDailyLinesDone = 0;
  s.MetLinesRead = 0;
  s.BasinBudgetLinesDone = 0;
  CopyDefaultFiles(session);
  s.ParamFilePath = s.ProgramDir + kParamFilePath;
  const std::string output = s.ProgramDir + "..\\Output";
  std::string why;
  if (!session.ws.CreateDirectory(output, &why))
    throw FileError(session.Display(output), 0, "cannot create the directory: " + why);
  s.RunStarted = 0;
  s.BasinFilesCreated = 0;
  s.BrowseMode = 0;
  session.params.ErodibilityMode = 0;
  // The run marker must exist for the writers; a fresh workspace gets an empty one.
  const std::string mark = s.ProgramDir + kMarkFilePath;
  if (!session.ws.FileExists(mark))
    CreateEmptyFile(session.ws.ResolveForWriting(mark), session.ws.Display(mark));
}

std::string RunMarkPath(const ModelState& s) {
  return s.OutputDir == "..\\Output" ? std::string(kMarkFilePath) : s.OutputDir + "\\Mark.out";
}

void ReadStartUp(Session& session) {
  ModelState& s = session.state;
  s.ProgramDir = session.ws.ProgramDir();
  TextReader list = session.Open(s.ProgramDir + kSubBasinListPath);
  LoadSubBasinList(session, list);
  s.ParamFilePath = s.ProgramDir + kParamFilePath;
}

void CopyDefaultFiles(Session& session) {
  const ModelState& s = session.state;
  // The default files restore the current ones inside the parameters directory. A missing
  // default is not an error; a copy that fails is, since the run would then use another
  // parameter set than the default the user expects. Each copy replaces the current file
  // as a whole (a temporary file renamed into place), so a failure never leaves it cut.
  const std::pair<const char*, const char*> copies[] = {
      {"..\\Parameters\\缺省路径文件.txt", "..\\Parameters\\当前路径文件.txt"},
      {"..\\Parameters\\缺省参数文件.txt", "..\\Parameters\\当前参数文件.txt"}};
  for (const auto& [from, to] : copies) {
    std::error_code ec;
    const std::string src = session.ws.Resolve(s.ProgramDir + from);
    if (!std::filesystem::is_regular_file(src, ec)) continue;
    const std::string bytes = ReadFileBytes(src, session.Display(s.ProgramDir + from));
    const std::string target = s.ProgramDir + to;
    const std::string dst = session.ws.ResolveForWriting(target);
    if (std::filesystem::is_regular_file(dst, ec) && ReadFileBytes(dst, session.Display(target)) == bytes)
      continue;  // already the default: nothing to write (a read-only workspace still starts)
    ReplaceFile(dst, session.Display(target), bytes);
  }
}

}  // namespace tarnwell
