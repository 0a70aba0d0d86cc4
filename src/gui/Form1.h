// The main window: the banner, the command column with the sub-basin list and the progress
// display, and the work area with the start-up picture, the results area (charts and
// statistics tables) and the maps area.
//
// Long actions (the run, the next-year step, browsing, the maps) run on a worker thread
// against the session; while one runs, every command that could start another is disabled,
// and the worker reports progress to the window through queued signals.
#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/GuiSupport.h"
#include "viewer/ResultsReader.h"

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QWidget;

namespace tarnwell {
struct Session;
struct ModelState;
class DayEngine;
class Driver;
}  // namespace tarnwell

namespace tarnwell::gui {

// What the charts draw, copied from the model while it holds the year: the day series,
// the day counts and the year.
using ChartSnapshot = std::shared_ptr<const ModelState>;

class ImageControl;
class WindowProgress;
class TForm2;
class TForm3;
class TForm4;

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  TForm1(Session& session, MessageSink& messages, QWidget* parent = nullptr);
  ~TForm1() override;

  // Start-up (StartUpWorkspace) with its error shown, then the list box filled.
  void FormCreate();

  // Handlers of the buttons and menu items.
  void Button1Click();  // "读取文件"
  void Button2Click();  // "设置参数"
  void Button3Click();  // "模拟计算"
  void Button4Click();  // "流域地表图"
  void Button5Click();  // "模拟结果图"
  void Button6Click();  // "退      出"
  void Button7Click();  // "下一年"
  void ListBox1Dblclick();
  void N1Click();  // "操作指南（&G）"
  void N2Click();  // "关    于（&A）"

  bool Busy() const { return busy_; }
  // Blocks (servicing events) until the action in progress has ended; for tests and for
  // closing the window during a run.
  void WaitUntilIdle();

  TForm2* Form2() const { return form2_; }
  TForm3* Form3() const { return form3_; }
  TForm4* Form4() const { return form4_; }

  // The shell's "open"; replaceable so tests see what would be opened.
  ShellOpener OpenDocument;
  // Where the user guide lies when no help.chm is in the current directory.
  QString GuideDirectory;

 signals:
  void ActionFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  friend class WindowProgress;
  void BuildLayout();
  void BuildMenu();
  QPushButton* CommandButton(const char* name, const char* caption, int top);
  // Runs work on the worker thread; then, on the window's thread, after (if given) and
  // the error of work (if any) shown in a message box.
  void StartAction(std::function<void()> work, std::function<void()> after = {});
  void SetBusy(bool busy);
  void ShowError(const QString& text);

  // Window changes asked for by the model's actions (always on the window's thread).
  void ShowResultsPanel(bool runStage);
  void ShowMapsPanel();
  // On the worker thread: the yearly maps of every cell of the selected sub-basin for a
  // year (the last there is when it has not that one), posted to the window, which shows
  // the hint where the run kept none.
  void DrawYearlyMaps(int year);
  void ShowYearlyMaps(const std::vector<int>& years, int year, const std::vector<QImage>& pictures);
  void ShowStatTables(const ResultTables& tables);
  void ShowCharts(const ChartSnapshot& chart);
  // On the worker thread: the tables of the files the driver or viewer has bound, the
  // chart series of the model, and the stored results of SelectedSubBasin up to YearIndex
  // (posted to the window).
  ResultTables ReadStatTables(int k, int years) const;
  ChartSnapshot TakeChartSnapshot() const;
  void ReadStoredResults();

  Session& session_;
  MessageSink& messages_;
  std::unique_ptr<WindowProgress> progress_;
  std::unique_ptr<DayEngine> engine_;
  std::unique_ptr<Driver> driver_;
  bool busy_ = false;
  bool closePending_ = false;
  QFutureWatcher<QString>* watcher_ = nullptr;
  std::function<void()> after_;

  QFrame* panel1_ = nullptr;
  QGroupBox* groupBox1_ = nullptr;
  QListWidget* listBox1_ = nullptr;
  QPushButton *button1_ = nullptr, *button2_ = nullptr, *button3_ = nullptr, *button4_ = nullptr, *button5_ = nullptr,
              *button6_ = nullptr, *button7_ = nullptr;
  QLabel *label1_ = nullptr, *label2_ = nullptr;
  QProgressBar* progressBar1_ = nullptr;
  QLabel* imageM_ = nullptr;
  QWidget *panel2_ = nullptr, *panel3_ = nullptr;
  QTabWidget *pageControl1_ = nullptr, *pageControl2_ = nullptr;
  QWidget *tabSheet1_ = nullptr, *tabSheet2_ = nullptr, *tabSheet3_ = nullptr, *tabSheet4_ = nullptr,
          *tabSheet5_ = nullptr, *tabSheet6_ = nullptr, *tabSheet7_ = nullptr, *tabSheet8_ = nullptr;
  ImageControl *image1_ = nullptr, *image2_ = nullptr, *image7_ = nullptr;
  ImageControl *image3_ = nullptr, *image4_ = nullptr, *image5_ = nullptr;
  // The pages of the yearly maps: their pictures, their hints and the year chooser.
  std::vector<ImageControl*> yearlyImages_;
  std::vector<QLabel*> yearlyHints_;
  QComboBox* comboBoxYear_ = nullptr;
  QTableWidget *stringGrid1_ = nullptr, *stringGrid2_ = nullptr;
  QAction *x1_ = nullptr, *s1_ = nullptr, *s2_ = nullptr, *n3_ = nullptr, *n1_ = nullptr, *n2_ = nullptr;
  QAction* carryOverCells_ = nullptr;

  TForm2* form2_ = nullptr;
  TForm3* form3_ = nullptr;
  TForm4* form4_ = nullptr;
};

}  // namespace tarnwell::gui
