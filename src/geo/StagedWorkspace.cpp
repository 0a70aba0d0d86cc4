#include "geo/StagedWorkspace.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/Startup.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell::geo {

namespace fs = std::filesystem;

namespace {

const char* const kReplaced[] = {"input", "Parameters"};

bool Present(const std::string& path, struct stat& st) { return ::lstat(path.c_str(), &st) == 0; }

// Whether a directory the import would replace is a workspace's.
bool HoldsItsWorkspaceFiles(const Workspace& ws, const std::string& name) {
  const std::string base = ws.ProgramDir() + "..\\" + name + "\\";
  if (name == "input") return ws.FileExists(base + "子流域.in");
  return ws.FileExists(base + "当前参数文件.txt") || ws.FileExists(base + "缺省参数文件.txt");
}

// Swaps two directories of one file system: at once where the system can, else by two
// renames put back when the second fails.
bool Exchange(const std::string& a, const std::string& b, std::string& why) {
  if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) {
    why = std::strerror(errno);
    return false;
  }
  const std::string aside = a + ".old";
  if (::rename(b.c_str(), aside.c_str()) != 0) {
    why = std::strerror(errno);
    return false;
  }
  if (::rename(a.c_str(), b.c_str()) != 0) {
    why = std::strerror(errno);
    (void)::rename(aside.c_str(), b.c_str());
    return false;
  }
  (void)::rename(aside.c_str(), a.c_str());  // else the old one stays aside: removed with the stage
  return true;
}

}  // namespace

StagedWorkspace::StagedWorkspace(const std::string& workspace, bool replace, const std::vector<std::string>& sources)
    : ws_(workspace) {
  const std::string root = ws_.Root().string();
  std::error_code ec;
  const fs::path real = fs::weakly_canonical(ws_.Root(), ec);
  if (ws_.Root() == "/" || (!ec && real == "/"))
    throw FileError(root, 0,
                    "is the root of the file system: not written (import into a directory of its own, as "
                    "/data/basin)");
  struct stat st {};
  const bool existed = ::stat(root.c_str(), &st) == 0;
  if (existed && !S_ISDIR(st.st_mode)) throw FileError(root, 0, "is not a directory: no workspace can be made there");

  const std::string inputDir = ws_.ResolveForWriting(ws_.ProgramDir() + "..\\input");
  const std::string paramDir = ws_.ResolveForWriting(ws_.ProgramDir() + "..\\Parameters");
  // Replacing input/ and Parameters/ must not delete what the import reads.
  for (const std::string& dir : {inputDir, paramDir}) {
    const std::string d = fs::weakly_canonical(dir, ec).string() + "/";
    for (const std::string& src : sources)
      if (!src.empty() && fs::weakly_canonical(src, ec).string().rfind(d, 0) == 0)
        throw InputError(src, 0,
                         "lies inside the workspace's " + fs::path(dir).filename().string() +
                             "/, which the import writes anew: keep the data to import elsewhere");
  }
  for (const char* name : kReplaced) {
    const std::string model = "..\\" + std::string(name);
    const std::string display = ws_.Display(model) + "/";
    const std::string path = ws_.Resolve(ws_.ProgramDir() + model);
    if (!Present(path, st)) continue;
    if (S_ISLNK(st.st_mode))
      throw FileError(display, 0, "is a symbolic link: the import replaces only a directory of the workspace itself");
    if (!S_ISDIR(st.st_mode)) throw FileError(display, 0, "is not a directory: not replaced (move it away)");
    if (fs::is_empty(path, ec)) continue;
    if (!replace)
      throw InputError(display, 0,
                       "the workspace holds this directory already; give --replace to replace input/ and Parameters/");
    if (!HoldsItsWorkspaceFiles(ws_, name))
      throw FileError(display, 0,
                      std::string("holds no ") +
                          (std::string(name) == "input" ? "sub-basin list (子流域.in)"
                                                        : "parameter file (当前参数文件.txt or 缺省参数文件.txt)") +
                          ", so it is no workspace's: not replaced (move it away, or import into another directory)");
  }

  if (!existed) {
    fs::create_directories(ws_.Root(), ec);
    if (ec) throw FileError(root, 0, "cannot create the workspace: " + ec.message());
    madeRoot_ = true;
  }
  madeOutput_ = !ws_.DirectoryExists(ws_.ProgramDir() + "..\\Output");
  try {
    lock_ = WorkspaceLock::Acquire(ws_, "tarnwell import", WorkspaceLock::Needs::Nothing);
    // What an import killed part way left (under the lock no other import is at work).
    std::vector<fs::path> left;
    for (fs::directory_iterator it(ws_.Root(), ec), end; !ec && it != end; it.increment(ec))
      if (it->path().filename().string().rfind(".tarnwell-import-", 0) == 0 && !it->is_symlink() && it->is_directory())
        left.push_back(it->path());
    for (const fs::path& p : left) fs::remove_all(p, ec);
    std::string pattern = root + "/.tarnwell-import-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
      throw FileError(root, 0, std::string("cannot make a directory for the new files: ") + std::strerror(errno));
    stage_ = pattern;
  } catch (...) {
    Clean();
    throw;
  }
}

StagedWorkspace::~StagedWorkspace() { Clean(); }

void StagedWorkspace::Clean() {
  std::error_code ec;
  if (!stage_.empty()) fs::remove_all(stage_, ec);
  stage_.clear();
  lock_.reset();
  if (committed_) return;
  if (madeRoot_) {
    fs::remove_all(ws_.Root(), ec);
  } else if (madeOutput_) {
    fs::remove(ws_.Resolve(ws_.ProgramDir() + kLockFilePath), ec);
    fs::remove(ws_.Resolve(ws_.ProgramDir() + "..\\Output"), ec);  // only when empty
  }
  madeRoot_ = madeOutput_ = false;
}

std::string StagedWorkspace::Staged(const std::string& rel) const { return stage_ + "/" + rel; }

void StagedWorkspace::Write(const std::string& rel, const std::vector<std::string>& lines) const {
  const fs::path path = Staged(rel);
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec) throw FileError(fs::path(rel).parent_path().string(), 0, "cannot create the directory: " + ec.message());
  WriteWholeFile(path.string(), rel, lines);
}

void StagedWorkspace::Commit() {
  // Both new directories exist, even when the import put nothing in one.
  for (const char* name : kReplaced) {
    std::error_code ec;
    fs::create_directories(Staged(name), ec);
    if (ec) throw FileError(name, 0, "cannot create the directory: " + ec.message());
  }
  std::vector<std::pair<std::string, std::string>> swapped;  // staged, in place
  auto undo = [&] {
    std::string ignored;
    for (auto it = swapped.rbegin(); it != swapped.rend(); ++it) {
      struct stat st {};
      if (Present(it->first, st)) {
        Exchange(it->first, it->second, ignored);
      } else {
        (void)::rename(it->second.c_str(), it->first.c_str());
      }
    }
  };
  for (const char* name : kReplaced) {
    const std::string model = "..\\" + std::string(name);
    const std::string target = ws_.ResolveForWriting(ws_.ProgramDir() + model);
    const std::string staged = Staged(name);
    struct stat st {};
    std::string why;
    bool ok = true;
    if (Present(target, st)) {
      ok = Exchange(staged, target, why);
    } else if (::rename(staged.c_str(), target.c_str()) != 0) {
      ok = false;
      why = std::strerror(errno);
    }
    if (!ok) {
      undo();
      throw FileError(ws_.Display(model) + "/", 0, "cannot be replaced: " + why + " (the workspace is as it was)");
    }
    swapped.emplace_back(staged, target);
  }
  committed_ = true;
  std::error_code ec;
  fs::remove_all(stage_, ec);  // the old input/ and Parameters/
  stage_.clear();
}

}  // namespace tarnwell::geo
