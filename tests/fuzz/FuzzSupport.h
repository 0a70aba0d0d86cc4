// Shared by the fuzz targets: the input as a file's bytes, and the rule that a reader
// may only fail with one of the system's own errors (anything else escapes and stops
// the fuzzer as a crash).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"

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

// Columns and rows of a grid header as the readers would take them (line 2); false when
// they would not convert.
inline bool PeekGridSize(const std::string& bytes, long long& cols, long long& rows) {
  TextReader r = TextReader::FromString(bytes, "peek");
  r.ReadLine();
  FieldLine sizes = r.ReadFields();
  if (sizes.Count() < 2) return false;
  int c = 0, w = 0;
  if (!ParseInteger(sizes.Token(0), c) || !ParseInteger(sizes.Token(1), w)) return false;
  cols = c;
  rows = w;
  return true;
}

// Grids up to this many cells are read for real; larger headers below the machine's
// limit are left alone (they would only spend memory), above it they must be refused.
constexpr long long kFuzzCellLimit = 1 << 12;

enum class SizeClass { kSmall, kLarge, kRefused };

inline SizeClass ClassifyGrid(long long cols, long long rows) {
  if (cols <= 0 || rows <= 0) return SizeClass::kRefused;
  if (cols * rows > MaxGridCells()) return SizeClass::kRefused;
  return cols * rows <= kFuzzCellLimit ? SizeClass::kSmall : SizeClass::kLarge;
}

}  // namespace tarnwell::fuzz
