// The readers of hand-edited text and of stored output under the fuzzer: any bytes as a file
// give what the reader promises or the system's own error naming that file; anything else
// stops the fuzzer with the input kept. Under libFuzzer (scripts/fuzz.sh) the reader is the
// one named by TARNWELL_FUZZ_READER; built with TARNWELL_FUZZ_REPLAY, a program replaying a
// corpus through one reader as the suite does for the committed seeds: fuzz_replay READER DIR...
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <fstream>
#include <iterator>

#include "app/OutputBinding.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "calibration/CalibrationFile.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"
#include "processes/Processes.h"
#include "results/Statistic.h"
#include "viewer/ResultsReader.h"
#ifdef TARNWELL_FUZZ_GEO
#include "app/Workspace.h"
#include "geo/KeyValueFile.h"
#include "geo/OutputFiles.h"
#include "geo/Table.h"
#endif

namespace tarnwell::fuzz {
namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "broken promise: %s\n", what);
  std::abort();
}

// read() may only fail with the system's error naming `file` (or, with `prefix`, a file
// under it), which then goes to check(e).
template <class Read, class Check = void (*)(const TarnwellError&)>
void Reading(
    const std::string& file, Read&& read, Check&& check = [](const TarnwellError&) {}, bool prefix = false) {
  try {
    read();
  } catch (const TarnwellError& e) {
    if (prefix ? e.File().rfind(file, 0) != 0 : e.File() != file) Broken("error names another file");
    if (std::string(e.what()).find(e.File()) == std::string::npos) Broken("error message without the file name");
    check(e);
  }
}
// The same with the bytes as the text file `name`, given to read(r).
template <class Read, class Check = void (*)(const TarnwellError&)>
void ReadingText(
    const std::string& bytes, const std::string& name, Read&& read, Check&& check = [](const TarnwellError&) {}) {
  TextReader r = TextReader::FromString(bytes, name);
  Reading(
      name, [&] { read(r); }, check);
}

// A workspace of this process with Output/流域1 and Output/全流域, removed at a normal end.
const std::string& Scratch() {
  static const std::string* const root = [] {
    const auto r = std::filesystem::temp_directory_path() / ("tarnwell-fuzz-" + std::to_string(::getpid()));
    for (const char* d : {"Output/流域1", "Output/全流域"}) std::filesystem::create_directories(r / d);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Scratch(), ec);
    });
    return new std::string(r.string());
  }();
  return *root;
}

// A grid header's sizes (line 2): small grids are read for real, larger ones below the
// machine's limit left alone (they only spend memory), those above it or not converting refused.
enum class SizeClass { kSmall, kLarge, kRefused };
struct GridSize {
  bool sized = false;
  long long cols = 0, rows = 0;
  SizeClass size = SizeClass::kRefused;
  void Allocate(ModelState& s, bool asHeader = true) const {  // as the header when small, else 2 x 3
    const bool own = size == SizeClass::kSmall && asHeader;
    s.AllocateGrids(own ? static_cast<int>(rows) : 2, own ? static_cast<int>(cols) : 3);
  }
};

GridSize PeekGrid(const std::string& bytes) {
  GridSize g;
  int c = 0, w = 0;
  try {  // not text: the reader refuses it before any size matters
    TextReader r = TextReader::FromString(bytes, "peek");
    r.ReadLine();
    const FieldLine f = r.ReadFields();
    g.sized = f.Count() >= 2 && ParseInteger(f.Token(0), c) && ParseInteger(f.Token(1), w);
  } catch (const TarnwellError&) {
  }
  g.cols = c, g.rows = w;
  if (g.sized && c > 0 && w > 0 && g.cols * g.rows <= MaxGridCells())
    g.size = g.cols * g.rows <= (1 << 12) ? SizeClass::kSmall : SizeClass::kLarge;
  return g;
}

bool IsSeparator(char c) { return c == '\t' || c == ' ' || c == ',' || c == ';'; }

// A token of the splitter, and the two number conversions agreeing with the C library.
void CheckToken(const std::string& t) {
  if (t.empty() || t[0] == '#' || IsSeparator(t[0]) ||
      (t.find_first_of("\"'") == std::string::npos && std::any_of(t.begin(), t.end(), IsSeparator)))
    Broken("an empty token, or one holding a separator unquoted or starting with '#'");
  int i = 0;
  double d = 0;
  const bool isInt = ParseInteger(t, i), isReal = ParseReal(t, d);
  char* end = nullptr;
  errno = 0;
  if (isInt && (std::strtoll(t.c_str(), &end, 10) != i || errno || *end || t.find_first_of(".eE") != std::string::npos))
    Broken("ParseInteger disagrees with strtoll");
  if (isReal && (!std::isfinite(d) || t.find_first_not_of("+-.eE0123456789") != std::string::npos ||
                 std::strtod(t.c_str(), &end) != d || *end))
    Broken("ParseReal disagrees with strtod");
  if (isInt && (!isReal || d != i)) Broken("an integer that is not the same real");
}

// The line splitter, the decoder and the conversions of a line's fields, on any bytes.
void SplitFieldsReader(const std::string& bytes) {
  std::size_t total = 0;
  for (const std::string& t : SplitFields(bytes)) CheckToken(t), total += t.size();
  if (total > bytes.size()) Broken("tokens longer than the line");
  const std::string text = DecodeText(bytes);  // UTF-8 that the writer can encode again
  if (!IsValidUtf8(text)) Broken("DecodeText gave text that is not UTF-8");
  (void)EncodeGbk(text);
  TextReader r = TextReader::FromString(bytes, "fuzz.txt");
  for (int n = 0; n < 64 && !r.AtEnd(); ++n) {
    std::optional<FieldLine> read;
    Reading("fuzz.txt", [&] { read.emplace(r.ReadFields()); });  // a line that is not text
    if (read && read->LineNumber() != n + 1) Broken("line numbers out of step");
    for (int k = -1; read && k <= static_cast<int>(read->Count()); ++k) {
      Reading("fuzz.txt", [&] { (void)read->Integer(k); });
      Reading("fuzz.txt", [&] { (void)read->Real(k); });
    }
  }
}

// The terrain grid, read twice into one state (the second time meeting grids of its size):
// sized as its header, or refused at line 2 for a size too large or a file too short for it.
void TerrainGrid(const std::string& bytes) {
  const GridSize g = PeekGrid(bytes);
  if (g.size == SizeClass::kLarge) return;
  ModelState s;
  s.AllocateGrids(3, 2);
  for (int pass = 0; pass < 2; ++pass)
    ReadingText(
        bytes, "input/流域1/dem.grd",
        [&](TextReader& r) {
          ReadTerrainGrid(s, r);
          if (g.size != SizeClass::kSmall || s.GridRows != g.rows || s.GridCols != g.cols)
            Broken("grid accepted at a size other than its header's");
          for (const auto* v : {&s.SurfElev, &s.WTElev, &s.WTPrev, &s.CellSizeX, &s.CellSizeY, &s.GwConductivity,
                                &s.LandUse, &s.SlopeSine})
            if (v->size() != s.CellCount()) Broken("a grid not sized to the header");
        },
        [&](const TarnwellError& e) {
          const bool atSize = dynamic_cast<const InputError*>(&e) && e.Line() == 2;
          if (atSize && g.size == SizeClass::kSmall &&
              std::string(e.what()).find("the whole rest of the file") == std::string::npos)
            Broken("a small grid refused for its size");
          if (!dynamic_cast<const InputError*>(&e) && g.sized && g.size == SizeClass::kRefused)
            Broken("a refused size got past line 2");
        });
}

// The land-use grid after a terrain grid of its header's size or, by the first byte, 2 x 3.
void LandUseGrid(const std::string& in) {
  const GridSize g = PeekGrid(in.substr(std::min<std::size_t>(1, in.size())));
  if (in.empty() || g.size == SizeClass::kLarge) return;
  ModelState s;
  g.Allocate(s, (in[0] & 1) == 0);
  ReadingText(in.substr(1), "input/流域1/lucc.grd", [&](TextReader& r) {
    ReadLandUseGrid(s, r);
    if (g.size != SizeClass::kSmall || s.LandUse.size() != s.CellCount()) Broken("land use not sized to the grid");
  });
}

// The slope grid, at the sizes its own header names when they are small, else 2 x 3.
void SlopeGrid(const std::string& bytes) {
  ModelState s;
  PeekGrid(bytes).Allocate(s);
  ReadingText(bytes, "input/流域1/slope.grd", [&](TextReader& r) {
    ReadSlopeGrid(s, r);
    for (std::size_t i = 0; i < s.CellCount(); ++i)
      if ((s.SlopeMask[i] != 0.0 && s.SlopeMask[i] != 1.0) || (s.SlopeMask[i] == 1.0 && !(s.SlopeSine[i] > 0)))
        Broken("slope mask neither 0 nor 1, or masked in without a slope");
  });
}

// The parameter file fails on one of its 34 lines and leaves the erodibility mode alone.
void Parameters(const std::string& bytes) {
  ParameterSet p;
  p.ErodibilityMode = 1;
  ReadingText(
      bytes, "Parameters/当前参数文件.txt", [&](TextReader& r) { LoadParameters(r, p), (void)ListParameters(p); },
      [](const TarnwellError& e) {
        if (e.Line() < 1 || e.Line() > 34) Broken("parameter error outside lines 1-34");
      });
  if (p.ErodibilityMode != 1) Broken("loading changed the erodibility mode");
}

// The season file fails on line 2, where its day numbers are, or on line 1 for not being text.
void SeasonFile(const std::string& bytes) {
  ModelState s;
  ReadingText(
      bytes, "Parameters/season.txt", [&](TextReader& r) { ReadSeasonFile(s, r); },
      [](const TarnwellError& e) {
        const bool notText = std::string(e.what()).find("not a text file") != std::string::npos;
        if (e.Line() != 2 && !(e.Line() == 1 && notText)) Broken("season error not on line 2");
      });
}

// Counting the year blocks of a meteorological file: a block is a header and 365 day lines.
void MetBlocks(const std::string& bytes) {
  ReadingText(bytes, "input/流域1/met.in", [](TextReader& r) {
    const int blocks = CountMetYearBlocks(r);
    if (blocks < 0 || blocks * 366LL > r.LineNumber()) Broken("more blocks than the file has lines for");
  });
}

// A meteorological year; the first three bytes choose the lines read in earlier years, the
// area, the latitude and the season days.
void MetYear(const std::string& in) {
  if (in.size() < 3) return;
  const int a = static_cast<unsigned char>(in[0]), b = static_cast<unsigned char>(in[1]),
            c = static_cast<unsigned char>(in[2]);
  ModelState s;
  ParameterSet p;
  s.MetLinesRead = (a & 0x80) ? 367 * (a & 3) : a;
  s.BasinArea = (b & 1) ? 0.0 : 86.4 * (b >> 1);
  s.YearIndex = (b & 2) ? 1 : 2;
  p.Latitude = c - 128, p.EvapConversionCoef = 1.0;
  s.SeasonDay1 = 60 - c, s.SeasonDay2 = 120 + c * 4, s.SeasonDay3 = 250, s.SeasonDay4 = 300 - a * 3;
  ReadingText(in.substr(3), "input/流域1/met.txt", [&](TextReader& r) {
    ReadMeteorologicalYear(s, p, r);
    int days = 0;
    for (int m = 1; m <= 12; ++m) days += s.DaysInMonth[m];
    if ((s.DaysInYear != 365 && s.DaysInYear != 366) || days != s.DaysInYear) Broken("months do not make a year");
  });
}

// The outlet observations, year after year; the first byte chooses the length of the years.
void OutletObservations(const std::string& in) {
  if (in.empty()) return;
  ModelState s;
  s.DaysInYear = (in[0] & 1) ? 366 : 365;
  ReadingText(in.substr(1), "input/RiverDaily.in", [&](TextReader& r) {
    for (int year = 0; year < 4; ++year) ReadOutletObservations(s, r);
  });
}

// The sub-basin list: the sub-basins before a failure stay in the tables and the list alike.
void SubBasinList(const std::string& bytes) {
  Session session("/nonexistent-fuzz-workspace");
  const auto& s = session.state;
  std::size_t items = 1;  // the list's whole-basin item, when the read ends well
  ReadingText(
      bytes, "input/子流域.in", [&](TextReader& r) { LoadSubBasinList(session, r); },
      [&](const TarnwellError&) { items = 0; });
  const std::size_t n = static_cast<std::size_t>(s.SubBasinCount) + 1;
  if (session.listItems.size() != n - 1 + items) Broken("list items out of step with the table");
  if (s.SubBasinCount > 0 && (s.SubBasinName.size() != n || s.SubBasinK.size() != n || s.SubBasinX.size() != n ||
                              s.SubBasinFlow.size() != n || s.YearEndState.size() != n))
    Broken("sub-basin tables of different lengths");
}

// The calibration file: every range taken is one the model can take.
void CalibrationFile(const std::string& bytes) {
  ParameterSet current;
  current.SaturatedWaterContent = 0.45, current.FieldCapacity = 0.3, current.WiltingPoint = 0.12;
  ReadingText(
      bytes, "calibration.txt",
      [&](TextReader& r) {
        const CalibrationConfig c = ReadCalibrationFile(r, current);
        if (c.parameters.empty() || c.calibrationYears.empty()) Broken("taken without parameters or years");
        for (const CalibratedParameter& p : c.parameters) {
          const ParameterDomain* d = FindParameterDomain(p.name);
          if (!d || !d->Contains(p.lower) || !d->Contains(p.upper) || !(p.lower < p.upper) || (p.log && !(p.lower > 0)))
            Broken("a range the model cannot take was taken");
        }
        (void)c.Space();
      },
      [&](const TarnwellError& e) {
        if (e.Line() < 0 ||
            e.Line() > 1 + std::count_if(bytes.begin(), bytes.end(), [](char c) { return c == '\n' || c == '\r'; }))
          Broken("error outside the file's lines");
      });
}

#ifdef TARNWELL_FUZZ_GEO
// The import's daily tables in three layouts (ISO dates; whitespace, a skipped line, three
// date columns and no-data; semicolons with named date columns), and its configuration.
void ImportTables(const std::string& bytes) {
  const std::string path = Scratch() + "/table.txt";
  std::ofstream(path, std::ios::binary) << bytes;
  geo::TableFormat formats[3];
  formats[1].delimiter = ' ', formats[1].skipLines = 1, formats[1].header = false, formats[1].noData = "-9999";
  formats[1].dateColumns = {"1", "2", "3"};
  formats[2].delimiter = ';', formats[2].dateColumns = {"year", "month", "day"};
  for (const geo::TableFormat& format : formats)
    Reading(path, [&] {
      const geo::Table t = geo::Table::Read(path, path, format);
      for (int column = 0; column < 4; ++column)
        Reading(path, [&] {
          const geo::DailyValues v = geo::ReadDaily(t, column, geo::MakeDay(2000, 1, 1), geo::MakeDay(2000, 12, 31));
          if (v.values.size() != 366 || v.missing < 0 || v.missing > 366) Broken("a year of 366 days");
          geo::RequireEveryDay(t, v, "value");
          if (v.missing != 0) Broken("a gap not refused");
        });
    });
  Reading(path, [&] {
    const geo::KeyValueFile f = geo::KeyValueFile::Read(path, path, {"terrain", "years", "latitude"});
    if (f.Has("latitude")) f.Real("latitude");
  });
}

// What the export reads of the stored output holds rows of the output files' own widths.
void ExportReadback(const std::string& root) {
  const Workspace ws(root);
  Reading(
      "Output/流域1/",
      [&] {
        const geo::StationResults r = geo::ReadStationResults(ws, ws.ProgramDir() + "..\\Output\\流域1");
        for (const geo::DayRow& row : r.daily)
          if (row.values.size() != 14) Broken("a Daily.out row of another width");
        for (const auto* rows : {&r.sediment, &r.frozen})
          for (const geo::DayRow& row : *rows)
            if (row.values.size() != 4) Broken("a day row of another width");
        for (const geo::BudgetRow& row : r.budget)
          if (row.values.size() != 13 || row.month < 0 || row.month > 12) Broken("a Budget.out row");
      },
      [](const TarnwellError&) {}, true);
}

#endif

// Two years of one sub-basin's output files (the input split at form feeds) read back by the
// whole-basin step, the result viewer and the export.
void StoredOutput(const std::string& bytes) {
  const char* const files[] = {"Daily.out", "Daily_s.out", "Daily_f.out", "Budget.out", "Budget_s.out"};
  for (std::size_t i = 0, at = 0, end; i < 5; ++i, at = end + 1) {
    end = i == 4 ? bytes.size() : std::min(bytes.find('\f', at), bytes.size());
    std::ofstream(Scratch() + "/Output/流域1/" + files[i], std::ios::binary)
        << bytes.substr(std::min(at, end), end - std::min(at, end));
    std::ofstream(Scratch() + "/Output/全流域/" + files[i]);
  }
  Session session(Scratch());
  ModelState& s = session.state;
  s.ProgramDir = session.ws.ProgramDir();
  s.ResizeSubBasins(1);
  s.SubBasinName[1] = "甲";
  s.DaysInYear = 365;
  BasinAggregation agg;
  const StoredResults results = StoredResultsOf(session);
  const std::string dir = ResultDirectory(results, 1);
  auto reading = [](auto&& read) {
    Reading(
        "Output/", read, [](const TarnwellError&) {}, true);
  };
  reading([&] { ReadStatTables(results, dir, 2); });
  for (int year = 0; year < 2; ++year) {
    reading([&] { AggregateBasinDaily(session, agg, 1, 2000 + year); });
    reading([&] { AggregateBasinBudget(session, agg, 1); });
    reading([&] {
      if (const auto y = ReadDailySeries(results, dir, year + 1); y->DayCount < 0 || y->DayCount > kMaxDays)
        Broken("day count outside the year");
    });
  }
#ifdef TARNWELL_FUZZ_GEO
  ExportReadback(Scratch());
#endif
}

struct Reader {
  const char* name;  // as its corpus directory, tests/fuzz/corpus/<name>
  void (*run)(const std::string& bytes);
};
const Reader* Chosen(const char* name) {
  static const Reader readers[] = {
#ifdef TARNWELL_FUZZ_GEO
      {"fuzz_import_tables", ImportTables},
#endif
      {"fuzz_split_fields", SplitFieldsReader},
      {"fuzz_terrain_grid", TerrainGrid},
      {"fuzz_landuse_grid", LandUseGrid},
      {"fuzz_slope_grid", SlopeGrid},
      {"fuzz_parameters", Parameters},
      {"fuzz_season_file", SeasonFile},
      {"fuzz_met_blocks", MetBlocks},
      {"fuzz_met_year", MetYear},
      {"fuzz_outlet_observations", OutletObservations},
      {"fuzz_subbasin_list", SubBasinList},
      {"fuzz_calibration_file", CalibrationFile},
      {"fuzz_stored_output", StoredOutput}};

  for (const Reader& r : readers)
    if (name && std::string_view(name) == r.name) return &r;
  std::fprintf(stderr, "no fuzzed reader named \"%s\"\n", name ? name : ""), std::exit(2);
}

}  // namespace
}  // namespace tarnwell::fuzz

#ifdef TARNWELL_FUZZ_REPLAY
int main(int argc, char** argv) {
  const auto* reader = tarnwell::fuzz::Chosen(argc > 1 ? argv[1] : nullptr);
  std::vector<std::filesystem::path> inputs;
  for (int i = 2; i < argc; ++i)
    for (const auto& e : std::filesystem::directory_iterator(argv[i]))
      if (e.is_regular_file()) inputs.push_back(e.path());
  std::sort(inputs.begin(), inputs.end());
  for (const auto& p : inputs) {
    std::ifstream in(p, std::ios::binary);
    std::printf("%s\n", p.filename().c_str()), std::fflush(stdout);
    reader->run(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return inputs.empty() ? 1 : 0;  // an empty corpus replays nothing: a mistake in the suite
}
#else
static const tarnwell::fuzz::Reader* chosen = nullptr;
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return chosen = tarnwell::fuzz::Chosen(std::getenv("TARNWELL_FUZZ_READER")), 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return chosen->run(std::string(reinterpret_cast<const char*>(data), size)), 0;
}
#endif
