// Start-up without the window: the program directory, the sub-basin list, the counters,
// the default files copied over the current ones, the output directory and the marker.
#pragma once

#include <string>

namespace tarnwell {

struct Session;
struct ModelState;
class TextReader;

// Sub-basin count, names and Muskingum K and x; each sub-basin is stored (and its list
// item appended) as soon as its line converts.
void LoadSubBasinList(Session& session, TextReader& file);
// The five input paths of sub-basin k from the current path file; entry 4 is always the
// shared season file.
void LoadPaths(Session& session, int k);
// What start-up reads, without writing anything: the program directory, the sub-basin list
// and the parameter file's path (the other processes of a run spread over machines, which
// rank 0 has started up).
void ReadStartUp(Session& session);
// Copies the default path and parameter files over the current ones.
void CopyDefaultFiles(Session& session);
// The whole start-up sequence. Throws when the sub-basin list cannot be read (the rest
// of start-up is then skipped, as the window would after showing the error).
void StartUpWorkspace(Session& session);

// Model paths of the shared files.
inline const char* kSubBasinListPath = "..\\input\\子流域.in";
inline const char* kPathFilePath = "..\\parameters\\当前路径文件.txt";
inline const char* kParamFilePath = "..\\Parameters\\当前参数文件.txt";
inline const char* kSeasonFilePath = "..\\Parameters\\season.txt";
inline const char* kRiverFilePath = "..\\Input\\RiverDaily.in";
inline const char* kMarkFilePath = "..\\output\\Mark.out";
// The run marker of a run whose output directories lie under s.OutputDir (from ProgramDir).
std::string RunMarkPath(const ModelState& s);

}  // namespace tarnwell
