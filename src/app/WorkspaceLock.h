// One run at a time on a workspace: an exclusive lock (flock) on a lock file in Output/,
// held for the whole of a command or of a window's action. A second program that finds the
// workspace locked says who holds it instead of emptying the first one's files.
#pragma once

#include <memory>
#include <string>

namespace tarnwell {

class Workspace;

class WorkspaceLock {
 public:
  // What the directory must hold before anything is made there.
  enum class Needs {
    Workspace,  // a sub-basin list (input/子流域.in): a folder that is no workspace stays untouched
    Nothing,    // a workspace being made (the import)
  };
  // Takes the lock for `what` ("tarnwell run", "the window's run" ...), creating Output/ and
  // the lock file when missing. Throws FileError naming the lock file and its holder (its
  // process number, what it does and since when) when another program holds it, and, with
  // Needs::Workspace, naming the sub-basin list when the directory holds none (then nothing
  // is created).
  static std::unique_ptr<WorkspaceLock> Acquire(const Workspace& ws, const std::string& what,
                                                Needs needs = Needs::Workspace);
  ~WorkspaceLock();
  WorkspaceLock(const WorkspaceLock&) = delete;
  WorkspaceLock& operator=(const WorkspaceLock&) = delete;

 private:
  explicit WorkspaceLock(int fd) : fd_(fd) {}
  int fd_;
};

// The model path of the lock file.
inline const char* kLockFilePath = "..\\Output\\tarnwell.lock";

}  // namespace tarnwell
