// The driver's observer for the main window. The driver calls it on the worker thread;
// every call that changes the window is handed to the window's thread in call order, and
// what a drawing needs from the model (tables, day series) is copied on the worker thread
// while the model holds it.
#pragma once

#include <functional>

#include "app/Progress.h"

namespace tarnwell::gui {

class TForm1;

class WindowProgress : public ProgressObserver {
 public:
  explicit WindowProgress(TForm1& window) : window_(window) {}

  void SetLabel1(const std::string& text) override;
  void SetLabel2(const std::string& text) override;
  void SetProgressMax(int maximum) override;
  void SetProgressPosition(int position) override;
  void ShowResultsPanel() override;
  void FillStatGrids(int k, int yearIndex) override;
  void DrawCharts(int k, int yearIndex) override;
  void ShowMessage(const std::string& text) override;
  void ShowResults(int yearIndex) override;

 private:
  void Post(std::function<void()> change);
  TForm1& window_;
};

}  // namespace tarnwell::gui
