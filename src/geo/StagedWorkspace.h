// The workspace an import writes: the new input/ and Parameters/ are built beside the old
// ones, in a directory of their own inside the workspace, and only when every file is
// written are they swapped in (renamed), so that a failure at any point (a full disk, a
// file it cannot write) leaves the workspace as it was.
//
// Where an import may write, decided before anything is made:
//   - never the root of the file system, nor a path that is no directory;
//   - a directory that does not exist is made; one that holds other things gains input/,
//     Parameters/ and Output/ only;
//   - an input/ or Parameters/ that holds something is replaced only with --replace, and only
//     when it is a workspace's: input/ holds a sub-basin list (子流域.in), Parameters/ a
//     parameter file (当前参数文件.txt or 缺省参数文件.txt); a link there is not replaced;
//   - no file the import reads may lie inside the input/ or Parameters/ it replaces.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/Workspace.h"
#include "app/WorkspaceLock.h"

namespace tarnwell::geo {

class StagedWorkspace {
 public:
  // Checks the rules above for the workspace directory and the files the import reads, then
  // makes the workspace directory when missing, takes its lock and makes the staging
  // directory. Throws the model's errors naming the directory.
  StagedWorkspace(const std::string& workspace, bool replace, const std::vector<std::string>& sources);
  // Without Commit: the staging directory removed, and what this import made for its lock
  // (the workspace directory, Output/ and the lock file) when they were not there before.
  ~StagedWorkspace();
  StagedWorkspace(const StagedWorkspace&) = delete;
  StagedWorkspace& operator=(const StagedWorkspace&) = delete;

  const Workspace& Ws() const { return ws_; }
  // Where a file of the new workspace is written meanwhile; rel as "input/甲/dem.grd".
  std::string Staged(const std::string& rel) const;
  // Writes a file of the new workspace (GBK, CR LF); messages name it by rel.
  void Write(const std::string& rel, const std::vector<std::string>& lines) const;
  // Swaps the new input/ and Parameters/ in and removes the old ones.
  void Commit();

 private:
  void Clean();

  Workspace ws_;
  std::unique_ptr<WorkspaceLock> lock_;
  std::string stage_;        // the staging directory
  bool madeRoot_ = false;    // the workspace directory did not exist
  bool madeOutput_ = false;  // nor did its Output/
  bool committed_ = false;
};

}  // namespace tarnwell::geo
