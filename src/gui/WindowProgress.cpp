#include "gui/WindowProgress.h"

#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>

#include "gui/Form1.h"
#include "gui/GuiSupport.h"

namespace tarnwell::gui {

void WindowProgress::Post(std::function<void()> change) {
  QMetaObject::invokeMethod(&window_, std::move(change), Qt::QueuedConnection);
}

void WindowProgress::SetLabel1(const std::string& text) {
  Post([w = &window_, t = Q(text)] { w->label1_->setText(t); });
}

void WindowProgress::SetLabel2(const std::string& text) {
  Post([w = &window_, t = Q(text)] { w->label2_->setText(t); });
}

void WindowProgress::SetProgressMax(int maximum) {
  Post([w = &window_, maximum] { w->progressBar1_->setMaximum(maximum); });
}

void WindowProgress::SetProgressPosition(int position) {
  Post([w = &window_, position] { w->progressBar1_->setValue(position); });
}

void WindowProgress::ShowResultsPanel() {
  Post([w = &window_] { w->ShowResultsPanel(true); });
}

void WindowProgress::FillStatGrids(int k, int yearIndex) {
  ResultTables tables = window_.ReadStatTables(k, yearIndex);
  Post([w = &window_, tables = std::move(tables)] { w->ShowStatTables(tables); });
}

void WindowProgress::DrawCharts(int, int) {
  ChartSnapshot chart = window_.TakeChartSnapshot();
  Post([w = &window_, chart = std::move(chart)] { w->ShowCharts(chart); });
}

void WindowProgress::ShowMessage(const std::string& text) {
  Post([w = &window_, t = Q(text)] { w->messages_.Notice(w, t); });
}

void WindowProgress::ShowResults(int) { window_.ReadStoredResults(); }

}  // namespace tarnwell::gui
