// The calibration file: a file is either taken, with every range inside what the model can
// take and the tied soil-water contents in order, or refused with the system's error
// naming the file and a line of it.
#include "FuzzSupport.h"
#include "calibration/CalibrationFile.h"
#include "parameters/ParameterLimits.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  const std::string bytes = fuzz::Bytes(data, size);
  TextReader r = TextReader::FromString(bytes, "calibration.txt");
  ParameterSet current;
  current.SaturatedWaterContent = 0.45, current.FieldCapacity = 0.3, current.WiltingPoint = 0.12;
  fuzz::Reading(
      "calibration.txt",
      [&] {
        const CalibrationConfig c = ReadCalibrationFile(r, current);
        if (c.parameters.empty() || c.calibrationYears.empty()) fuzz::Broken("taken without parameters or years");
        for (const CalibratedParameter& p : c.parameters) {
          const ParameterDomain* d = FindParameterDomain(p.name);
          if (!d || !d->Contains(p.lower) || !d->Contains(p.upper) || !(p.lower < p.upper))
            fuzz::Broken("a range the model cannot take was taken");
          if (p.log && !(p.lower > 0)) fuzz::Broken("a log range from 0 or below was taken");
        }
        (void)c.Space();
      },
      [&](const TarnwellError& e) {
        if (e.Line() < 0 || e.Line() > fuzz::LineCount(bytes)) fuzz::Broken("error outside the file's lines");
      });
  return 0;
}
