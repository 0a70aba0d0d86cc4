#include "app/WorkspaceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "app/Startup.h"
#include "app/Workspace.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell {

namespace {

std::string Now() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  return buf;
}

// What the holder wrote into the lock file: one line.
std::string Holder(int fd) {
  char buf[512];
  const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  if (n <= 0) return "another program";
  std::string text(buf, static_cast<std::size_t>(n));
  const std::size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace

std::unique_ptr<WorkspaceLock> WorkspaceLock::Acquire(const Workspace& ws, const std::string& what, Needs needs) {
  // A folder that is no workspace (a mistyped --workspace) is left exactly as it was: no
  // Output/, no lock file.
  const std::string list = ws.ProgramDir() + kSubBasinListPath;
  if (needs == Needs::Workspace && !ws.FileExists(list)) {
    struct stat st {};
    if (::lstat(ws.Resolve(list).c_str(), &st) != 0)
      throw FileError(ws.Display(list), 0,
                      "cannot open: " + std::string(std::strerror(errno)) + " (" + ws.Root().string() +
                          " holds no workspace: nothing was written there)");
    TextReader reader(ws.Resolve(list), ws.Display(list));  // says what the list is instead
  }
  const std::string output = ws.ProgramDir() + "..\\Output";
  std::string why;
  if (!ws.CreateDirectory(output, &why)) throw FileError(ws.Display(output), 0, "cannot create the directory: " + why);
  const std::string display = ws.Display(kLockFilePath);
  const std::string path = ws.ResolveForWriting(ws.ProgramDir() + kLockFilePath);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    // A read-only workspace can still be read: a program that cannot take the lock because
    // it cannot write there writes nothing either, so it goes on without it.
    if (errno == EACCES || errno == EROFS || errno == EPERM)
      return std::unique_ptr<WorkspaceLock>(new WorkspaceLock(-1));
    throw FileError(display, 0, std::string("cannot open the lock file: ") + std::strerror(errno));
  }
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const int reason = errno;
    const std::string holder = reason == EWOULDBLOCK ? Holder(fd) : std::string();
    ::close(fd);
    if (reason != EWOULDBLOCK)
      throw FileError(display, 0, std::string("cannot lock the workspace: ") + std::strerror(reason));
    throw FileError(display, 0,
                    "the workspace is in use by " + holder +
                        "; wait until it has finished (two runs on one workspace would "
                        "overwrite each other's files)");
  }
  const std::string line = "process " + std::to_string(::getpid()) + " (" + what + ", since " + Now() + ")\r\n";
  if (::ftruncate(fd, 0) == 0) (void)::pwrite(fd, line.data(), line.size(), 0);
  return std::unique_ptr<WorkspaceLock>(new WorkspaceLock(fd));
}

WorkspaceLock::~WorkspaceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace tarnwell
