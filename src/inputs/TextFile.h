// The text layer shared by every reader and writer: decoding (UTF-8 or GBK in, GBK with
// CR LF out), the one line splitter, strict number conversion, and line-by-line reading
// with the file name and line number that every error message carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// Splits a line at TAB, blank, comma and semicolon. Blanks and '#' are skipped before each
// token, runs of separators give no empty token, and a single or double quote opens a
// stretch (up to the matching quote) in which separators do not split; the quotes stay.
std::vector<std::string> SplitFields(std::string_view line);

bool IsValidUtf8(std::string_view bytes);
// Pads UTF-8 text with blanks to a width in terminal columns (a Chinese character takes two).
std::string PadToColumns(const std::string& text, int columns);
// Bytes of a file as UTF-8: a byte-order mark is dropped; text that is not valid UTF-8 is
// taken as GBK (code page 936).
std::string DecodeText(std::string_view bytes);
// UTF-8 to GBK for the files the system writes.
std::string EncodeGbk(std::string_view utf8);

// Strict conversions: the whole token must be the number. An integer has no decimal point
// or exponent; a real is decimal with optional sign, point and exponent (no NaN, no
// infinity, no hexadecimal, no overflow).
bool ParseInteger(std::string_view token, int& value);
bool ParseReal(std::string_view token, double& value);
// The shortest text that ParseReal reads back to exactly v ("0.1", "1e+07", "-9999"): every
// number the system writes for itself or names in a message. Not a number or an infinity
// gives "nan", "inf" or "-inf", which no reader takes.
std::string ShortestReal(double v);

// The token boundaries of a line, found one token at a time: only the tokens a reader asks
// for are ever located, so a line of millions of tokens costs nothing beyond the ones read.
// A token is always a contiguous stretch of the line (quotes and all).
class FieldScanner {
 public:
  explicit FieldScanner(std::string_view line) : line_(line) {}
  // The next token, or false at the end of the line.
  bool Next(std::string_view& token) { return Next(line_, pos_, token); }
  // The same on a line held elsewhere, from position pos (moved past the token).
  static bool Next(std::string_view line, std::size_t& pos, std::string_view& token);

 private:
  std::string_view line_;
  std::size_t pos_ = 0;
};

// One line split into tokens, remembering where it came from so that a failed lookup or
// conversion names the file, the line and the token. Tokens are located on demand.
class FieldLine {
 public:
  FieldLine(std::string text, std::string file, long lineNumber);
  std::size_t Count() const;               // scans the whole line, storing nothing
  std::string_view View(int index) const;  // ListIndexError when missing
  std::string Token(int index) const { return std::string(View(index)); }
  int Integer(int index) const;  // ConversionError when not an integer
  double Real(int index) const;  // ConversionError when not a real
  // A measured value of an output file: "nan" or a negative number (as older files hold)
  // is a day without observation, kNoObservation; else as Real.
  double Measured(int index) const;
  long LineNumber() const { return lineNumber_; }
  const std::string& File() const { return file_; }
  const std::string& Text() const { return text_; }
  std::vector<std::string> Tokens() const { return SplitFields(text_); }

 private:
  bool Reach(std::size_t index) const;  // locates tokens up to index; false when fewer

  std::string text_;
  std::string file_;
  long lineNumber_;
  mutable std::vector<std::pair<std::uint32_t, std::uint32_t>> bounds_;  // offset, length
  mutable std::size_t scanned_ = 0;                                      // where the search for the next token goes on
  mutable bool complete_ = false;
};

// How a file's bytes become text: UTF-8 as it stands, GBK, or UTF-8 with some lines in GBK
// (a UTF-8 file edited on another machine), or UTF-16 with its byte-order mark (decoded to
// UTF-8 when read; a cursor into it is not a byte offset of the file).
enum class TextEncoding { Utf8, Gbk, Mixed, Utf16 };

// Where a later reading of a file continues: the byte offset of a line start, the number of
// lines before it, how the whole file was decoded, and the file's modification time then.
struct TextCursor {
  std::uint64_t byteOffset = 0;
  long linesDone = 0;
  TextEncoding encoding = TextEncoding::Utf8;
  std::int64_t modified = 0;  // ns since the epoch
};

// Reads a whole text file and hands it out line by line, each line decoded as the whole
// file is (see DecodeText). A line ends at LF, CR LF or a lone CR (old Mac files). Reading
// past the end yields empty lines, so the error comes from the token lookup that follows.
// Only regular files are read (a device or a pipe could be endless); a line holding a NUL
// byte is refused, since no text file holds one (a binary file, or UTF-16 without its mark).
class TextReader {
 public:
  // fsPath: where the file is on disk; displayName: how messages name it.
  TextReader(const std::string& fsPath, std::string displayName);
  static TextReader FromString(std::string content, std::string displayName);
  // Reads only the part of a file after a cursor an earlier reader of it gave, so a file
  // read a year at a time costs the same in its last year as in its first. When the file
  // no longer has a line start there (it was replaced or cut), it is read whole and the
  // cursor's lines are skipped instead; so it is when the file was modified since.
  static TextReader OpenAt(const std::string& fsPath, std::string displayName, const TextCursor& at);

  std::string ReadLine();
  FieldLine ReadFields() {
    std::string text = ReadLine();
    return FieldLine(std::move(text), name_, line_);
  }
  // The next line's bytes as the reader holds them, for the fast path of readers of number
  // lines (a view into the reader, valid while it lives). Separators, signs, digits and
  // points are the same bytes in every encoding the reader takes, so a line whose tokens
  // all convert gives the values ReadFields would. False at the end of the file and for a
  // line holding a NUL byte; nothing is read then, and ReadLine gives the error.
  bool ReadLineBytes(std::string_view& bytes);
  void SkipLines(long count);
  long LineNumber() const { return line_; }  // number of the line read last
  bool AtEnd() const { return pos_ >= raw_.size(); }
  // Bytes not yet read (what the rest of the file can hold at most).
  std::size_t BytesLeft() const { return pos_ < raw_.size() ? raw_.size() - pos_ : 0; }
  std::size_t Offset() const { return pos_; }
  // Continue at a position found earlier by Offset(), with its line count.
  void Seek(std::size_t offset, long lineNumber);
  // The position after the line read last, for OpenAt.
  TextCursor Cursor() const { return {base_ + pos_, line_, encoding_, modified_}; }
  const std::string& Name() const { return name_; }

 private:
  TextReader() = default;
  void Take(std::string bytes);
  // The end of the line starting at pos: where its text stops and where the next begins.
  void LineEnd(std::size_t pos, std::size_t& stop, std::size_t& next) const;
  std::string raw_;  // the file's bytes (from base_ on)
  std::string name_;
  std::size_t pos_ = 0;
  long line_ = 0;
  std::uint64_t base_ = 0;
  TextEncoding encoding_ = TextEncoding::Utf8;
  std::int64_t modified_ = 0;
  // The first LF at or after lfFrom_ (raw_.size() when there is none): see LineEnd.
  mutable std::size_t lfFrom_ = 1, nextLf_ = 0;
};

// Why a path cannot be an input file, or "" when it can: "it does not exist", "it is a
// directory", "not a regular file (a device, pipe or socket)" (a pipe may block and a
// device may never end), or the system's reason. Looked at without opening the path.
std::string InputFileProblem(const std::string& fsPath);
// FileError "<displayName>: cannot open: <problem>" when the path cannot be an input file.
// Every reader calls it (or reads through TextReader, which does the same) before it opens.
void RequireInputFile(const std::string& fsPath, const std::string& displayName);

// Writers: every write opens for appending, writes whole lines (GBK, CR LF) and closes,
// so a file on disk always ends on a complete line, even when the run is killed during a
// write (an append that crosses a page of the file is finished by a child the kill does not
// reach). On a failed write the file is cut back to its former length before the FileError
// is thrown.
void AppendLines(const std::string& fsPath, const std::string& displayName, const std::vector<std::string>& lines);
void AppendLine(const std::string& fsPath, const std::string& displayName, const std::string& line);
void CreateEmptyFile(const std::string& fsPath, const std::string& displayName);
// The bytes of a regular file as they stand (FileError naming displayName otherwise).
std::string ReadFileBytes(const std::string& fsPath, const std::string& displayName);
// Replaces a file by `bytes` as a whole: written to a temporary file beside it and renamed
// into place, so that a failure leaves the old file as it was. Where the directory allows
// no new file (a shared workspace in which only the file itself is writable), the file is
// rewritten in place, and put back as it was when that fails.
void ReplaceFile(const std::string& fsPath, const std::string& displayName, const std::string& bytes);
// Replaces the whole content (used for files rewritten as a whole, such as the marker).
void WriteWholeFile(const std::string& fsPath, const std::string& displayName, const std::vector<std::string>& lines);

}  // namespace tarnwell
