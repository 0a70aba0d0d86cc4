// "tarnwell bench": one year of a synthetic sub-basin built in memory, run with the
// reference sweeps and with the fused engine in the same process. Prints the time, the
// cell-days per second and the model-state bytes of each, the machine's streaming-copy
// bandwidth and the bytes the fused engine moves per cell-day, checks that the two give
// the same daily series to the bit, and ends with the speed ratio. Before that, the speed
// of the grid and meteorological readers on text laid out as the demo's files are.
#include <stdlib.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/DayEngine.h"
#include "app/FusedEngine.h"
#include "app/WorkerPool.h"
#include "cli/Commands.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Calendar.h"
#include "model/ModelState.h"
#include "parameters/ParaDialog.h"
#include "processes/Processes.h"
#include "processes/Weather.h"

namespace tarnwell::cli {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A parameter set of a temperate basin with cold winters.
ParameterSet BenchParameters() {
  ParameterSet p;
  p.Latitude = 45;
  p.EvapConversionCoef = 1.0;
  p.SimYears = 1;
  p.SoilLayerEvapWeight = {0.5, 0.3, 0.2};
  p.EtAvailabilityParam = 2.0;
  p.OpenWaterEvapCoef = 1.1;
  p.SoilEvapParam = 0.3;
  p.TranspirationDeficitCoef = 0.5;
  p.FreeWaterOutflowSurface = 0.3;
  p.FreeWaterOutflowInterflow = 0.2;
  p.FreeWaterOutflowGroundwater = 0.05;
  p.FreeWaterThresholdSurface = 10;
  p.FreeWaterThresholdInterflow = 5;
  p.WmCurveExponent = 0.3;
  p.InterflowRecessionCoef = 0.8;
  p.GroundwaterRecessionCoef = 0.95;
  p.DeepLeakageCoef = 0.1;
  p.GroundwaterOutflowCoef = 0.2;
  p.WaterTableExponent = 0.5;
  p.SnowMeltRate = 3.0;
  p.SnowEvapRate = 0.1;
  p.PreferentialFlowPorosity = 0.1;
  p.SoilFreezeRate = 1.0;
  p.SnowfallTemp = 0.0;
  p.SoilFreezeTemp = -2.0;
  p.SaturatedWaterContent = 0.45;
  p.FieldCapacity = 0.3;
  p.WiltingPoint = 0.1;
  p.LayerThickness1 = 100;
  p.LayerThickness2 = 300;
  p.LayerThickness3 = 600;
  p.UpperLayerDrainageRate = 0.1;
  p.Erodibility = {0.25, 0.31, 0.32, 0.33, 0.34, 0.35, 0.36, 0.37, 0.38};
  p.ErodibilityMode = 0;
  return p;
}

// A repeatable pseudo-random value in [0, 1) of two integers.
double Hash(std::uint32_t a, std::uint32_t b) {
  std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return (h & 0xFFFFFF) / 16777216.0;
}

// An n x n sub-basin: a lobed outline covering about 70 % of the grid, terrain rising
// from the outlet with some roughness, patches of every land-use class, slopes of 1 to 25
// degrees; one year of weather with snow, frozen-soil and rain days.
void BuildBasin(ModelState& s, const ParameterSet& p, int n) {
  s.AllocateGrids(n, n);
  const double half = 0.5 * n;
  const double codes[] = {11, 25, 35, 45, 55, 65, 105, 28, 33, 15};
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      const std::size_t i = static_cast<std::size_t>(r) * static_cast<std::size_t>(n) + static_cast<std::size_t>(c);
      const double x = (c + 0.5 - half) / half, y = (r + 0.5 - half) / half;
      const double rho = std::sqrt(x * x + y * y), theta = std::atan2(y, x);
      const bool inside = rho < 0.95 * (1 + 0.12 * std::sin(5 * theta));
      const auto ur = static_cast<std::uint32_t>(r), uc = static_cast<std::uint32_t>(c);
      const double z = 300 + 450 * rho + 25 * Hash(ur, uc);
      s.SurfElev[i] = inside ? z : 0.0;
      s.LandUse[i] = codes[static_cast<int>(10 * Hash(ur / 23, uc / 29))];
      const double degrees = 1 + 24 * Hash(uc, ur);
      s.SlopeSine[i] = std::sin(3.14159265358979 * degrees / 180);
      s.SlopeMask[i] = 1;
      s.WTElev[i] = s.SurfElev[i] - 3.0;
      s.WTPrev[i] = s.WTElev[i];
      s.CellSizeX[i] = 100;
      s.CellSizeY[i] = 100;
      s.GwConductivity[i] = 5.0;
      s.Uz1[i] = 0.6 * p.FieldCapacity * p.LayerThickness1;
      s.Uz2[i] = 0.6 * p.FieldCapacity * p.LayerThickness2;
      s.Uz3[i] = 0.6 * p.FieldCapacity * p.LayerThickness3;
      s.CellFlag[i] = inside ? 1 : -1;
    }
  }
  s.StationElev = 500;
  s.CurYear = 2001;
  s.DaysInYear = 365;
  s.SeasonDay1 = 90;
  s.SeasonDay2 = 140;
  s.SeasonDay3 = 250;
  s.SeasonDay4 = 300;
  ComputeGrowthIndex(s, 365);
  int d = 0;
  for (int m = 1; m <= 12; ++m) {
    for (int k = 1; k <= MonthLength(s.CurYear, m); ++k) {
      ++d;
      const auto ud = static_cast<std::uint32_t>(d);
      s.DailyTemp[d] = 5 - 14 * std::cos(2 * 3.14159265358979 * (d - 15) / 365.0) + 6 * (Hash(ud, 7) - 0.5);
      const double wet = Hash(ud, 11);
      s.DailyPrecip[d] = wet < 0.55 ? 0.0 : 40 * (wet - 0.55) * (wet - 0.55) * 10;
      s.DailyPET[d] = (0.4 * s.GrowthIndex[d] + 1.0) *
                      HamonPetValue(m, k, s.DailyTemp[d], p.Latitude, p.EvapConversionCoef) / 1.4;
    }
  }
}

// What the driver takes from a day: the totals and the three means the engine sets.
struct DaySeriesRecord {
  std::vector<double> values;
  void Add(const DayTotals& t, const ModelState& s, int d) {
    for (double v : {t.CellPrecip, t.Interception, t.UnsatDrain, t.Uz1, t.Uz2, t.Uz3, t.ActualET, t.Subflow,
                     t.SurfaceRunoff, t.DeepLeakage, t.CellErosion, t.WTElev, static_cast<double>(t.cellCount),
                     s.MeanSnowPack[d], s.MeanFrozen[d], s.GwFlow[d]})
      values.push_back(v);
  }
};

struct EngineRun {
  double seconds = 0, setupSeconds = 0;
  std::size_t stateBytes = 0;
  DaySeriesRecord series;
  int snowDays = 0, frozenDays = 0, rainDays = 0;
};

// Runs body(t) for t = 0 .. threads - 1, each on a thread of its own.
void OnThreads(int threads, const std::function<void(int)>& body) { WorkerPool(threads).Run(body); }

// Streaming copy between two buffers of 256 MB on `threads` threads: bytes read plus bytes
// written per second, best of five.
double CopyBandwidth(int threads) {
  const std::size_t bytes = std::size_t{256} << 20;
  std::vector<char> a(bytes, 1), b(bytes, 2);
  double best = 0;
  for (int rep = 0; rep < 5; ++rep) {
    const auto start = Clock::now();
    const std::size_t share = bytes / static_cast<std::size_t>(threads);
    OnThreads(threads, [&](int t) {
      const std::size_t from = share * static_cast<std::size_t>(t);
      std::memcpy(b.data() + from, a.data() + from, share);
    });
    const double s = Seconds(start);
    best = std::max(best, 2.0 * static_cast<double>(bytes) / s);
    std::swap(a, b);
  }
  return best;
}

// A terrain grid of n x n cells as the import writes one: integer extents, values with up
// to two decimals, -9999 outside a round sub-basin, CR LF.
std::string GridText(int n) {
  std::string text = "DSAA\r\n" + std::to_string(n) + " " + std::to_string(n) + "\r\n0 " + std::to_string(500 * n) +
                     "\r\n0 " + std::to_string(500 * n) + "\r\n100 1500\r\n";
  char value[32];
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      const double dr = r - n / 2.0, dc = c - n / 2.0;
      const bool inside = dr * dr + dc * dc < n * n / 4.0;
      const int len = inside ? std::snprintf(value, sizeof value, "%.2f",
                                             300 + 0.37 * r + 0.11 * c + (r * 7 + c * 3) % 13 * 0.01)
                             : std::snprintf(value, sizeof value, "-9999");
      text.append(value, static_cast<std::size_t>(len));
      text += c + 1 < n ? ' ' : '\r';
    }
    text += '\n';
  }
  return text;
}

// Twenty years of a meteorological file as the import writes one.
std::string MetText(int years) {
  std::string text;
  char line[96];
  for (int y = 0; y < years; ++y) {
    const int year = 1990 + y;
    const int days = YearLength(year);
    text += std::to_string(year) + " 12 1 1 426\r\n";
    int month = 1, day = 1;
    for (int d = 1; d <= days; ++d) {
      const int len = std::snprintf(line, sizeof line, "%d %d %d 0 %.2f %.2f %.3f 0\r\n", year, month, day,
                                    d % 5 == 0 ? 3.2 + d % 7 : 0.0, 9.5 + 10 * std::sin(d / 58.1), 40 + d % 31 * 1.7);
      text.append(line, static_cast<std::size_t>(len));
      if (++day > MonthLength(year, month)) day = 1, ++month;
    }
  }
  return text;
}

// A directory of this process alone under the system's temporary directory (mkdtemp: a
// fresh name, mode 0700, so no link planted beforehand is followed), removed with all it
// holds when the benchmark ends.
class PrivateDirectory {
 public:
  PrivateDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwell-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error(pattern + ": cannot make the benchmark's temporary directory: " + std::strerror(errno));
    path_ = pattern;
  }
  ~PrivateDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  PrivateDirectory(const PrivateDirectory&) = delete;
  PrivateDirectory& operator=(const PrivateDirectory&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Megabytes per second of a reader over text written to a file first, best of three runs,
// each from opening the file (its bytes then come from the page cache, not the disk).
template <typename Read>
double ReaderSpeed(const PrivateDirectory& dir, const std::string& text, const std::string& name, Read read) {
  const std::filesystem::path file = dir.Path() / name;
  {
    std::ofstream out(file, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw std::runtime_error(file.string() + ": cannot write the benchmark's input");
  }
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    TextReader reader(file.string(), name);
    read(reader);
    best = std::min(best, Seconds(start));
  }
  std::filesystem::remove(file);
  return static_cast<double>(text.size()) / best / 1e6;
}

void PrintReaderSpeeds(int n) {
  const PrivateDirectory dir;
  const std::string grid = GridText(n);
  double sum = 0;
  const double gridSpeed = ReaderSpeed(dir, grid, "dem.grd",
                                       [&](TextReader& r) { sum += ParseGridFile(r, true).values[0]; });
  const std::string met = MetText(20);
  const double metSpeed = ReaderSpeed(dir, met, "weather.in", [&](TextReader& r) {
    for (int y = 0; y < 20; ++y) sum += ReadMetBlock(r).precip[0];
  });
  std::printf("readers: terrain grid %.1f MB at %.0f MB/s, meteorological file (20 years) %.1f MB at %.0f MB/s\n",
              static_cast<double>(grid.size()) / 1e6, gridSpeed, static_cast<double>(met.size()) / 1e6, metSpeed);
  if (sum != sum) std::printf("(no value)\n");  // keeps the reads from being optimised away
}

EngineRun RunReference(int n, int days, const ParameterSet& p) {
  EngineRun run;
  ModelState s;
  auto start = Clock::now();
  BuildBasin(s, p, n);
  ReferenceDayEngine engine;
  engine.BeginYear(s, p);
  run.setupSeconds = Seconds(start);
  run.stateBytes = s.GridBytes();
  start = Clock::now();
  for (int d = 1; d <= days; ++d) {
    s.DayCount = d;
    const DayTotals t = engine.RunDay(s, p, d);
    run.series.Add(t, s, d);
    run.snowDays += s.DailyTemp[d] < p.SnowfallTemp && s.DailyPrecip[d] > 0;
    run.rainDays += s.DailyTemp[d] > p.SnowfallTemp && s.DailyPrecip[d] > 0;
    run.frozenDays += s.MeanFrozen[d] > 0;
  }
  run.seconds = Seconds(start);
  return run;
}

EngineRun RunFused(int n, int days, int threads, const ParameterSet& p, std::size_t& inside) {
  EngineRun run;
  ModelState s;
  auto start = Clock::now();
  BuildBasin(s, p, n);
  FusedDayEngine engine(threads);
  engine.BeginYear(s, p);
  run.setupSeconds = Seconds(start);
  inside = engine.InsideCells();
  // The grids were only the source of the engine's state; the days never touch them.
  ModelState empty;
  empty.GridRows = s.GridRows;
  empty.GridCols = s.GridCols;
  for (int d = 0; d <= kMaxDays; ++d) {
    empty.DailyPrecip[d] = s.DailyPrecip[d];
    empty.DailyTemp[d] = s.DailyTemp[d];
    empty.DailyPET[d] = s.DailyPET[d];
    empty.GrowthIndex[d] = s.GrowthIndex[d];
  }
  empty.StationElev = s.StationElev;
  s = ModelState();  // every grid released
  run.stateBytes = engine.StateBytes();
  start = Clock::now();
  for (int d = 1; d <= days; ++d) {
    empty.DayCount = d;
    const DayTotals t = engine.RunDay(empty, p, d);
    run.series.Add(t, empty, d);
  }
  run.seconds = Seconds(start);
  return run;
}

}  // namespace

struct BenchOptions {
  int size = 1000;
  int threads = 0;
  int days = 365;
};

int RunBenchmark(const BenchOptions& options) {
  const int n = options.size;
  const unsigned hw = std::thread::hardware_concurrency();
  const int threads = options.threads > 0 ? options.threads : (hw == 0 ? 1 : static_cast<int>(hw));
  const int days = options.days;
  const ParameterSet p = BenchParameters();

  std::printf("synthetic sub-basin: %d x %d cells, %d days\n", n, n, days);
  PrintReaderSpeeds(n);
  const double bandwidth = CopyBandwidth(threads);
  std::printf("memory bandwidth (streaming copy, %d threads): %.1f GB/s read + written\n", threads, bandwidth / 1e9);
  std::fflush(stdout);

  std::size_t inside = 0;
  const EngineRun fused = RunFused(n, days, threads, p, inside);
  const double cellDays = static_cast<double>(inside) * days;
  std::printf("inside cells: %zu (%.1f %%)\n", inside,
              100.0 * static_cast<double>(inside) / (static_cast<double>(n) * n));
  std::printf(
      "fused:     %8.2f s  %10.3e cell-days/s  %d threads  state %zu bytes (%.1f per inside cell)  set-up %.2f s\n",
      fused.seconds, cellDays / fused.seconds, threads, fused.stateBytes,
      static_cast<double>(fused.stateBytes) / static_cast<double>(inside), fused.setupSeconds);
  std::fflush(stdout);
  const EngineRun ref = RunReference(n, days, p);
  std::printf("reference: %8.2f s  %10.3e cell-days/s  1 thread   state %zu bytes (%.1f per inside cell)\n",
              ref.seconds, cellDays / ref.seconds, ref.stateBytes,
              static_cast<double>(ref.stateBytes) / static_cast<double>(inside));
  std::printf("weather: %d snow days, %d rain days, %d days with frozen soil\n", ref.snowDays, ref.rainDays,
              ref.frozenDays);
  const double moved = FusedDayEngine::BytesPerCellDay();
  const double rate = moved * cellDays / fused.seconds;
  std::printf("fused: %.0f bytes moved per cell-day, %.2f GB/s = %.0f %% of the copy bandwidth\n", moved, rate / 1e9,
              100 * rate / bandwidth);
  const bool same = ref.series.values.size() == fused.series.values.size() &&
                    std::memcmp(ref.series.values.data(), fused.series.values.data(),
                                ref.series.values.size() * sizeof(double)) == 0;
  std::printf("daily series of the two engines: %s\n", same ? "identical" : "DIFFERENT");
  std::printf("fused/reference speed = %.2f at %d x %d cells, %d threads\n", ref.seconds / fused.seconds, n, n,
              threads);
  return same ? 0 : 1;
}

void AddBenchCommand(CLI::App& app, CommandMap& commands) {
  auto o = std::make_shared<BenchOptions>();
  CLI::App* bench = app.add_subcommand("bench", "time both engines on a synthetic N x N sub-basin");
  // Both engines' state for the grid must fit this machine's memory.
  const int largest = static_cast<int>(std::sqrt(static_cast<double>(MaxGridCells()) / 2));
  bench->add_option("--size", o->size, "cells along each side (default 1000)")->check(CLI::Range(2, largest));
  AddThreadsOption(*bench, o->threads, "threads of the fused engine (default: every hardware thread)");
  bench->add_option("--days", o->days, "days to simulate (default 365)")->check(CLI::Range(1, 365));
  commands[bench] = [o] { return RunBenchmark(*o); };
}

}  // namespace tarnwell::cli
