// The slope grid reader, which takes the sizes already read: here those its own header
// names when they are small, else 2 x 3.
#include "FuzzSupport.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  const std::string bytes = fuzz::Bytes(data, size);
  ModelState s;
  fuzz::PeekGrid(bytes).Allocate(s);
  TextReader r = TextReader::FromString(bytes, "input/流域1/slope.grd");
  fuzz::Reading("input/流域1/slope.grd", [&] {
    ReadSlopeGrid(s, r);
    for (std::size_t i = 0; i < s.CellCount(); ++i) {
      const double m = s.SlopeMask[i];
      if (m != 0.0 && m != 1.0) fuzz::Broken("slope mask neither 0 nor 1");
      if (m == 1.0 && !(s.SlopeSine[i] > 0)) fuzz::Broken("masked-in cell without a slope");
    }
  });
  return 0;
}
