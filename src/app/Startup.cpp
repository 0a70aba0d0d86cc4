#include "app/Startup.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "app/Session.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "results/Format.h"
#include "results/Statistic.h"

namespace tarnwell {

namespace {

// A file the path file names that cannot be opened: the message names the path file's line
// and quotes the name as the line gives it, blanks and all (a blank at the end of a line is
// part of the name, and invisible in an unquoted one).
[[noreturn]] void RethrowFromPathFile(const Session& session, const std::string& modelPath, const FileError& e) {
  const ModelState& s = session.state;
  for (std::size_t i = 1; i < s.InputPath.size(); ++i) {
    if (s.InputPath[i] != modelPath || s.InputPathLine[i] == 0) continue;
    const std::string shown = session.Display(modelPath);
    std::string why = e.what();
    if (why.compare(0, shown.size() + 2, shown + ": ") == 0) why = why.substr(shown.size() + 2);
    if (why.compare(0, 13, "cannot open: ") == 0) why = "cannot be opened: " + why.substr(13);
    // The line as given: what follows ..\input\<sub-basin>\ in the model path.
    const std::size_t input = modelPath.find("..\\input\\", s.ProgramDir.size());
    const std::size_t cut = input == std::string::npos ? std::string::npos : modelPath.find('\\', input + 9);
    const std::string name = cut == std::string::npos ? modelPath : modelPath.substr(cut + 1);
    const bool blanks = !name.empty() && (std::isspace(static_cast<unsigned char>(name.front())) ||
                                          std::isspace(static_cast<unsigned char>(name.back())));
    // The path file as it is on disk (the model's path spells its directory in lower case).
    const std::string pathFile = s.ProgramDir + kPathFilePath;
    const std::string pathFileShown =
        std::filesystem::path(session.ws.Resolve(pathFile)).lexically_relative(session.ws.Root()).string();
    throw FileError(
        pathFileShown.empty() || pathFileShown.compare(0, 2, "..") == 0 ? session.Display(pathFile) : pathFileShown,
        std::labs(s.InputPathLine[i]),
        (s.InputPathLine[i] < 0 ? "the line is missing, so the file is \"" : "\"" + name + "\" names \"") + shown +
            "\", which " + why + (blanks ? " (the blank at the start or end of the line is part of the name)" : ""));
  }
  throw e;
}

}  // namespace

TextReader Session::Open(const std::string& modelPath) const {
  try {
    return TextReader(ws.Resolve(modelPath), ws.Display(modelPath));
  } catch (const FileError& e) {
    RethrowFromPathFile(*this, modelPath, e);
  }
}

TextReader Session::OpenAt(const std::string& modelPath, const TextCursor& at) const {
  try {
    return TextReader::OpenAt(ws.Resolve(modelPath), ws.Display(modelPath), at);
  } catch (const FileError& e) {
    RethrowFromPathFile(*this, modelPath, e);
  }
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
      throw InputError(
          file.Name(), line.LineNumber(),
          "Muskingum K = " + line.Token(1) + " h and x = " + line.Token(2) + " (tokens 1 and 2) " + problem);
    // Grow the tables one sub-basin at a time: the ones read so far stay.
    s.SubBasinName.push_back(name);
    s.SubBasinK.push_back(K);
    s.SubBasinX.push_back(x);
    s.SubBasinFlow.emplace_back();
    s.SubBasinSediment.emplace_back();
    s.YearEndState.emplace_back();
    s.YearEndCells.emplace_back();
    s.SubBasinCount = k;
    session.listItems.push_back("子" + name);
  }
  session.listItems.push_back("全流域");
}

void LoadPaths(Session& session, int k) {
  ModelState& s = session.state;
  TextReader file = session.Open(s.ProgramDir + kPathFilePath);
  for (int i = 1; i <= 5; ++i) {
    const bool missing = file.AtEnd();
    s.InputPath[static_cast<std::size_t>(i)] = s.ProgramDir + "..\\input\\" +
                                               s.SubBasinName[static_cast<std::size_t>(k)] + "\\" + file.ReadLine();
    s.InputPathLine[static_cast<std::size_t>(i)] = missing ? -i : i;
  }
  // The season file is shared by all sub-basins; the fourth line is read and dropped.
  s.InputPath[4] = s.ProgramDir + kSeasonFilePath;
  s.InputPathLine[4] = 0;
}

void StartUpWorkspace(Session& session) {
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
  if (!session.ws.FileExists(mark)) CreateEmptyFile(session.ws.ResolveForWriting(mark), session.ws.Display(mark));
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
