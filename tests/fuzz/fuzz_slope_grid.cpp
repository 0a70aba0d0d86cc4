// The slope grid reader, which takes the sizes already read: here those its own header
// names when they are small, else 2 x 3.
#include "FuzzSupport.h"
#include "model/ModelState.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzz::Bytes(data, size);
  long long cols = 0, rows = 0;
  bool sized = fuzz::PeekGridSize(bytes, cols, rows);
  ModelState s;
  if (sized && fuzz::ClassifyGrid(cols, rows) == fuzz::SizeClass::kSmall)
    s.AllocateGrids(static_cast<int>(rows), static_cast<int>(cols));
  else s.AllocateGrids(2, 3);
  TextReader r = TextReader::FromString(bytes, "input/流域1/slope.grd");
  try {
    ReadSlopeGrid(s, r);
    for (std::size_t i = 0; i < s.CellCount(); ++i) {
      double m = s.SlopeMask[i];
      if (m != 0.0 && m != 1.0) fuzz::Broken("slope mask neither 0 nor 1");
      if (m == 1.0 && !(s.SlopeSine[i] > 0)) fuzz::Broken("masked-in cell without a slope");
    }
  } catch (const TarnwellError& e) {
    fuzz::CheckNamesFile(e, "input/流域1/slope.grd");
  }
  return 0;
}
