// Helpers shared by the test programs: scratch workspaces, file bytes, golden files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "inputs/TextFile.h"

namespace tarnwell::test {

// A directory under the system's temporary directory, removed when the test ends.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("tarnwell-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }
  std::string operator/(const std::string& rel) const { return (path_ / rel).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// Writes UTF-8 text as GBK with CR LF line ends, as the model's own files are.
inline void WriteGbkLines(const std::string& path, const std::string& utf8WithLf) {
  std::string crlf;
  for (char c : utf8WithLf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  WriteBytes(path, EncodeGbk(crlf));
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Compares a file with a golden file byte for byte; on a difference reports the first
// differing line and column.
inline ::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  std::size_t i = 0;
  while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
  const std::size_t start = i == 0 ? 0 : expected.rfind('\n', i - 1) + 1;  // 0 when there is none
  const auto line = 1 + std::count(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(i), '\n');
  auto lineAt = [&](const std::string& s) { return s.substr(start, s.find('\n', start) - start); };
  return ::testing::AssertionFailure() << "first difference at line " << line << ", column " << i - start + 1
                                       << "\n expected: [" << lineAt(expected) << "]\n   actual: [" << lineAt(actual)
                                       << "]";
}

inline ::testing::AssertionResult SameAsGolden(const std::string& goldenName, const std::string& actualPath) {
  std::string golden = std::string(TARNWELL_TEST_DATA) + "/golden/" + goldenName;
  if (!std::filesystem::exists(golden)) return ::testing::AssertionFailure() << "golden file missing: " << golden;
  return SameBytes(ReadBytes(golden), ReadBytes(actualPath));
}

}  // namespace tarnwell::test

namespace tarnwell::test {

// A complete parameter file, as the parameter dialog writes it (UTF-8 here; write it
// with WriteGbkLines). Values are plausible for a temperate basin.
inline std::string ParameterFileText() {
  return "纬度 30.5\n"
         "蒸发折算系数 1.0\n"
         "模拟年数 2\n"
         "各层土壤蒸发权重 0.5 0.3 0.2\n"
         "蒸散发可利用参数 2.0\n"
         "大水面蒸发系数 1.1\n"
         "土壤蒸发参数 0.3\n"
         "蒸腾亏空系数 0.5\n"
         "自由水出流系数 0.3 0.2 0.05\n"
         "自由水出流阈值 10 5\n"
         "土壤蓄水Wm分布曲线指数 0.3\n"
         "壤中流调蓄系数 0.8\n"
         "地下水调蓄系数 0.95\n"
         "包气带积水向地下水输送参数 0.1 0.2 0.5\n"
         "日正温融雪量 3.0\n"
         "日积雪蒸发量 0.1\n"
         "土壤优先流空隙率 0.1\n"
         "日负温土壤水冻结量 1.0\n"
         "降水积雪气温 0.0\n"
         "土壤水冻结气温 -2.0\n"
         "土壤饱和含水量 0.45\n"
         "田间持水量 0.3\n"
         "凋萎含水量 0.1\n"
         "土壤层包气带厚度 100 300 600\n"
         "上土层排水率 0.1\n"
         "可侵蚀性 0.25\n"
         "紫色土 0.31 黄壤性土 0.32 黄棕壤 0.33 酸性棕壤 0.34\n"
         "暗棕壤 0.35 中性粗骨土 0.36 高山草甸土 0.37 高山寒漠土 0.38\n"
         "泥沙库初始沙量 100\n"
         "泥沙库冲刷指数 0.1\n"
         "泥沙库沉降指数 0.3\n"
         "临界沉积流速 0.2\n"
         "临界冲刷流速 0.5\n"
         "泥沙库固结系数 0.01\n";
}

}  // namespace tarnwell::test

// A command-line run of the program in a child process (killed on request), and what the
// files it leaves hold: every output file whole CR LF lines and whole rows.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <vector>

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

}  // namespace tarnwell::test

namespace tarnwell::test {

// The message of the exception f() throws; a failure (and "") when it throws none.
template <class F>
std::string ThrownMessage(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  ADD_FAILURE() << "nothing thrown";
  return "";
}

}  // namespace tarnwell::test
