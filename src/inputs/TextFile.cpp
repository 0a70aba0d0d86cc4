#include "inputs/TextFile.h"

#include <fcntl.h>
#include <iconv.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

#include "model/Errors.h"
#include "model/Observation.h"

namespace tarnwell {

namespace {

bool IsSeparator(char c) { return c == '\t' || c == ' ' || c == ',' || c == ';'; }

std::string Iconv(std::string_view in, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  out.resize(in.size() * 2 + 16);
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  while (inLeft > 0) {
    size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (r != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) {
      size_t used = static_cast<size_t>(outPtr - out.data());
      out.resize(out.size() * 2);
      outPtr = out.data() + used;
      outLeft = out.size() - used;
    } else {
      // A byte that is not GBK (or a character GBK lacks): keep a '?' and go on, so a
      // damaged byte shows up in the token that holds it instead of losing the line.
      if (outLeft == 0) {
        size_t used = static_cast<size_t>(outPtr - out.data());
        out.resize(out.size() * 2);
        outPtr = out.data() + used;
        outLeft = out.size() - used;
      }
      *outPtr++ = '?';
      --outLeft;
      ++inPtr;
      --inLeft;
    }
  }
  out.resize(static_cast<size_t>(outPtr - out.data()));
  iconv_close(cd);
  return out;
}

std::string ErrnoText() { return std::strerror(errno); }

// What keeps a path from being read as an input file, from what open or stat said.
std::string ErrnoProblem(int error) {
  if (error == ENOENT) return "it does not exist";
  if (error == ENOTDIR) return "it does not exist (a part of its path is not a directory)";
  return std::strerror(error);
}

std::string ModeProblem(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a directory";
  // A device, a pipe or a socket may never end (/dev/zero) or block: only regular files are input.
  if (!S_ISREG(mode)) return "not a regular file (a device, pipe or socket)";
  return "";
}

}  // namespace

std::string InputFileProblem(const std::string& fsPath) {
  if (fsPath.empty()) return "no file named (the name is empty)";
  struct stat st {};
  if (::stat(fsPath.c_str(), &st) != 0) return ErrnoProblem(errno);
  return ModeProblem(st.st_mode);
}

void RequireInputFile(const std::string& fsPath, const std::string& displayName) {
  const std::string problem = InputFileProblem(fsPath);
  if (!problem.empty()) throw FileError(displayName, 0, "cannot open: " + problem);
}

bool FieldScanner::Next(std::string_view line, std::size_t& pos, std::string_view& token) {
  const std::size_t n = line.size();
  std::size_t i = pos;
  while (i < n && (IsSeparator(line[i]) || line[i] == '#')) ++i;
  if (i >= n) {
    pos = n;
    return false;
  }
  const std::size_t start = i;
  while (i < n && !IsSeparator(line[i])) {
    const char c = line[i];
    if (c == '"' || c == '\'') {
      // A quoted stretch: separators inside do not split; the quotes stay in the token.
      const std::size_t close = line.find(c, i + 1);
      i = close == std::string_view::npos ? n : close + 1;
    } else {
      ++i;
    }
  }
  token = line.substr(start, i - start);
  pos = i;
  return true;
}

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> tokens;
  FieldScanner scanner(line);
  for (std::string_view t; scanner.Next(t);) tokens.emplace_back(t);
  return tokens;
}

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    // Model files are mostly ASCII: eight bytes at a time while no high bit is set.
    std::uint64_t word;
    while (i + 8 <= s.size() && (std::memcpy(&word, s.data() + i, 8), (word & 0x8080808080808080ULL) == 0)) i += 8;
    if (i >= s.size()) break;
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra;
    unsigned int cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms and surrogates are not UTF-8.
    if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

namespace {

bool HasByteOrderMark(std::string_view bytes) {
  return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
         static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF;
}

bool IsAscii(std::string_view bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// Line by line, as DecodeText takes the whole file. GBK never uses the line-end byte
// inside a character, so a GBK file decoded by lines gives the text of the whole.
std::string DecodeLine(std::string_view line, TextEncoding encoding) {
  if (encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf16 || IsAscii(line)) return std::string(line);
  if (encoding == TextEncoding::Mixed && IsValidUtf8(line)) return std::string(line);
  return Iconv(line, "GBK", "UTF-8");
}

}  // namespace

std::string DecodeText(std::string_view bytes) {
  if (HasByteOrderMark(bytes)) {
    std::string_view rest = bytes.substr(3);
    if (IsValidUtf8(rest)) return std::string(rest);
    // A UTF-8 file with lines added in GBK (edited on another machine): the lines that
    // are not UTF-8 are taken as GBK, so the result is always UTF-8.
    std::string out;
    out.reserve(rest.size() * 2);
    for (std::size_t i = 0; i < rest.size();) {
      std::size_t end = rest.find('\n', i);
      std::size_t next = end == std::string_view::npos ? rest.size() : end + 1;
      std::string_view line = rest.substr(i, next - i);
      out += DecodeLine(line, TextEncoding::Mixed);
      i = next;
    }
    return out;
  }
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return Iconv(bytes, "GBK", "UTF-8");
}

std::string PadToColumns(const std::string& text, int columns) {
  int used = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t len = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    used += len >= 3 ? 2 : 1;
    i += len;
  }
  return text + std::string(static_cast<std::size_t>(std::max(0, columns - used)), ' ');
}

std::string EncodeGbk(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Iconv(utf8, "UTF-8", "GBK");
}

bool ParseInteger(std::string_view t, int& value) {
  if (t.empty()) return false;
  std::size_t i = 0;
  bool negative = false;
  if (t[0] == '+' || t[0] == '-') {
    negative = t[0] == '-';
    i = 1;
  }
  if (i >= t.size()) return false;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > 2147483647LL || v < -2147483648LL) return false;
  value = static_cast<int>(v);
  return true;
}

std::string ShortestReal(double v) {
  char buf[32];  // the longest shortest form, "-2.2250738585072014e-308", has 24 characters
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

bool ParseReal(std::string_view t, double& value) {
  // Validate the decimal form first: from_chars alone would accept "inf" and "nan".
  std::size_t i = 0, n = t.size();
  const bool negative = i < n && t[i] == '-';
  if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0, fraction = 0;
  std::uint64_t mantissa = 0;
  for (; i < n && t[i] >= '0' && t[i] <= '9'; ++i, ++digits)
    mantissa = mantissa * 10 + static_cast<unsigned>(t[i] - '0');
  if (i < n && t[i] == '.') {
    ++i;
    for (; i < n && t[i] >= '0' && t[i] <= '9'; ++i, ++digits, ++fraction)
      mantissa = mantissa * 10 + static_cast<unsigned>(t[i] - '0');
  }
  if (digits == 0) return false;
  if (i == n && digits <= 15) {
    // The common case, as grid and weather files write numbers: at most 15 digits and no
    // exponent. The digits are an exact integer and 10^fraction an exact double, so one
    // division rounds once, to the value from_chars gives.
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double v = static_cast<double>(mantissa) / kPowers[fraction];
    value = negative ? -v : v;
    return true;
  }
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < n && t[i] >= '0' && t[i] <= '9') ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != n) return false;
  std::string_view body = t;
  if (!body.empty() && body[0] == '+') body.remove_prefix(1);
  double v = 0.0;
  auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), v);
  if (ec != std::errc() || ptr != body.data() + body.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

FieldLine::FieldLine(std::string text, std::string file, long lineNumber)
    : text_(std::move(text)), file_(std::move(file)), lineNumber_(lineNumber) {}

bool FieldLine::Reach(std::size_t index) const {
  while (bounds_.size() <= index) {
    std::string_view t;
    if (complete_ || !FieldScanner::Next(text_, scanned_, t)) {
      complete_ = true;
      return false;
    }
    bounds_.emplace_back(static_cast<std::uint32_t>(t.data() - text_.data()), static_cast<std::uint32_t>(t.size()));
  }
  return true;
}

std::size_t FieldLine::Count() const {
  if (complete_) return bounds_.size();
  // Count the rest without storing it: a line of millions of tokens stays cheap.
  std::size_t n = bounds_.size(), at = scanned_;
  for (std::string_view t; FieldScanner::Next(text_, at, t);) ++n;
  return n;
}

std::string_view FieldLine::View(int index) const {
  if (index < 0 || !Reach(static_cast<std::size_t>(index))) throw ListIndexError(file_, lineNumber_, index, Count());
  const auto [offset, length] = bounds_[static_cast<std::size_t>(index)];
  return std::string_view(text_).substr(offset, length);
}

int FieldLine::Integer(int index) const {
  const std::string_view t = View(index);
  int v = 0;
  if (!ParseInteger(t, v)) throw ConversionError(file_, lineNumber_, std::string(t), index, "an integer");
  return v;
}

double FieldLine::Real(int index) const {
  const std::string_view t = View(index);
  double v = 0.0;
  if (!ParseReal(t, v)) throw ConversionError(file_, lineNumber_, std::string(t), index, "a number");
  return v;
}

double FieldLine::Measured(int index) const {
  const std::string_view t = View(index);
  if (t == "nan") return kNoObservation;
  double v = 0.0;
  if (!ParseReal(t, v))
    throw ConversionError(file_, lineNumber_, std::string(t), index, "a number (or nan: no observation)");
  return Observation(v);
}

namespace {

struct FileBytes {
  std::string bytes;     // from the requested offset on
  char before = 0;       // the byte before that offset
  bool reached = false;  // the file is at least that long
  std::int64_t modified = 0;
};

FileBytes ReadBytes(const std::string& fsPath, const std::string& name, std::uint64_t from) {
  const int fd = ::open(fsPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw FileError(name, 0, "cannot open: " + ErrnoProblem(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw FileError(name, 0, "cannot open: " + ErrnoText());
  if (const std::string problem = ModeProblem(st.st_mode); !problem.empty())
    throw FileError(name, 0, "cannot open: " + problem);
  FileBytes out;
  out.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (from > size) return out;
  if (from > 0 && ::pread(fd, &out.before, 1, static_cast<off_t>(from - 1)) != 1)
    throw FileError(name, 0, "cannot read: " + ErrnoText());
  out.reached = true;
  try {
    out.bytes.resize(static_cast<std::size_t>(size - from));
  } catch (const std::bad_alloc&) {
    throw FileError(name, 0, "not enough memory to read its " + std::to_string(size) + " bytes");
  }
  std::size_t done = 0;
  while (done < out.bytes.size()) {
    const ssize_t n = ::pread(fd, out.bytes.data() + done, out.bytes.size() - done, static_cast<off_t>(from + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError(name, 0, "cannot read: " + ErrnoText());
    if (n == 0) break;  // the file shrank while it was read: take what is there
    done += static_cast<std::size_t>(n);
  }
  out.bytes.resize(done);
  return out;
}

bool HasUtf16Mark(std::string_view bytes, const char*& encoding) {
  if (bytes.size() < 2) return false;
  const auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
  if (b0 == 0xFF && b1 == 0xFE) encoding = "UTF-16LE";
  else if (b0 == 0xFE && b1 == 0xFF) encoding = "UTF-16BE";
  else return false;
  return true;
}

}  // namespace

void TextReader::Take(std::string bytes) {
  raw_ = std::move(bytes);
  pos_ = 0;
  lfFrom_ = 1, nextLf_ = 0;
  const char* utf16 = nullptr;
  if (HasUtf16Mark(raw_, utf16)) {
    // Saved as "Unicode" by a Windows editor: decoded here, so every line is UTF-8 text.
    raw_ = Iconv(std::string_view(raw_).substr(2), utf16, "UTF-8");
    encoding_ = TextEncoding::Utf16;
  } else if (HasByteOrderMark(raw_)) {
    pos_ = 3;
    encoding_ = IsValidUtf8(std::string_view(raw_).substr(3)) ? TextEncoding::Utf8 : TextEncoding::Mixed;
  } else {
    encoding_ = IsValidUtf8(raw_) ? TextEncoding::Utf8 : TextEncoding::Gbk;
  }
}

void TextReader::LineEnd(std::size_t pos, std::size_t& stop, std::size_t& next) const {
  // The next LF is found once and kept while reading moves towards it, so a file whose
  // lines end in a lone CR (no LF at all) is not searched to its end for every line.
  if (!(lfFrom_ <= pos && pos <= nextLf_)) {
    const void* lf = std::memchr(raw_.data() + pos, '\n', raw_.size() - pos);
    nextLf_ = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - raw_.data()) : raw_.size();
    lfFrom_ = pos;
  }
  const void* cr = std::memchr(raw_.data() + pos, '\r', nextLf_ - pos);
  const std::size_t at = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - raw_.data()) : nextLf_;
  if (at >= raw_.size()) {
    stop = next = raw_.size();
    return;
  }
  stop = at;
  next = at + 1;
  if (raw_[at] == '\r' && next < raw_.size() && raw_[next] == '\n') ++next;
}

TextReader::TextReader(const std::string& fsPath, std::string displayName) : name_(std::move(displayName)) {
  FileBytes file = ReadBytes(fsPath, name_, 0);
  modified_ = file.modified;
  Take(std::move(file.bytes));
}

TextReader TextReader::FromString(std::string content, std::string displayName) {
  TextReader r;
  r.name_ = std::move(displayName);
  r.Take(std::move(content));
  return r;
}

TextReader TextReader::OpenAt(const std::string& fsPath, std::string displayName, const TextCursor& at) {
  if (at.byteOffset > 0) {
    FileBytes rest = ReadBytes(fsPath, displayName, at.byteOffset);
    const bool lineStart = rest.before == '\n' || rest.before == '\r';
    if (at.encoding != TextEncoding::Utf16 && rest.reached && lineStart && rest.modified == at.modified) {
      TextReader r;
      r.name_ = std::move(displayName);
      r.modified_ = rest.modified;
      r.raw_ = std::move(rest.bytes);
      r.lfFrom_ = 1, r.nextLf_ = 0;
      r.base_ = at.byteOffset;
      r.line_ = at.linesDone;
      r.encoding_ = at.encoding;
      return r;
    }
  }
  TextReader whole(fsPath, std::move(displayName));
  whole.SkipLines(at.linesDone);
  return whole;
}

std::string TextReader::ReadLine() {
  ++line_;
  if (pos_ >= raw_.size()) return std::string();
  std::size_t stop = 0, next = 0;
  LineEnd(pos_, stop, next);
  const std::string_view bytes = std::string_view(raw_).substr(pos_, stop - pos_);
  const std::size_t nul = bytes.find('\0');
  pos_ = next;  // a refused line is passed: the next read continues after it
  if (nul != std::string_view::npos)
    throw FileError(name_, line_,
                    "not a text file: byte " + std::to_string(nul + 1) +
                        " of the line is a NUL byte (a binary file, or text saved as UTF-16 "
                        "without its byte-order mark)");
  return DecodeLine(bytes, encoding_);
}

bool TextReader::ReadLineBytes(std::string_view& bytes) {
  if (pos_ >= raw_.size()) return false;
  std::size_t stop = 0, next = 0;
  LineEnd(pos_, stop, next);
  const std::string_view line = std::string_view(raw_).substr(pos_, stop - pos_);
  if (line.find('\0') != std::string_view::npos) return false;
  bytes = line;
  pos_ = next;
  ++line_;
  return true;
}

void TextReader::SkipLines(long count) {
  for (long i = 0; i < count; ++i) {
    ++line_;
    if (pos_ >= raw_.size()) continue;
    std::size_t stop = 0;
    LineEnd(pos_, stop, pos_);
  }
}

void TextReader::Seek(std::size_t offset, long lineNumber) {
  pos_ = offset < raw_.size() ? offset : raw_.size();
  line_ = lineNumber;
}

namespace {

// One write handed to a child task that shares this process's memory.
struct ChildWrite {
  int fd;
  const char* data;
  std::size_t size;
  std::size_t done;
  int error;
  bool finished;
};

[[maybe_unused]] int ChildWriteMain(void* arg) {
  auto* w = static_cast<ChildWrite*>(arg);
  while (w->done < w->size) {
    // Only the raw system call: the child must take no lock the suspended caller may hold.
    const long n = ::syscall(SYS_write, w->fd, w->data + w->done, w->size - w->done);
    if (n < 0) {
      if (errno == EINTR) continue;
      w->error = errno;
      break;
    }
    w->done += static_cast<std::size_t>(n);
  }
  w->finished = true;
  return 0;
}

// A killed process leaves on disk what its write had copied so far, and the kernel copies a
// write page by page, checking for a fatal signal between pages. So a write that crosses a
// page boundary of the file is done by a child that shares this memory (no copy is made) and
// has every signal that can be blocked blocked: a SIGKILL of the run does not reach it, the
// child finishes the write, and the file keeps whole lines. The caller waits for the child.
// Returns false when no child could be made; the caller then writes by itself.
bool WriteInChild(int fd, const std::string& bytes, std::size_t& done, int& error) {
#if defined(__SANITIZE_THREAD__)
  // The thread checker cannot follow a child that shares the caller's memory: it then
  // loses track of the caller's locks.
  (void)fd, (void)bytes, (void)done, (void)error;
  return false;
#else
  constexpr std::size_t kStack = 65536;
  const std::unique_ptr<char[]> stack(new char[kStack]);
  ChildWrite w{fd, bytes.data(), bytes.size(), done, 0, false};
  sigset_t all, old;
  ::sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &old);
  const pid_t pid = ::clone(ChildWriteMain, stack.get() + kStack, CLONE_VM | CLONE_VFORK | SIGCHLD, &w);
  if (pid > 0) {
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
  }
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  if (pid <= 0) return false;
  done = w.done;
  error = w.finished ? w.error : EIO;
  return true;
#endif
}

void WriteBytes(const std::string& fsPath, const std::string& displayName, const std::string& bytes, bool append) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  int fd = ::open(fsPath.c_str(), flags, 0644);
  if (fd < 0) throw FileError(displayName, 0, "cannot open for writing: " + ErrnoText());
  struct stat st {};
  off_t before = (append && ::fstat(fd, &st) == 0) ? st.st_size : 0;
  static const std::size_t page = [] {
    const long p = ::sysconf(_SC_PAGESIZE);
    return p > 0 ? static_cast<std::size_t>(p) : std::size_t{4096};
  }();
  const auto fail = [&](int why) {
    // Leave the file as it was before this write: whole lines only.
    if (append && S_ISREG(st.st_mode)) (void)::ftruncate(fd, before);
    ::close(fd);
    throw FileError(displayName, 0, std::string("cannot write: ") + std::strerror(why));
  };
  std::size_t done = 0;
  int error = 0;
  const bool crosses = static_cast<std::size_t>(before) % page + bytes.size() > page;
  if (crosses && WriteInChild(fd, bytes, done, error) && error != 0) fail(error);
  // Without a child, each piece stays within one page and ends on a line end, so a kill
  // between pieces leaves whole lines; only a line across a page boundary is at risk.
  while (done < bytes.size()) {
    const std::size_t at = static_cast<std::size_t>(before) + done;
    const std::size_t room = page - at % page;
    std::size_t piece = bytes.size() - done;
    if (piece > room) {
      std::size_t end = bytes.rfind('\n', done + room - 1);
      if (end == std::string::npos || end < done) end = bytes.find('\n', done);
      piece = (end == std::string::npos ? bytes.size() : end + 1) - done;
    }
    ssize_t w = ::write(fd, bytes.data() + done, piece);
    if (w < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    done += static_cast<std::size_t>(w);
  }
  if (::close(fd) != 0) throw FileError(displayName, 0, "cannot close: " + ErrnoText());
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  std::size_t total = 0;
  for (const auto& l : lines) total += l.size() + 2;
  text.reserve(total);
  for (const auto& l : lines) {
    text += l;
    text += "\r\n";
  }
  return EncodeGbk(text);
}

}  // namespace

std::string ReadFileBytes(const std::string& fsPath, const std::string& displayName) {
  return ReadBytes(fsPath, displayName, 0).bytes;
}

namespace {

// Writes all of bytes at the start of fd and cuts the file there; false with errno set.
bool WriteAllAt(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
}

}  // namespace

void ReplaceFile(const std::string& fsPath, const std::string& displayName, const std::string& bytes) {
  struct stat old {};
  const bool existed = ::stat(fsPath.c_str(), &old) == 0;
  const std::string temp = fsPath + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd >= 0) {
    // The new file keeps the old one's permissions (a group-writable shared file stays so).
    if (existed) (void)::fchmod(fd, old.st_mode & 07777);
    const bool written = WriteAllAt(fd, bytes);
    const int why = errno;
    if (::close(fd) != 0 || !written || ::rename(temp.c_str(), fsPath.c_str()) != 0) {
      const int reason = written ? errno : why;
      ::unlink(temp.c_str());
      throw FileError(displayName, 0, std::string("cannot write: ") + std::strerror(reason));
    }
    return;
  }
  if (errno != EACCES && errno != EPERM && errno != EROFS)
    throw FileError(displayName, 0, "cannot write: " + ErrnoText());
  // No new file can be made beside it: rewrite the file itself, keeping its old bytes to put
  // back if the rewrite fails.
  const std::string before = existed ? ReadBytes(fsPath, displayName, 0).bytes : std::string();
  const int in = ::open(fsPath.c_str(), O_WRONLY | O_CLOEXEC | (existed ? 0 : O_CREAT), 0644);
  if (in < 0) throw FileError(displayName, 0, "cannot write: " + ErrnoText());
  if (!WriteAllAt(in, bytes)) {
    const int why = errno;
    (void)WriteAllAt(in, before);
    ::close(in);
    throw FileError(displayName, 0, std::string("cannot write: ") + std::strerror(why));
  }
  if (::close(in) != 0) throw FileError(displayName, 0, "cannot close: " + ErrnoText());
}

void AppendLines(const std::string& fsPath, const std::string& displayName, const std::vector<std::string>& lines) {
  WriteBytes(fsPath, displayName, JoinLines(lines), true);
}

void AppendLine(const std::string& fsPath, const std::string& displayName, const std::string& line) {
  WriteBytes(fsPath, displayName, JoinLines({line}), true);
}

void CreateEmptyFile(const std::string& fsPath, const std::string& displayName) {
  WriteBytes(fsPath, displayName, std::string(), false);
}

void WriteWholeFile(const std::string& fsPath, const std::string& displayName, const std::vector<std::string>& lines) {
  WriteBytes(fsPath, displayName, JoinLines(lines), false);
}

}  // namespace tarnwell
