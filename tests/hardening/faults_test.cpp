// Faults of the machine during a run: an output directory nobody may write into, a full
// device, an input file gone between two years, a kill at any moment. The message names the
// file, and every file on disk holds whole lines and rows up to the last finished write.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include <sys/prctl.h>

#include "HardeningSupport.h"
#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::FileLines;
using test::OutputFilesWhole;

using test::CliWorkspace;
using test::Has;

TEST(Faults, OutputThatCannotBeWrittenThereOrLeadsOutOfTheWorkspace) {
  // The second sub-basin's directory is a plain file: the first sub-basin's year stays.
  {
    CliWorkspace ws(test::SmallBasins(2, 1));
    test::WriteBytes(ws.Out("流域2"), "not a directory\r\n");
    EXPECT_TRUE(test::Ends(ws.Cli({"run"}), 1, "Output/流域2"));
    EXPECT_EQ(FileLines(ws.Out("流域1/Daily.out")).size(), 2u + 366u);
    EXPECT_EQ(test::ReadBytes(ws.Out("流域2")), "not a directory\r\n");
    EXPECT_TRUE(OutputFilesWhole(ws.At("Output")));
  }
  // The output directory, a sub-basin file, the marker and a whole-basin file, each in turn a
  // link out of the workspace: refused naming it (the lock file first); nothing written there.
  for (const std::string rel : {"", "流域2/Daily_s.out", "Mark.out", "全流域/Daily.out"}) {
    SCOPED_TRACE(rel);
    CliWorkspace ws(test::SmallBasins(2, 1));
    const std::string outside = ws.dir / "outside";
    test::WriteBytes(outside + "/keep.txt", "keep me\r\n");
    if (rel.empty()) {
      fs::create_directory_symlink(outside, ws.At("Output"));
    } else {
      fs::create_directories(fs::path(ws.Out(rel)).parent_path());
      fs::create_symlink(outside + "/keep.txt", ws.Out(rel));
    }
    const test::CliResult r = ws.Cli({"run"});
    EXPECT_TRUE(test::Ends(r, 1, (rel.empty() ? "tarnwell.lock" : rel) + ": not written"));
    EXPECT_TRUE(Has(r.err, "outside the workspace")) << r.err;
    EXPECT_EQ(test::Snapshot(outside), (std::map<std::string, std::string>{{"keep.txt", "keep me\r\n"}}));
    EXPECT_TRUE(OutputFilesWhole(ws.At("Output")));
  }
  // A link that stays inside the workspace is written through as before.
  CliWorkspace ws(test::SmallBasins(1, 1));
  fs::create_directories(ws.Root() + "/elsewhere");
  fs::create_directories(ws.At("Output"));
  fs::create_directory_symlink(ws.Root() + "/elsewhere", ws.Out("流域1"));
  EXPECT_TRUE(test::Ends(ws.Cli({"run"}), 0));
  EXPECT_EQ(FileLines(ws.Root() + "/elsewhere/Daily.out").size(), 2u + 366u);
}

TEST(Faults, AWriteThatFailsPartWay) {
  // No file may grow beyond 40 kB, as on a device that fills up: the first sub-basin's daily
  // file reaches it during its first year. The append that fails is cut back, the message
  // names the file, and every file keeps whole lines.
  CliWorkspace ws(test::SmallBasins(2, 2));
  test::CliLimits full;
  full.fileSizeLimit = 40000;
  EXPECT_TRUE(test::Ends(ws.Cli({"run"}, full), 1, "Output/流域1/Daily.out: cannot write"));
  EXPECT_TRUE(OutputFilesWhole(ws.At("Output")));
  const std::size_t rows = FileLines(ws.Out("流域1/Daily.out")).size();
  EXPECT_GT(rows, 100u);
  EXPECT_LT(rows, 2u + 366u);
}

TEST(Faults, InputFileDeletedBetweenYears) {
  // The window's run, then the next-year step after the second sub-basin's land-use grid
  // was deleted: the first sub-basin's second year is written, then the error names the
  // file and the whole-basin step of that year does not run.
  test::TempDir dir;
  test::WriteTinyWorkspace(dir.Path().string(), test::SmallBasins(2, 2));
  Session session(dir.Path().string());
  StartUpWorkspace(session);
  ProgressObserver quiet;
  std::unique_ptr<DayEngine> engine = MakeDayEngine("reference", 1);
  Driver driver(session, quiet, *engine);
  driver.Run();
  const std::string basinDaily = dir / "Output/全流域/Daily.out";
  const std::size_t basinLines = FileLines(basinDaily).size();
  fs::remove(dir / "input/乙/lu.grd");
  try {
    driver.NextYear();
    FAIL() << "the next-year step ran without the land-use grid";
  } catch (const FileError& e) {
    EXPECT_TRUE(Has(e.what(), "input/乙/lu.grd")) << e.what();
  }
  EXPECT_EQ(FileLines(dir / "Output/流域1/Daily.out").size(), 2u * 2u + 366u + 365u);
  EXPECT_EQ(FileLines(basinDaily).size(), basinLines);
  EXPECT_TRUE(OutputFilesWhole(dir / "Output"));
}

// An append is killed while the kernel copies it into the file (as soon as the file starts
// to grow): the file then holds all of it, never a torn line or a part of the append.
TEST(Faults, AppendKilledWhileWritingLandsWhole) {
  const test::TempDir dir;
  const std::vector<std::string> rows(150000, std::string(60, '7'));
  const std::size_t whole = 7 + rows.size() * 62;
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  int caught = 0;
  for (int i = 0; i < 4; ++i) {
    const std::string path = dir / ("rows" + std::to_string(i) + ".out");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setpgid(0, 0);
      AppendLine(path, "rows.out", "first");
      AppendLines(path, "rows.out", rows);
      ::_exit(0);
    }
    std::error_code ec;
    std::uintmax_t seen = 0;
    while ((seen = fs::file_size(path, ec), ec || seen <= 7)) {
    }
    ::kill(pid, SIGKILL);
    for (int st = 0; ::waitpid(-pid, &st, 0) > 0 || errno == EINTR;) {
    }
    caught += seen < whole;
    EXPECT_EQ(test::ReadBytes(path).size(), whole) << path << ", killed at " << seen << " bytes";
  }
  std::printf("  %d of 4 appends were killed part-way through the copy\n", caught);
}

}  // namespace
}  // namespace tarnwell
