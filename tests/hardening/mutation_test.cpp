// A careless user's workspace, at random: one input file changed as hands and editors change
// files, then the check and `run`. The program ends by itself with status 0 or 1 (a message for a
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

// The files a hand edits, one of each reader.
const char* const kFiles[] = {"input/子流域.in",
                              "input/RiverDaily.in",
                              "input/甲/dem.grd",
                              "input/甲/lu.grd",
                              "input/乙/slope.grd",
                              "input/乙/met.txt",
                              "Parameters/缺省参数文件.txt",
                              "Parameters/缺省路径文件.txt",
                              "Parameters/season.txt"};

const char* const kExtremes[] = {"0",     "-1",  "1e308", "-1e308", "nan", "2147483648", "-2147483649", "1e-320",
                                 "99999", "1.5", "",      "#",      "\"",  "甲",         "0x10",        "1,5"};

// One change of the kind a hand or an editor makes, mostly in the first lines (the headers).
std::string Mutate(std::string all, std::mt19937& gen) {
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(gen); };
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t end = std::min(all.find('\n', at), all.size() - 1) + 1;
    lines.push_back(all.substr(at, end - at));
    at = end;
  }
  if (lines.empty()) return all;
  const std::size_t where = pick(4) ? pick(std::min<std::size_t>(lines.size(), 12)) : pick(lines.size());
  std::string& l = lines[where];
  const std::vector<std::string> tokens = SplitFields(l);
  switch (pick(7)) {
    case 0: lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(where)); break;
    case 1: lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(where), l); break;
    case 2:  // a token replaced by an extreme
      if (!tokens.empty()) {
        const std::string& t = tokens[pick(tokens.size())];
        l.replace(l.find(t), t.size(), kExtremes[pick(std::size(kExtremes))]);
      }
      break;
    case 3: l[pick(l.size())] = "x.-9 ,;\t#"[pick(9)]; break;  // a typo
    case 4:                                                    // random bytes
      for (int i = 0; i < 4; ++i) all[pick(all.size())] = static_cast<char>(pick(256));
      return all;
    case 5: return all.substr(0, pick(all.size() + 1));      // cut short, or emptied
    default: l = l.substr(0, l.size() / 2) + "\r\n"; break;  // a line cut in half
  }
  std::string joined;
  for (const auto& s : lines) joined += s;
  return joined;
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
    // The check in this process (a crash or a hang would be this program's), the run as a
    // user starts it.
    const std::string refused = test::CheckMessage(ws);
    test::CliLimits limits;
    limits.timeout = 60;
    const test::CliResult r = test::RunCliWith({"run", "--workspace", ws}, dir.Path().string(), limits);
    ASSERT_TRUE(r.exited && (r.status == 0 || r.status == 1)) << "the run ended with " << r.status << r.err;
    if (!refused.empty()) {
      EXPECT_EQ(r.err, "tarnwell: " + refused + "\n");
    }
    failed += r.status;
    if (r.status == 1) {
      EXPECT_TRUE(r.err.starts_with("tarnwell: ") && r.err.size() > 20) << r.err;
    }
    EXPECT_TRUE(test::OutputFilesWhole(ws + "/Output"));
    for (const auto& [rel, bytes] : test::Snapshot(ws + "/Output"))
      EXPECT_FALSE(test::Has(bytes, "nan") || test::Has(bytes, "inf")) << rel;
  }
  std::printf("  %d mutations, %d refused\n", count, failed);
}

}  // namespace
}  // namespace tarnwell
