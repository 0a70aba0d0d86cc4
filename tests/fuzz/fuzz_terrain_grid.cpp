// The terrain grid reader on any file: it fills the grids or fails with the system's own
// error naming the file; header sizes beyond the machine's memory are refused.
#include "FuzzSupport.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  const std::string bytes = fuzz::Bytes(data, size);
  const fuzz::GridSize g = fuzz::PeekGrid(bytes);
  if (g.size == fuzz::SizeClass::kLarge) return 0;
  const std::string name = "input/流域1/dem.grd";
  ModelState s;
  s.AllocateGrids(3, 2);
  // Twice into the same state: the second read meets grids already of its size.
  for (int pass = 0; pass < 2; ++pass) {
    TextReader r = TextReader::FromString(bytes, name);
    try {
      ReadTerrainGrid(s, r);
      if (g.size != fuzz::SizeClass::kSmall) fuzz::Broken("grid accepted with a refused size");
      if (s.GridRows != g.rows || s.GridCols != g.cols) fuzz::Broken("grid sizes not as in the header");
      for (const auto* v :
           {&s.SurfElev, &s.WTElev, &s.WTPrev, &s.CellSizeX, &s.CellSizeY, &s.GwConductivity, &s.LandUse, &s.SlopeSine})
        if (v->size() != s.CellCount()) fuzz::Broken("a grid not sized to the header");
    } catch (const InputError& e) {
      fuzz::CheckNamesFile(e, name);
      // A small grid may be refused at line 2 only when the file cannot hold its values.
      const bool tooShort = std::string(e.what()).find("the whole rest of the file") != std::string::npos;
      if (g.size == fuzz::SizeClass::kSmall && e.Line() == 2 && !tooShort)
        fuzz::Broken("a small grid refused for its size");
    } catch (const TarnwellError& e) {
      fuzz::CheckNamesFile(e, name);
      if (g.sized && g.size == fuzz::SizeClass::kRefused) fuzz::Broken("a refused size got past line 2");
    }
  }
  return 0;
}
