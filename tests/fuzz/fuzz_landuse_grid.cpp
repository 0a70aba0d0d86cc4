// The land-use grid reader after a terrain grid of the size its own header names (or of
// another size, so the size check is met too).
#include "FuzzSupport.h"
#include "model/ModelState.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool mismatch = (data[0] & 1) != 0;
  const std::string bytes = fuzz::Bytes(data + 1, size - 1);
  long long cols = 0, rows = 0;
  bool sized = fuzz::PeekGridSize(bytes, cols, rows);
  fuzz::SizeClass size_class = sized ? fuzz::ClassifyGrid(cols, rows) : fuzz::SizeClass::kRefused;
  if (size_class == fuzz::SizeClass::kLarge) return 0;

  ModelState s;
  if (size_class == fuzz::SizeClass::kSmall && !mismatch)
    s.AllocateGrids(static_cast<int>(rows), static_cast<int>(cols));
  else s.AllocateGrids(2, 3);
  TextReader r = TextReader::FromString(bytes, "input/流域1/lucc.grd");
  try {
    ReadLandUseGrid(s, r);
    if (size_class != fuzz::SizeClass::kSmall) fuzz::Broken("grid accepted with a refused size");
    if (s.LandUse.size() != s.CellCount()) fuzz::Broken("land use not sized to the grid");
  } catch (const TarnwellError& e) {
    fuzz::CheckNamesFile(e, "input/流域1/lucc.grd");
  }
  return 0;
}
