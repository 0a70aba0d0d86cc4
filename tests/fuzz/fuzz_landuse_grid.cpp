// The land-use grid reader after a terrain grid of the size its own header names (or, by
// the first byte, of another size, so the size check is met too).
#include "FuzzSupport.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  if (size < 1) return 0;
  const std::string bytes = fuzz::Bytes(data + 1, size - 1);
  const fuzz::GridSize g = fuzz::PeekGrid(bytes);
  if (g.size == fuzz::SizeClass::kLarge) return 0;
  ModelState s;
  g.Allocate(s, (data[0] & 1) == 0);
  TextReader r = TextReader::FromString(bytes, "input/流域1/lucc.grd");
  fuzz::Reading("input/流域1/lucc.grd", [&] {
    ReadLandUseGrid(s, r);
    if (g.size != fuzz::SizeClass::kSmall) fuzz::Broken("grid accepted with a refused size");
    if (s.LandUse.size() != s.CellCount()) fuzz::Broken("land use not sized to the grid");
  });
  return 0;
}
