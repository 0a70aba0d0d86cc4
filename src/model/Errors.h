// The three failures of the system. Every reader and writer throws one of them; the
// command line prints the message and exits 1, the window shows it in a message box.
#pragma once

#include <stdexcept>
#include <string>

namespace tarnwell {

// A message as a terminal or a message box can show it: control characters (a NUL of a
// binary file, the CR of an old Mac line end, an escape sequence) are written as \0, \r,
// \x1b ... instead of garbling or cutting the text.
inline std::string Printable(const std::string& text) {
  static const char* const kHex = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c != 0x7F) {
      out += ch;
      continue;
    }
    switch (c) {
      case 0: out += "\\0"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default:
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
  }
  return out;
}

// A token as a message shows it: printable, and at most 60 characters of a long one.
inline std::string ShownToken(const std::string& token) {
  constexpr std::size_t kShown = 60;
  if (token.size() <= kShown) return Printable(token);
  std::size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(token[cut]) & 0xC0) == 0x80) --cut;  // whole characters
  return Printable(token.substr(0, cut)) + "... (" + std::to_string(token.size()) + " bytes)";
}

// Common base: the file (as shown to the user), the 1-based line (0 when the failure
// is not tied to a line), and the offending token with its 0-based position (-1: none).
class TarnwellError : public std::runtime_error {
 public:
  TarnwellError(const std::string& message, std::string file, long line, std::string token, int tokenIndex)
      : std::runtime_error(Printable(message)),
        file_(std::move(file)),
        line_(line),
        token_(std::move(token)),
        tokenIndex_(tokenIndex) {}
  const std::string& File() const { return file_; }
  long Line() const { return line_; }
  const std::string& Token() const { return token_; }
  int TokenIndex() const { return tokenIndex_; }

 private:
  std::string file_;
  long line_;
  std::string token_;
  int tokenIndex_;
};

// Open, read, write, close or create failed.
class FileError : public TarnwellError {
 public:
  FileError(const std::string& file, long line, const std::string& what)
      : TarnwellError(Compose(file, line, what), file, line, "", -1) {}

 private:
  static std::string Compose(const std::string& file, long line, const std::string& what) {
    return line > 0 ? file + " line " + std::to_string(line) + ": " + what : file + ": " + what;
  }
};

// A token that does not convert to the number the field needs.
class ConversionError : public TarnwellError {
 public:
  ConversionError(const std::string& file, long line, const std::string& token, int tokenIndex,
                  const std::string& expected)
      : TarnwellError(file + " line " + std::to_string(line) + ": \"" + ShownToken(token) + "\" is not " + expected +
                          " (token " + std::to_string(tokenIndex) + ")",
                      file, line, token, tokenIndex) {}
};

// A token position that the line does not have.
class ListIndexError : public TarnwellError {
 public:
  ListIndexError(const std::string& file, long line, int tokenIndex, std::size_t tokenCount)
      : TarnwellError(file + " line " + std::to_string(line) + ": token " + std::to_string(tokenIndex) +
                          " is missing (the line has " + std::to_string(tokenCount) + " token" +
                          (tokenCount == 1 ? "" : "s") + ")",
                      file, line, "", tokenIndex) {}
};

// Input the model refuses before it stores anything (sizes, empty sub-basins, ...).
class InputError : public TarnwellError {
 public:
  InputError(const std::string& file, long line, const std::string& what)
      : TarnwellError(line > 0 ? file + " line " + std::to_string(line) + ": " + what : file + ": " + what, file, line,
                      "", -1) {}
};

// A simulated value that is not a finite number: the inputs or parameters drove the
// arithmetic beyond what it can represent. Names the sub-basin (or the whole basin), the
// day and the quantity; never an output file, which is only where it would have gone.
class ResultError : public TarnwellError {
 public:
  explicit ResultError(const std::string& message) : TarnwellError(message, "", 0, "", -1) {}
};

}  // namespace tarnwell
