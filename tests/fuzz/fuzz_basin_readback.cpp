// The whole-basin step reads the sub-basin output files back. Any bytes in those files
// (a user's edit, a file from another version) give the system's own error naming the
// file, never a crash. The input is split at form feeds into Daily.out, Daily_s.out,
// Daily_f.out, Budget.out and Budget_s.out of the only sub-basin; two years are read.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "FuzzSupport.h"
#include "app/Session.h"
#include "model/ModelState.h"
#include "results/Statistic.h"

using namespace tarnwell;

namespace {

std::string ScratchRoot() {
  static std::string root = [] {
    std::string r = std::filesystem::temp_directory_path().string() + "/tarnwell-fuzz-readback-" +
                    std::to_string(::getpid());
    std::filesystem::create_directories(r + "/Output/流域1");
    std::filesystem::create_directories(r + "/Output/全流域");
    return r;
  }();
  return root;
}

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string root = ScratchRoot();
  const std::string bytes = fuzz::Bytes(data, size);
  const char* names[] = {"Daily.out", "Daily_s.out", "Daily_f.out", "Budget.out", "Budget_s.out"};
  std::size_t at = 0;
  for (int i = 0; i < 5; ++i) {
    std::size_t end = i == 4 ? std::string::npos : bytes.find('\f', at);
    std::string part = at <= bytes.size() ? bytes.substr(at, end == std::string::npos ? std::string::npos : end - at) : "";
    Put(root + "/Output/流域1/" + names[i], part);
    at = end == std::string::npos ? bytes.size() + 1 : end + 1;
    Put(root + "/Output/全流域/" + names[i], "");
  }
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
