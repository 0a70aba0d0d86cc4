// The import's readers of hand-made text: a daily table in three layouts (a CSV with an ISO
// date column; whitespace with a skipped line, year, month and day columns and a no-data
// value; semicolons with named date columns), every column read as a daily series and
// checked for gaps, and the "key = value" configuration. Any bytes give the system's own
// error naming the file, never a crash.
#include "FuzzSupport.h"
#include "geo/KeyValueFile.h"
#include "geo/Table.h"

using namespace tarnwell;

TARNWELL_FUZZ_TARGET {
  const std::string path = fuzz::ScratchWorkspace("import") + "/table.txt";
  fuzz::Put(path, fuzz::Bytes(data, size));
  geo::TableFormat formats[3];
  formats[1].delimiter = ' ', formats[1].skipLines = 1, formats[1].header = false, formats[1].noData = "-9999";
  formats[1].dateColumns = {"1", "2", "3"};
  formats[2].delimiter = ';', formats[2].dateColumns = {"year", "month", "day"};
  for (const geo::TableFormat& format : formats)
    fuzz::Reading(path, [&] {
      const geo::Table t = geo::Table::Read(path, path, format);
      for (int column = 0; column < 4; ++column)
        fuzz::Reading(path, [&] {
          const geo::DailyValues v = geo::ReadDaily(t, column, geo::MakeDay(2000, 1, 1), geo::MakeDay(2000, 12, 31));
          if (v.values.size() != 366 || v.missing < 0 || v.missing > 366) fuzz::Broken("a year of 366 days");
          geo::RequireEveryDay(t, v, "value");
          if (v.missing != 0) fuzz::Broken("a gap not refused");
        });
    });
  fuzz::Reading(path, [&] {
    const geo::KeyValueFile f = geo::KeyValueFile::Read(path, path, {"terrain", "years", "latitude"});
    if (f.Has("latitude")) f.Real("latitude");
  });
  return 0;
}
