#include "app/Workspace.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include <system_error>
#include <vector>

#include "model/Errors.h"

namespace tarnwell {

namespace fs = std::filesystem;

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x < 0x80) x = static_cast<unsigned char>(std::tolower(x));
    if (y < 0x80) y = static_cast<unsigned char>(std::tolower(y));
    if (x != y) return false;
  }
  return true;
}

bool Exists(const fs::path& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0;
}

}  // namespace

Workspace::Workspace(const fs::path& root) {
  std::error_code ec;
  fs::path abs = fs::absolute(root, ec);
  root_ = (ec ? root : abs).lexically_normal();
  std::string r = root_.string();
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  root_ = r;
  programDir_ = r + "/bin/";
}

fs::path Workspace::Normalize(const std::string& modelPath) const {
  std::string p = modelPath;
  for (char& c : p)
    if (c == '\\') c = '/';
  fs::path path = p;
  if (path.is_relative()) path = fs::path(programDir_) / path;
  // Resolve "." and ".." without touching the disk: W/bin need not exist.
  std::vector<std::string> parts;
  for (const auto& part : path) {
    std::string s = part.string();
    if (s == "/" || s.empty() || s == ".") continue;
    if (s == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(s);
  }
  fs::path out = "/";
  for (const auto& s : parts) out /= s;
  if (!p.empty() && (p.back() == '/')) out /= "";
  return out;
}

std::string Workspace::Resolve(const std::string& modelPath) const {
  fs::path normal = Normalize(modelPath);
  fs::path current = "/";
  for (const auto& part : normal) {
    std::string name = part.string();
    if (name == "/" || name.empty()) continue;
    fs::path exact = current / name;
    if (!Exists(exact)) {
      std::error_code ec;
      for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
        std::string candidate = it->path().filename().string();
        if (EqualNoCase(candidate, name)) {
          exact = current / candidate;
          break;
        }
      }
    }
    current = exact;
  }
  return current.string();
}

std::string Workspace::Display(const std::string& modelPath) const {
  std::string full = Normalize(modelPath).string();
  std::string root = root_.string();
  if (full.size() > root.size() && full.compare(0, root.size(), root) == 0 && full[root.size()] == '/')
    return full.substr(root.size() + 1);
  return full;
}

bool Workspace::DirectoryExists(const std::string& modelPath) const {
  std::error_code ec;
  return fs::is_directory(Resolve(modelPath), ec);
}

bool Workspace::FileExists(const std::string& modelPath) const {
  std::error_code ec;
  return fs::is_regular_file(Resolve(modelPath), ec);
}

bool Workspace::CreateDirectory(const std::string& modelPath, std::string* why) const {
  std::string target = Resolve(modelPath);
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  std::error_code ec;
  if (fs::is_directory(target, ec)) return true;
  if (::mkdir(target.c_str(), 0777) == 0) return true;
  if (why) *why = std::strerror(errno);
  return false;
}

std::string Workspace::ResolveForWriting(const std::string& modelPath) const {
  const std::string path = Resolve(modelPath);
  std::error_code ec;
  const fs::path realRoot = fs::weakly_canonical(root_, ec);
  // Where the write would really land: every link on the way followed (a file or directory
  // that does not exist yet lands where its parent really is).
  const fs::path real = fs::weakly_canonical(path, ec);
  if (ec) return path;  // the open that follows reports what is wrong with the path
  const std::string r = realRoot.string(), t = real.string();
  const bool inside = t.size() > r.size() && t.compare(0, r.size(), r) == 0 && (t[r.size()] == '/' || r == "/");
  if (!inside)
    throw FileError(Display(modelPath), 0,
                    "not written: it is reached through a symbolic link that leads outside the "
                    "workspace (to " +
                        t + ")");
  return path;
}

}  // namespace tarnwell
