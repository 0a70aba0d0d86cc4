// The terrain grid reader on any file: it fills the grids or fails with the system's own
// error naming the file; header sizes beyond the machine's memory are refused.
#include "FuzzSupport.h"
#include "model/ModelState.h"

#include <string>

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzz::Bytes(data, size);
  long long cols = 0, rows = 0;
  bool sized = fuzz::PeekGridSize(bytes, cols, rows);
  fuzz::SizeClass size_class = sized ? fuzz::ClassifyGrid(cols, rows) : fuzz::SizeClass::kRefused;
  if (size_class == fuzz::SizeClass::kLarge) return 0;

  ModelState s;
  s.AllocateGrids(3, 2);
  // Twice into the same state: the second read meets grids already of its size.
  for (int pass = 0; pass < 2; ++pass) {
    TextReader r = TextReader::FromString(bytes, "input/流域1/dem.grd");
    try {
      ReadTerrainGrid(s, r);
      if (size_class != fuzz::SizeClass::kSmall) fuzz::Broken("grid accepted with a refused size");
      if (s.GridRows != rows || s.GridCols != cols) fuzz::Broken("grid sizes not as in the header");
      const std::size_t n = s.CellCount();
      for (const auto* g :
           {&s.SurfElev, &s.WTElev, &s.WTPrev, &s.CellSizeX, &s.CellSizeY, &s.GwConductivity, &s.LandUse, &s.SlopeSine})
        if (g->size() != n) fuzz::Broken("a grid not sized to the header");
    } catch (const InputError& e) {
      fuzz::CheckNamesFile(e, "input/流域1/dem.grd");
      // A small grid may be refused at line 2 only when the file cannot hold its values.
      const bool tooShort = std::string(e.what()).find("the whole rest of the file") != std::string::npos;
      if (size_class == fuzz::SizeClass::kSmall && sized && e.Line() == 2 && !tooShort)
        fuzz::Broken("a small grid refused for its size");
    } catch (const TarnwellError& e) {
      fuzz::CheckNamesFile(e, "input/流域1/dem.grd");
      if (sized && size_class == fuzz::SizeClass::kRefused) fuzz::Broken("a refused size got past line 2");
    }
  }
  return 0;
}
