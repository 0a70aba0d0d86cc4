// The calibration file: a file is either taken, with every range inside what the model can
// take and the tied soil-water contents in order, or refused with the system's error
// naming the file and a line of it.
#include <algorithm>

#include "FuzzSupport.h"
#include "calibration/CalibrationFile.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzz::Bytes(data, size);
  TextReader r = TextReader::FromString(bytes, "calibration.txt");
  ParameterSet current;
  current.SaturatedWaterContent = 0.45, current.FieldCapacity = 0.3, current.WiltingPoint = 0.12;
  try {
    const CalibrationConfig c = ReadCalibrationFile(r, current);
    if (c.parameters.empty() || c.calibrationYears.empty()) fuzz::Broken("taken without parameters or years");
    for (const CalibratedParameter& p : c.parameters) {
      const ParameterDomain* d = FindParameterDomain(p.name);
      if (!d || !d->Contains(p.lower) || !d->Contains(p.upper) || !(p.lower < p.upper))
        fuzz::Broken("a range the model cannot take was taken");
      if (p.log && !(p.lower > 0)) fuzz::Broken("a log range from 0 or below was taken");
    }
    (void)c.Space();
  } catch (const TarnwellError& e) {
    fuzz::CheckNamesFile(e, "calibration.txt");
    const long lines = fuzz::LineCount(bytes);
    if (e.Line() < 0 || e.Line() > lines) fuzz::Broken("error outside the file's lines");
  }
  return 0;
}
