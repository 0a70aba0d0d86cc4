// A careless user's workspace, at random: one input file changed as hands and editors change
// files, then `check` and `run`. The program ends by itself with status 0 or 1 (a message for a
// failure), and no output file holds nan, inf or a torn line. The seeds are fixed, so a
// failure repeats; set TARNWELL_MUTATIONS to try more.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "HardeningSupport.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

const char* const kFiles[] = {
    "input/子流域.in",       "input/RiverDaily.in",         "input/甲/dem.grd",
    "input/甲/lu.grd",       "input/乙/slope.grd",          "input/乙/met.txt",
    "input/甲/met.txt",      "Parameters/缺省参数文件.txt", "Parameters/缺省路径文件.txt",
    "Parameters/season.txt",
};

const char* const kExtremes[] = {"0",     "-1",  "1e308", "-1e308", "nan", "2147483648", "-2147483649", "1e-320",
                                 "99999", "1.5", "",      "#",      "\"",  "甲",         "0x10",        "1,5"};

// One change of the kind a hand or an editor makes.
std::string Mutate(const std::string& bytes, std::mt19937& gen) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at <= bytes.size();) {
    const std::size_t nl = bytes.find('\n', at);
    lines.push_back(bytes.substr(at, nl == std::string::npos ? std::string::npos : nl + 1 - at));
    if (nl == std::string::npos) break;
    at = nl + 1;
  }
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(gen); };
  auto joined = [&] {
    std::string all;
    for (const auto& s : lines) all += s;
    return all;
  };
  const std::size_t line = pick(std::min<std::size_t>(lines.size(), 12) + (lines.size() > 12 ? 1 : 0));
  const std::size_t where = line < 12 ? line : pick(lines.size());
  std::string& l = lines[where];
  switch (pick(8)) {
    case 0: lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(where)); break;
    case 1: lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(where), l); break;
    case 2: {  // a token replaced by an extreme
      std::vector<std::string> tokens = SplitFields(l);
      if (tokens.empty()) break;
      const std::string& t = tokens[pick(tokens.size())];
      const std::size_t at = l.find(t);
      l.replace(at, t.size(), kExtremes[pick(std::size(kExtremes))]);
      break;
    }
    case 3:  // a typo
      if (!l.empty()) l[pick(l.size())] = "x.-9 ,;\t#"[pick(9)];
      break;
    case 4: {  // random bytes over part of the file
      std::string all = joined();
      if (all.empty()) return all;
      for (int i = 0; i < 4; ++i) all[pick(all.size())] = static_cast<char>(pick(256));
      return all;
    }
    case 5: {  // cut short
      const std::string all = joined();
      return all.substr(0, pick(all.size() + 1));
    }
    case 6: return std::string();
    default: l = l.substr(0, l.size() / 2) + "\r\n"; break;  // a line cut in half
  }
  return joined();
}

TEST(Mutations, ACarelessUsersWorkspaceNeverCrashesHangsOrWritesNonsense) {
  const char* env = std::getenv("TARNWELL_MUTATIONS");
  const int count = env ? std::max(1, std::atoi(env)) : 30;
  test::TempDir dir;
  const std::string pristine = dir / "pristine";
  test::WriteTinyWorkspace(pristine, test::SmallBasins(2, 2, 3, 2));
  int failed = 0;
  for (int i = 0; i < count; ++i) {
    std::mt19937 gen(static_cast<unsigned>(1000 + i));
    const std::string file = kFiles[gen() % std::size(kFiles)];
    const std::string ws = dir / ("ws" + std::to_string(i % 4));
    fs::remove_all(ws);
    fs::copy(pristine, ws, fs::copy_options::recursive);
    test::WriteBytes(ws + "/" + file, Mutate(test::ReadBytes(pristine + "/" + file), gen));
    SCOPED_TRACE("mutation " + std::to_string(i) + " of " + file);
    for (const char* command : {"check", "run"}) {
      test::CliLimits limits;
      limits.timeout = 60;
      const test::CliResult r = test::RunCliWith({command, "--workspace", ws}, dir.Path().string(), limits);
      ASSERT_TRUE(r.exited) << command << " did not end by itself: " << r.err;
      ASSERT_TRUE(r.status == 0 || r.status == 1) << command << " ended with " << r.status << "\n" << r.err;
      if (r.status == 1) {
        ++failed;
        EXPECT_EQ(r.err.rfind("tarnwell: ", 0), 0u) << r.err;
        EXPECT_GT(r.err.size(), 20u) << r.err;
      }
    }
    EXPECT_TRUE(test::OutputFilesWhole(ws + "/Output"));
    for (const auto& [rel, bytes] : test::Snapshot(ws + "/Output"))
      EXPECT_FALSE(test::Has(bytes, "nan") || test::Has(bytes, "inf")) << rel;
  }
  std::printf("  %d mutations, %d refused runs or checks\n", count, failed);
}

}  // namespace
}  // namespace tarnwell
