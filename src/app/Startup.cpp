#include "app/Startup.h"

#include <filesystem>

#include "app/Session.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"

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
  if (count < 0) throw InputError(file.Name(), first.LineNumber(), "negative sub-basin count");
  s.ResizeSubBasins(0);
  for (int k = 1; k <= count; ++k) {
    FieldLine line = file.ReadFields();
    std::string name = line.Token(0);
    double K = line.Real(1);
    double x = line.Real(2);
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
  // The default files restore the current ones inside the parameters directory; a missing
  // default is not an error.
  const std::pair<const char*, const char*> copies[] = {
      {"..\\Parameters\\缺省路径文件.txt", "..\\Parameters\\当前路径文件.txt"},
      {"..\\Parameters\\缺省参数文件.txt", "..\\Parameters\\当前参数文件.txt"}};
  for (const auto& [from, to] : copies) {
    std::error_code ec;
    std::string src = session.ws.Resolve(s.ProgramDir + from);
    if (std::filesystem::is_regular_file(src, ec))
      std::filesystem::copy_file(src, session.ws.Resolve(s.ProgramDir + to),
                                 std::filesystem::copy_options::overwrite_existing, ec);
  }
  s.ParamFilePath = s.ProgramDir + kParamFilePath;
  session.ws.CreateDirectory(s.ProgramDir + "..\\Output");
  s.RunStarted = 0;
  s.BasinFilesCreated = 0;
  s.BrowseMode = 0;
  session.params.ErodibilityMode = 0;
  // The run marker must exist for the writers; a fresh workspace gets an empty one.
  const std::string mark = s.ProgramDir + kMarkFilePath;
  if (!session.ws.FileExists(mark)) CreateEmptyFile(session.ws.Resolve(mark), session.ws.Display(mark));
}

}  // namespace tarnwell
