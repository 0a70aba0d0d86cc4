// Shared by the fuzz targets: the input as a file's bytes, and the rule that a reader
// may only fail with one of the system's own errors (anything else escapes and stops
// the fuzzer as a crash).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <unistd.h>

#include "app/Session.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"
#include "model/ModelState.h"
#include "parameters/ParaDialog.h"

// The entry point of a target: `data` and `size` are the input.
#define TARNWELL_FUZZ_TARGET extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)

namespace tarnwell::fuzz {

inline std::string Bytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Stops the fuzzer with a message: a broken promise, not a sanitizer report.
[[noreturn]] inline void Broken(const char* what) {
  std::fprintf(stderr, "broken promise: %s\n", what);
  std::abort();
}

// Every message of the system names the file it is about.
inline void CheckNamesFile(const TarnwellError& e, const std::string& name) {
  if (std::string(e.what()).find(name) == std::string::npos) Broken("error message without the file name");
  if (e.File() != name) Broken("error names another file");
}

// Runs read(); it may only fail with the system's error naming `file`, which then goes to
// check(e) for what more the target promises.
template <class Read, class Check = void (*)(const TarnwellError&)>
void Reading(
    const std::string& file, Read&& read, Check&& check = [](const TarnwellError&) {}) {
  try {
    read();
  } catch (const TarnwellError& e) {
    CheckNamesFile(e, file);
    check(e);
  }
}

// The same for the readers of stored output: the error names some file under Output/.
template <class Read>
void ReadingOutput(const char* what, const char* under, Read&& read) {
  try {
    read();
  } catch (const TarnwellError& e) {
    if (e.File().find(under) != 0) Broken(what);
  }
}

// A workspace of this process under the temporary directory with Output/流域1 (made once,
// removed when the process exits normally).
inline const std::string& ScratchWorkspace(const char* tag) {
  static const std::string root = [tag] {
    std::string r = std::filesystem::temp_directory_path().string() + "/tarnwell-fuzz-" + tag + "-" +
                    std::to_string(::getpid());
    std::filesystem::create_directories(r + "/Output/流域1");
    std::filesystem::create_directories(r + "/Output/全流域");
    // A copy that outlives the static string, whose destructor runs before this handler.
    static const std::string* const kept = new std::string(r);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(*kept, ec);
    });
    return r;
  }();
  return root;
}

inline void Put(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline const char* const kSubBasinFiles[] = {"Daily.out", "Daily_s.out", "Daily_f.out", "Budget.out", "Budget_s.out"};

// The five output files of a sub-basin year (kSubBasinFiles) as the input split at form
// feeds (missing parts are empty files).
inline void PutSubBasinFiles(const std::string& dir, const std::string& bytes) {
  for (std::size_t i = 0, at = 0, end; i < 5; ++i, at = end + 1) {
    end = i == 4 ? bytes.size() : std::min(bytes.find('\f', at), bytes.size());
    Put(dir + "/" + kSubBasinFiles[i], at < bytes.size() ? bytes.substr(at, end - at) : "");
  }
}

// Lines of a text as the readers count them: a line ends at LF, CR LF or a lone CR.
inline long LineCount(const std::string& bytes) {
  long ends = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))) ++ends;
  return ends + 1;
}

// Grids up to this many cells are read for real; larger headers below the machine's
// limit are left alone (they would only spend memory), above it they must be refused.
constexpr long long kFuzzCellLimit = 1 << 12;

enum class SizeClass { kSmall, kLarge, kRefused };

// The columns and rows of a grid header as the readers would take them (line 2), and their
// class: kRefused also when they would not convert (`sized` false).
struct GridSize {
  bool sized = false;
  long long cols = 0, rows = 0;
  SizeClass size = SizeClass::kRefused;
  // s sized as the header when it is small (and `asHeader`), else 2 x 3.
  void Allocate(ModelState& s, bool asHeader = true) const {
    if (size == SizeClass::kSmall && asHeader) s.AllocateGrids(static_cast<int>(rows), static_cast<int>(cols));
    else s.AllocateGrids(2, 3);
  }
};

inline GridSize PeekGrid(const std::string& bytes) {
  GridSize g;
  TextReader r = TextReader::FromString(bytes, "peek");
  std::optional<FieldLine> read;
  try {
    r.ReadLine();
    read.emplace(r.ReadFields());
  } catch (const TarnwellError&) {
    return g;  // not text: the reader refuses it before any size matters
  }
  int c = 0, w = 0;
  if (read->Count() < 2 || !ParseInteger(read->Token(0), c) || !ParseInteger(read->Token(1), w)) return g;
  g.sized = true, g.cols = c, g.rows = w;
  if (c > 0 && w > 0 && g.cols * g.rows <= MaxGridCells())
    g.size = g.cols * g.rows <= kFuzzCellLimit ? SizeClass::kSmall : SizeClass::kLarge;
  return g;
}

}  // namespace tarnwell::fuzz
