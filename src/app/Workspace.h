// The workspace W: input/, Parameters/, Output/ beside the program directory W/bin/.
// Every data path of the model is written as the program directory followed by a path
// beginning "..\", in the model's own spelling; this class turns such a path into a file
// on disk. Both "\" and "/" separate components, and a component that does not exist as
// spelled is matched without regard to case ("Output" and "output" are one directory).
#pragma once

#include <filesystem>
#include <string>

namespace tarnwell {

class Workspace {
 public:
  explicit Workspace(const std::filesystem::path& root);

  // W + "/bin/": the base every "..\X" path is written against.
  const std::string& ProgramDir() const { return programDir_; }
  const std::filesystem::path& Root() const { return root_; }

  // The file on disk that a model path names (existing components matched by case).
  std::string Resolve(const std::string& modelPath) const;
  // How messages name the file: relative to the workspace, with "/".
  std::string Display(const std::string& modelPath) const;

  // The file on disk that a model path names, for writing: refused (FileError) when it, or
  // a directory on the way, is a symbolic link that leads outside the workspace. Nothing the
  // program writes ever lands outside its workspace.
  std::string ResolveForWriting(const std::string& modelPath) const;

  bool DirectoryExists(const std::string& modelPath) const;
  // Creates one directory level (as spelled, unless a case variant exists). Returns false
  // when it could not be created, with the reason in *why when given.
  bool CreateDirectory(const std::string& modelPath, std::string* why = nullptr) const;
  bool FileExists(const std::string& modelPath) const;

 private:
  std::filesystem::path Normalize(const std::string& modelPath) const;
  std::filesystem::path root_;
  std::string programDir_;
};

}  // namespace tarnwell
