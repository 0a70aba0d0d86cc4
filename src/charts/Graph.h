// The three result charts of a sub-basin's year: runoff (Image1), sediment (Image2) and
// snow / frozen soil (Image7). Precipitation hangs from the top of each; the snow/frost
// drawings stand on a base line lifted by 250 pixels. Plot edges are 45 and W - 40.
#pragma once

namespace tarnwell {

struct ModelState;
class Canvas;

enum class ChartKind { Runoff, Sediment, SnowFrost };

// Design size of the chart images.
inline constexpr int kChartWidth = 853, kChartHeight = 554;

// Clears the canvas and draws border, axes, ticks, legend and the year title.
void DrawChartFrame(Canvas& image, ChartKind kind, int year);

// The axis labels and every series of the three charts from the year's day series
// (ObsFlow, SimFlow, MeanPrecip, ObsSediment, SimSediment, MeanSnowPack, MeanFrozen,
// AirTempAdj, GroundWaterLevel) over DayCount days (0: the whole year, DaysInYear). The
// scales are taken from the series drawn, so each drawing fits its own year. The observed
// lines leave a gap over days without observation, and their maxima ignore those days.
// With SelectedSubBasin = SubBasinCount + 1 (and SubBasinCount > 0) the series are the
// whole basin's, whose runoff is an outlet discharge in m3/s.
void DrawResultCharts(const ModelState& year, Canvas& image1, Canvas& image2, Canvas& image7);

}  // namespace tarnwell
