// What a running simulation shows: the two labels and the progress bar of the main
// window, the panel switch of a run, the statistics tables and charts after every
// sub-basin's year, and the driver's messages. The window implements it over its
// widgets; the command line over standard error. Every hook has an empty default.
#pragma once

#include <string>

namespace tarnwell {

class ProgressObserver {
 public:
  virtual ~ProgressObserver() = default;

  // Label1: the sub-basin being simulated, "子流域" + k + two blanks.
  virtual void SetLabel1(const std::string& text) { (void)text; }
  // Label2: the stage ("数据读取", "模拟准备", "模拟计算", "结果统计") or the day ("第N天").
  virtual void SetLabel2(const std::string& text) { (void)text; }
  // ProgressBar1.
  virtual void SetProgressMax(int maximum) { (void)maximum; }
  virtual void SetProgressPosition(int position) { (void)position; }

  // A run's preparation of sub-basin k: show the results panel Panel2, hide the maps
  // panel Panel3, make TabSheet1 visible and TabSheet2 and TabSheet8 invisible.
  virtual void ShowResultsPanel() {}
  // After sub-basin k's year rows are written: FillStatGrids(StringGrid1, StringGrid2).
  virtual void FillStatGrids(int k, int yearIndex) { (void)k, (void)yearIndex; }
  // Then the charts of that year (DrawChartFrame on Image1, Image2, Image7 with CurYear,
  // then DrawResultCharts); AirTempAdj is set for days 1..DayCount.
  virtual void DrawCharts(int k, int yearIndex) { (void)k, (void)yearIndex; }
  // "This is the last year!" and "have finished the simulation!".
  virtual void ShowMessage(const std::string& text) { (void)text; }
  // What the check before a run found that the run can do but should not be asked to (a
  // sentence naming the sub-basin); the run goes on.
  virtual void ShowWarning(const std::string& text) { (void)text; }
  // The next-year step in browsing mode: show the stored results of that year.
  virtual void ShowResults(int yearIndex) { (void)yearIndex; }

  // Beside the window's own display: a day counted in sub-basin k's year (after Label2),
  // sub-basin k's year finished (its day tables still hold the year, SimFlow in mm), and
  // the whole-basin year written (BasinFlow, BasinObsFlow hold it).
  virtual void DayCounted(int k, int dayCount) { (void)k, (void)dayCount; }
  virtual void SubBasinYearDone(int k, int yearIndex) { (void)k, (void)yearIndex; }
  virtual void BasinYearDone(int yearIndex) { (void)yearIndex; }
};

}  // namespace tarnwell
