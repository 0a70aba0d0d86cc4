// Shared by the fault and bad-value tests: a command-line run in a child process (killed
// on request), and the check that every output file on disk holds whole CR LF lines and
// whole rows.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TinyWorkspace.h"
#include "inputs/TextFile.h"

namespace tarnwell::test {

struct CliResult {
  bool exited = false;  // ended by itself (else: killed)
  int status = -1;      // exit status when exited
  std::string out, err;
};

// How a command-line run is started: limits of the machine it meets and when it is ended.
struct CliLimits {
  double killAfter = -1;   // SIGKILL at this many seconds if still running
  double timeout = 120;    // a run still going then is killed: a hang shows as not exited
  long fileSizeLimit = 0;  // > 0: no file may grow beyond it, as on a full device
  long addressSpace = 0;   // > 0: the run's memory limit in bytes (a cluster job's)
  int uid = -1;            // >= 0: run as this user (the tests run as root)
};

// Runs the tarnwell program with args; its output goes to files under scratch. A writer the
// run had started is waited for after a kill, as the disk only settles when it has finished.
inline CliResult RunCliWith(const std::vector<std::string>& args, const std::string& scratch, const CliLimits& limits) {
  const std::string outPath = scratch + "/cli.out", errPath = scratch + "/cli.err";
  std::vector<std::string> argv{TARNWELL_CLI};
  argv.insert(argv.end(), args.begin(), args.end());
  // Orphans of the run (its writers) come back to this process and can be waited for.
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    int o = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    int e = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (o < 0 || e < 0) ::_exit(126);
    ::dup2(o, 1);
    ::dup2(e, 2);
    if (limits.fileSizeLimit > 0) {
      ::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of the signal ending the run
      const rlimit limit{static_cast<rlim_t>(limits.fileSizeLimit), static_cast<rlim_t>(limits.fileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (limits.addressSpace > 0) {
      const rlimit limit{static_cast<rlim_t>(limits.addressSpace), static_cast<rlim_t>(limits.addressSpace)};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    if (limits.uid >= 0 &&
        (::setgid(static_cast<gid_t>(limits.uid)) != 0 || ::setuid(static_cast<uid_t>(limits.uid)) != 0))
      ::_exit(125);
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    ::execv(raw[0], raw.data());
    ::_exit(127);
  }
  CliResult r;
  if (pid < 0) return r;
  const auto start = std::chrono::steady_clock::now();
  const double end = limits.killAfter >= 0 ? limits.killAfter : limits.timeout;
  int st = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &st, WNOHANG);
    if (done == pid) break;
    if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= end) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &st, 0);
      break;
    }
    ::usleep(2000);
  }
  for (int other = 0; ::waitpid(-pid, &other, 0) > 0 || errno == EINTR;) {
  }
  r.exited = WIFEXITED(st);
  r.status = r.exited ? WEXITSTATUS(st) : -1;
  r.out = ReadBytes(outPath);
  r.err = ReadBytes(errPath);
  return r;
}

inline CliResult RunCli(const std::vector<std::string>& args, const std::string& scratch, double killAfter = -1,
                        long fileSizeLimit = 0) {
  CliLimits limits;
  limits.killAfter = killAfter;
  limits.fileSizeLimit = fileSizeLimit;
  return RunCliWith(args, scratch, limits);
}

// A command that ended by itself with `status`, its standard error saying `part`.
inline ::testing::AssertionResult Ends(const CliResult& r, int status, const std::string& part = "") {
  if (r.exited && r.status == status && r.err.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << (r.exited ? "status " : "killed, status ") << r.status << ", not " << status
                                       << " saying \"" << part << "\":\n"
                                       << r.out << r.err;
}

// Every output file of a workspace with its bytes, by its path from the workspace; the lock
// and the saved states left out.
inline std::map<std::string, std::string> OutputFiles(const std::string& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root + "/Output")) {
    const std::string rel = fs::relative(e.path(), root).string();
    if (e.is_regular_file() && e.path().filename() != "tarnwell.lock" && rel.rfind("Output/state", 0) != 0)
      files[rel] = ReadBytes(e.path().string());
  }
  return files;
}

// Every regular file under dir (symbolic links are not followed): empty or ending on
// CR LF, with no bare CR or LF; in each file, the rows that begin with the same kind of
// label (a day "MM-DD-YYYY", a month "MM-YYYY", a year row "YYYY全年") all have the
// number of tokens that the first such row has.
inline ::testing::AssertionResult OutputFilesWhole(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::exists(dir, ec)) return ::testing::AssertionSuccess();
  for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (ec) break;
    if (it->is_symlink() || !it->is_regular_file()) continue;
    const std::string path = it->path().string();
    const std::string bytes = ReadBytes(path);
    if (!bytes.empty() && (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0))
      return ::testing::AssertionFailure() << path << " does not end on CR LF";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
        return ::testing::AssertionFailure() << path << ": bare LF at byte " << i;
      if (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n'))
        return ::testing::AssertionFailure() << path << ": bare CR at byte " << i;
    }
    std::map<int, std::size_t> widths;
    TextReader r = TextReader::FromString(bytes, path);
    while (!r.AtEnd()) {
      std::vector<std::string> tokens = SplitFields(r.ReadLine());
      if (tokens.empty()) continue;
      const std::string& t = tokens[0];
      int kind = 0;
      if (t.size() == 10 && t[2] == '-' && t[5] == '-') kind = 1;
      else if (t.size() == 7 && t[2] == '-') kind = 2;
      else if (t.size() > 6 && t.compare(t.size() - 6, 6, "全年") == 0) kind = 3;
      if (kind == 0) continue;
      auto [at, fresh] = widths.emplace(kind, tokens.size());
      if (!fresh && at->second != tokens.size())
        return ::testing::AssertionFailure()
               << path << " line " << r.LineNumber() << ": " << tokens.size() << " tokens, earlier rows " << at->second;
    }
  }
  return ::testing::AssertionSuccess();
}

// Lines of a file (without their CR LF).
inline std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  TextReader r = TextReader::FromString(ReadBytes(path), path);
  while (!r.AtEnd()) lines.push_back(r.ReadLine());
  return lines;
}

// Sub-basins "甲", "乙", ... of rows x cols cells with a little relief, over `years`
// calendar years from 2000.
inline TinyWorkspace SmallBasins(int subBasins, int years, int rows = 2, int cols = 2) {
  static const char* names[] = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
  TinyWorkspace w;
  w.simYears = years;
  w.subBasins.clear();
  for (int k = 0; k < subBasins; ++k) {
    TinySubBasin b;
    b.name = k < 10 ? names[k] : "子" + std::to_string(k + 1);
    b.K = 12;
    b.x = 0.2;
    b.rows = rows;
    b.cols = cols;
    b.elevation = [k](int r, int c) { return 400.0 + 15 * r + 7 * c + k; };
    b.landUse = [](int r, int c) { return (r + c) % 3 == 0 ? 31.0 : 21.0; };
    b.years.clear();
    for (int y = 0; y < years; ++y) {
      TinyYear ty;
      ty.year = 2000 + y;
      ty.precip = [y](int d) { return (d * 7 + y) % 11 == 0 ? 25.0 : 1.5; };
      ty.temp = [](int d) { return -4.0 + 22.0 * (d < 200 ? d : 400 - d) / 200.0; };
      ty.flow = [](int d) { return 2.0 + (d % 30) * 0.1; };
      ty.sedConc = [](int d) { return 0.01 * (d % 5); };
      b.years.push_back(ty);
    }
    w.subBasins.push_back(b);
  }
  return w;
}

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every entry under root by its relative path: a file's bytes, a link's target, "dir" for a
// directory. The lock file is left out: each command writes its holder line into it.
inline std::map<std::string, std::string> Snapshot(const std::string& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> all;
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(root, ec))) return all;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string rel = fs::relative(it->path(), root).string();
    if (it->path().filename() == "tarnwell.lock") continue;
    if (it->is_symlink()) all[rel] = "-> " + fs::read_symlink(it->path()).string();
    else if (it->is_directory()) all[rel] = "dir";
    else all[rel] = ReadBytes(it->path().string());
  }
  return all;
}

inline ::testing::AssertionResult Unchanged(const std::map<std::string, std::string>& before, const std::string& root) {
  const std::map<std::string, std::string> now = Snapshot(root);
  for (const auto& [rel, bytes] : before) {
    auto at = now.find(rel);
    if (at == now.end()) return ::testing::AssertionFailure() << rel << " is gone";
    if (at->second != bytes) return ::testing::AssertionFailure() << rel << " changed";
  }
  for (const auto& [rel, bytes] : now)
    if (!before.count(rel)) return ::testing::AssertionFailure() << rel << " was made";
  return ::testing::AssertionSuccess();
}

// A workspace at dir/ws met by the command line as a user meets it.
struct CliWorkspace {
  CliWorkspace() = default;
  explicit CliWorkspace(const TinyWorkspace& w) { WriteTinyWorkspace(Root(), w); }
  std::string Root() const { return dir / "ws"; }
  std::string At(const std::string& rel) const { return Root() + "/" + rel; }
  std::string Out(const std::string& rel) const { return At("Output/" + rel); }
  // A command, on the workspace unless it names one; Raw runs it as given.
  CliResult Cli(std::vector<std::string> args, const CliLimits& limits = {}) const {
    if (std::find(args.begin(), args.end(), "--workspace") == args.end()) {
      args.push_back("--workspace");
      args.push_back(Root());
    }
    return Raw(args, limits);
  }
  CliResult Raw(const std::vector<std::string>& args, const CliLimits& limits = {}) const {
    return RunCliWith(args, dir.Path().string(), limits);
  }
  // The last line of standard error after a failing command (exit status 1).
  std::string Fails(std::vector<std::string> args, const CliLimits& limits = {}) const {
    const CliResult r = Cli(std::move(args), limits);
    EXPECT_TRUE(r.exited) << "the program did not end by itself";
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    std::string err = r.err;
    while (!err.empty() && err.back() == '\n') err.pop_back();
    const std::size_t nl = err.rfind('\n');
    return nl == std::string::npos ? err : err.substr(nl + 1);
  }
  std::string Fails(const std::string& command, const CliLimits& limits = {}) const {
    return Fails(std::vector<std::string>{command}, limits);
  }
  // Writes the lines of a workspace file in GBK with CR LF.
  void Write(const std::string& rel, const std::vector<std::string>& lines) const {
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    WriteGbkLines(At(rel), all);
  }
  TempDir dir;
};

}  // namespace tarnwell::test
