#include "gui/Form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/OutputBinding.h"
#include "app/RunSettings.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "app/WorkspaceLock.h"
#include "gui/ChartImage.h"
#include "gui/ChartPainter.h"
#include "gui/Form2.h"
#include "gui/Form3.h"
#include "gui/Form4.h"
#include "gui/MapMaker.h"
#include "gui/WindowProgress.h"
#include "gui/YearlyMaps.h"
#include "model/Errors.h"

namespace tarnwell::gui {

namespace {

constexpr int kClientWidth = 1008, kClientHeight = 670;
constexpr int kBannerHeight = 73, kColumnWidth = 143;
constexpr int kWorkWidth = 865, kWorkHeight = 597;

QWidget* Page(QTabWidget* tabs, const char* name, const char* title) {
  auto* page = new QWidget;
  page->setObjectName(name);
  tabs->addTab(page, title);
  return page;
}

QTableWidget* StringGrid(const char* name, QWidget* page, int columns) {
  auto* grid = new QTableWidget(1, columns, page);
  grid->setObjectName(name);
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->horizontalHeader()->setDefaultSectionSize(92);
  grid->verticalHeader()->setDefaultSectionSize(22);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(grid);
  return grid;
}

ImageControl* FillingImage(const char* name, QWidget* page) {
  auto* image = new ImageControl(false, page);
  image->setObjectName(name);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(image);
  return image;
}

ImageControl* MapImage(const char* name, QWidget* page) {
  page->setAutoFillBackground(true);
  QPalette cream = page->palette();
  cream.setColor(QPalette::Window, QColor(255, 251, 240));
  page->setPalette(cream);
  auto* image = new ImageControl(true, page);
  image->setObjectName(name);
  image->setGeometry(20, 20, 780, 500);
  return image;
}

}  // namespace

TForm1::TForm1(Session& session, MessageSink& messages, QWidget* parent)
    : QMainWindow(parent), session_(session), messages_(messages) {
  setObjectName("Form1");
  setWindowTitle("Tarnwell");
  setFont(SansSerif(20));
  OpenDocument = DesktopOpener();
  GuideDirectory = QCoreApplication::applicationDirPath();
  BuildLayout();
  BuildMenu();
  // A fixed frame: the layout is laid out in pixels.
  setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().center() - rect().center());

  watcher_ = new QFutureWatcher<QString>(this);
  connect(watcher_, &QFutureWatcher<QString>::finished, this, [this] {
    const QString error = watcher_->result();
    std::function<void()> after = std::move(after_);
    after_ = nullptr;
    if (after) after();
    SetBusy(false);
    if (!error.isEmpty()) ShowError(error);
    emit ActionFinished();
    if (closePending_) close();
  });

  progress_ = std::make_unique<WindowProgress>(*this);
  // The fused engine where one is built (the reference engine otherwise); both give the
  // same results to the bit.
  engine_ = MakeDayEngine("fused", std::max(1, QThread::idealThreadCount()));
  driver_ = std::make_unique<Driver>(session_, *progress_, *engine_);
  // Many sub-basins run side by side on the cores; the window shows each as it finishes.
  driver_->RunSideBySide(std::max(1, QThread::idealThreadCount()),
                         [](int threads) { return MakeDayEngine("fused", threads); });

  form2_ = new TForm2(this);
  form3_ = new TForm3(session_, messages_, this);
  form4_ = new TForm4(this);
}

TForm1::~TForm1() {
  if (watcher_ && watcher_->isRunning()) watcher_->waitForFinished();
}

QPushButton* TForm1::CommandButton(const char* name, const char* caption, int top) {
  auto* button = new QPushButton(caption, groupBox1_);
  button->setObjectName(name);
  button->setFont(HeiTi(14));
  button->setGeometry(15, top, 113, 33);
  return button;
}

void TForm1::BuildLayout() {
  auto* client = new QWidget(this);
  client->setObjectName("ClientArea");
  client->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(client);

  panel1_ = new QFrame(client);
  panel1_->setObjectName("Panel1");
  panel1_->setGeometry(0, 0, kClientWidth, kBannerHeight);
  panel1_->setStyleSheet(
      "QFrame#Panel1 { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
      "stop:0 #d7e4f2, stop:1 #f4f8fc); }");
  auto* banner = new QLabel("Tarnwell", panel1_);
  banner->setObjectName("BannerTitle");
  banner->setFont(HeiTi(39));
  banner->setStyleSheet("color: rgb(128, 0, 0); background: transparent;");
  banner->setAlignment(Qt::AlignCenter);
  banner->setGeometry(0, 0, kClientWidth, kBannerHeight);

  groupBox1_ = new QGroupBox(client);
  groupBox1_->setObjectName("GroupBox1");
  groupBox1_->setGeometry(0, kBannerHeight, kColumnWidth, kWorkHeight);

  listBox1_ = new QListWidget(groupBox1_);
  listBox1_->setObjectName("ListBox1");
  listBox1_->setFont(SongTi(12));
  listBox1_->setGeometry(8, 40, 127, 185);
  connect(listBox1_, &QListWidget::itemDoubleClicked, this, [this] { ListBox1Dblclick(); });

  button2_ = CommandButton("Button2", "设置参数", 246);
  button1_ = CommandButton("Button1", "读取文件", 294);
  button4_ = CommandButton("Button4", "流域地表图", 344);
  button5_ = CommandButton("Button5", "模拟结果图", 392);
  button3_ = CommandButton("Button3", "模拟计算", 439);
  label1_ = new QLabel(groupBox1_);
  label1_->setObjectName("Label1");
  label1_->setFont(SongTi(12));
  label1_->setGeometry(10, 488, 55, 18);
  label2_ = new QLabel(groupBox1_);
  label2_->setObjectName("Label2");
  label2_->setFont(SongTi(12));
  label2_->setGeometry(65, 488, 75, 18);
  progressBar1_ = new QProgressBar(groupBox1_);
  progressBar1_->setObjectName("ProgressBar1");
  progressBar1_->setGeometry(15, 512, 113, 9);
  progressBar1_->setTextVisible(false);
  progressBar1_->setRange(0, 100);
  progressBar1_->setValue(0);
  button6_ = CommandButton("Button6", "退      出", 532);

  connect(button1_, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(button2_, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(button3_, &QPushButton::clicked, this, &TForm1::Button3Click);
  connect(button4_, &QPushButton::clicked, this, &TForm1::Button4Click);
  connect(button5_, &QPushButton::clicked, this, &TForm1::Button5Click);
  connect(button6_, &QPushButton::clicked, this, &TForm1::Button6Click);

  // The work area: the start-up picture under the results area under the maps area.
  auto* work = new QWidget(client);
  work->setObjectName("WorkArea");
  work->setGeometry(kColumnWidth, kBannerHeight, kWorkWidth, kWorkHeight);

  imageM_ = new QLabel(work);
  imageM_->setObjectName("ImageM");
  imageM_->setGeometry(0, 0, kWorkWidth, kWorkHeight);
  imageM_->setAlignment(Qt::AlignCenter);
  const QPixmap picture(":/tarnwell/startup.png");
  if (!picture.isNull())
    imageM_->setPixmap(picture.scaled(kWorkWidth, kWorkHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation));

  panel2_ = new QWidget(work);
  panel2_->setObjectName("Panel2");
  panel2_->setAutoFillBackground(true);
  panel2_->setGeometry(0, 0, kWorkWidth, kWorkHeight);
  pageControl1_ = new QTabWidget(panel2_);
  pageControl1_->setObjectName("PageControl1");
  pageControl1_->setFont(SongTi(12));
  pageControl1_->setGeometry(0, 0, kWorkWidth, kWorkHeight);
  tabSheet1_ = Page(pageControl1_, "TabSheet1", "产流过程");
  tabSheet2_ = Page(pageControl1_, "TabSheet2", "产沙过程");
  tabSheet8_ = Page(pageControl1_, "TabSheet8", "冻土积雪");
  tabSheet3_ = Page(pageControl1_, "TabSheet3", "径流统计值");
  tabSheet4_ = Page(pageControl1_, "TabSheet4", "泥沙统计值");
  image1_ = FillingImage("Image1", tabSheet1_);
  image2_ = FillingImage("Image2", tabSheet2_);
  image7_ = FillingImage("Image7", tabSheet8_);
  stringGrid1_ = StringGrid("StringGrid1", tabSheet3_, 14);
  stringGrid2_ = StringGrid("StringGrid2", tabSheet4_, 10);
  pageControl1_->setCurrentWidget(tabSheet8_);
  button7_ = new QPushButton("下一年", panel2_);
  button7_->setObjectName("Button7");
  button7_->setFont(HeiTi(14));
  button7_->setGeometry(kWorkWidth - 83, 0, 83, 30);
  button7_->raise();
  connect(button7_, &QPushButton::clicked, this, &TForm1::Button7Click);
  panel2_->hide();

  panel3_ = new QWidget(work);
  panel3_->setObjectName("Panel3");
  panel3_->setAutoFillBackground(true);
  panel3_->setGeometry(0, 0, kWorkWidth, kWorkHeight);
  pageControl2_ = new QTabWidget(panel3_);
  pageControl2_->setObjectName("PageControl2");
  pageControl2_->setFont(SongTi(12));
  pageControl2_->setGeometry(0, 0, kWorkWidth, kWorkHeight);
  tabSheet6_ = Page(pageControl2_, "TabSheet6", "阴影地形图");
  tabSheet5_ = Page(pageControl2_, "TabSheet5", "流域坡度图");
  tabSheet7_ = Page(pageControl2_, "TabSheet7", "土地利用图");
  image4_ = MapImage("Image4", tabSheet6_);
  image3_ = MapImage("Image3", tabSheet5_);
  image5_ = MapImage("Image5", tabSheet7_);
  // After the terrain's maps, the yearly maps of every cell that a run with maps kept.
  for (std::size_t q = 0; q < YearlyQuantities().size(); ++q) {
    const std::string page = "TabSheet" + std::to_string(9 + q);
    const std::string image = "Image" + std::to_string(9 + q);
    QWidget* sheet = Page(pageControl2_, page.c_str(), YearlyQuantities()[q].title);
    yearlyImages_.push_back(MapImage(image.c_str(), sheet));
    auto* hint = new QLabel(NoYearlyMapsHint(), sheet);
    hint->setObjectName(QString("YearlyHint%1").arg(q + 1));
    hint->setFont(SongTi(12));
    hint->setGeometry(40, 40, 700, 90);
    yearlyHints_.push_back(hint);
  }
  comboBoxYear_ = new QComboBox(panel3_);
  comboBoxYear_->setObjectName("ComboBoxYear");
  comboBoxYear_->setFont(SongTi(12));
  comboBoxYear_->setGeometry(kWorkWidth - 90, 0, 90, 26);
  comboBoxYear_->raise();
  comboBoxYear_->hide();
  connect(comboBoxYear_, &QComboBox::activated, this, [this](int index) {
    const int year = comboBoxYear_->itemText(index).toInt();
    StartAction([this, year] { DrawYearlyMaps(year); });
  });
  connect(pageControl2_, &QTabWidget::currentChanged, this,
          [this](int index) { comboBoxYear_->setVisible(index >= 3 && comboBoxYear_->count() > 0); });
  pageControl2_->setCurrentWidget(tabSheet5_);
  panel3_->hide();
}

void TForm1::BuildMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  bar->setFont(SongTi(12));
  auto item = [this](QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
  };
  QMenu* file = bar->addMenu("文件(&F)");
  x1_ = item(file, "X1", "退出(&X)");
  QMenu* settings = bar->addMenu("设置(&M)");
  s1_ = item(settings, "S1", "路径设置(&D)");
  s2_ = item(settings, "S2", "参数设置(&C)");
  QMenu* simulate = bar->addMenu("模拟(&S)");
  n3_ = item(simulate, "N3", "运    行（&R）");
  // How each later year of a run starts: checked, every cell keeps its stores; unchecked,
  // every cell starts from its sub-basin's means (the documented behaviour). Kept in the
  // workspace's run settings, which the command line reads too.
  carryOverCells_ = item(simulate, "CarryOverCells", "逐格衔接年际状态（&C）");
  carryOverCells_->setCheckable(true);
  QMenu* help = bar->addMenu("帮助(&H)");
  n1_ = item(help, "N1", "操作指南（&G）");
  n2_ = item(help, "N2", "关    于（&A）");
  for (QMenu* menu : {file, settings, simulate, help}) menu->setFont(SongTi(12));
  // The items that stand for a button trigger that button's click.
  connect(x1_, &QAction::triggered, button6_, &QPushButton::click);
  connect(s1_, &QAction::triggered, button1_, &QPushButton::click);
  connect(s2_, &QAction::triggered, button2_, &QPushButton::click);
  connect(n3_, &QAction::triggered, button3_, &QPushButton::click);
  connect(n1_, &QAction::triggered, this, &TForm1::N1Click);
  connect(n2_, &QAction::triggered, this, &TForm1::N2Click);
  connect(carryOverCells_, &QAction::triggered, this, [this](bool cells) {
    try {
      const auto lock = WorkspaceLock::Acquire(session_.ws, "the Tarnwell window's run settings");
      RunSettings chosen = LoadRunSettings(session_);
      chosen.carryOver = cells ? CarryOver::Cells : CarryOver::Mean;
      SaveRunSettings(session_, chosen);
    } catch (const std::exception& e) {
      carryOverCells_->setChecked(!cells);
      ShowError(Q(e.what()));
    }
  });
}

void TForm1::FormCreate() {
  try {
    const auto lock = WorkspaceLock::Acquire(session_.ws, "the Tarnwell window's start-up");
    tarnwell::StartUpWorkspace(session_);
    carryOverCells_->setChecked(LoadRunSettings(session_).carryOver == CarryOver::Cells);
  } catch (const std::exception& e) {
    ShowError(Q(e.what()));
  }
  // The sub-basins read before a failure stay in the table and in the list.
  listBox1_->clear();
  for (const std::string& item : session_.listItems) listBox1_->addItem(Q(item));
}

void TForm1::ShowError(const QString& text) { messages_.Error(this, text); }

void TForm1::SetBusy(bool busy) {
  busy_ = busy;
  // Everything that could start a run, a year step, a browse or a map, or touch the files
  // and paths the worker is using, waits for the end of the action.
  for (QWidget* w :
       std::initializer_list<QWidget*>{button1_, button2_, button3_, button4_, button5_, button7_, listBox1_})
    w->setEnabled(!busy);
  for (QAction* a : {s1_, s2_, n3_, carryOverCells_}) a->setEnabled(!busy);
}

void TForm1::StartAction(std::function<void()> work, std::function<void()> after) {
  if (busy_) return;
  SetBusy(true);
  after_ = std::move(after);
  watcher_->setFuture(QtConcurrent::run([this, work = std::move(work)]() -> QString {
    try {
      // One program at a time works on a workspace: a command-line run started meanwhile
      // is refused, and so is this action while one runs.
      const auto lock = WorkspaceLock::Acquire(session_.ws, "the Tarnwell window");
      work();
      return {};
    } catch (const std::exception& e) {
      return Q(e.what());
    }
  }));
}

void TForm1::WaitUntilIdle() {
  while (busy_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A run cannot be interrupted: the window closes when it has ended.
  if (busy_) {
    closePending_ = true;
    event->ignore();
    return;
  }
  event->accept();
}

void TForm1::Button1Click() {
  try {
    if (session_.state.SubBasinCount < 1)
      throw InputError(session_.Display(session_.state.ProgramDir + kSubBasinListPath), 0,
                       "the sub-basin list holds no sub-basin");
    LoadPaths(session_, 1);
  } catch (const std::exception& e) {
    ShowError(Q(e.what()));
    return;
  }
  const auto& path = session_.state.InputPath;
  for (int i = 1; i <= 5; ++i) form2_->Edit(i)->setText(Q(session_.ws.Resolve(path[static_cast<std::size_t>(i)])));
  form2_->exec();
}

void TForm1::Button2Click() {
  try {
    form3_->PrepareForShow();
  } catch (const std::exception& e) {
    ShowError(Q(e.what()));
    return;
  }
  form3_->exec();
}

void TForm1::Button6Click() { close(); }

void TForm1::N1Click() {
  // The help file of the current directory when there is one, else the guide shipped
  // beside the program.
  const QFileInfo chm(QDir::current().filePath("help.chm"));
  if (chm.exists()) {
    OpenDocument(QUrl::fromLocalFile(chm.absoluteFilePath()));
    return;
  }
  const QFileInfo guide(QDir(GuideDirectory).filePath("guide.html"));
  if (guide.exists()) OpenDocument(QUrl::fromLocalFile(guide.absoluteFilePath()));
}

void TForm1::N2Click() { form4_->exec(); }

void TForm1::ShowResultsPanel(bool runStage) {
  panel3_->hide();
  panel2_->show();
  panel2_->raise();
  if (runStage) pageControl1_->setCurrentWidget(tabSheet1_);
}

void TForm1::ShowMapsPanel() {
  imageM_->hide();
  pageControl2_->setCurrentWidget(tabSheet5_);
  panel3_->show();
  panel3_->raise();
}

void TForm1::Button3Click() {
  if (busy_) return;
  driver_->SetCarryOver(carryOverCells_->isChecked() ? CarryOver::Cells : CarryOver::Mean);
  // The groundwater sum has no switch in the window: Parameters/run.txt sets it.
  try {
    driver_->SetGroundwaterSum(LoadRunSettings(session_).groundwaterSum);
  } catch (const std::exception& e) {
    ShowError(Q(e.what()));
    return;
  }
  StartAction([this] { driver_->Run(); });
}

void TForm1::Button7Click() {
  StartAction([this] { driver_->NextYear(); });
}

void TForm1::Button4Click() {
  // The yearly maps stay on the year chosen before when the sub-basin has it.
  const int year = comboBoxYear_->count() > 0 ? comboBoxYear_->currentText().toInt() : 0;
  StartAction(
      [this, year] {
        DrawMaps(session_, [this](int map, const QImage& picture) {
          QMetaObject::invokeMethod(
              this,
              [this, map, picture] {
                if (map == 1) ShowMapsPanel();
                ImageControl* images[] = {image3_, image4_, image5_};
                images[map - 1]->SetPicture(picture);
              },
              Qt::QueuedConnection);
        });
        DrawYearlyMaps(year);
      },
      [this] {
        // The selection follows the clamp of the whole-basin entry.
        const int k = session_.state.SelectedSubBasin;
        if (k >= 1 && k <= listBox1_->count()) listBox1_->setCurrentRow(k - 1);
      });
}

void TForm1::DrawYearlyMaps(int year) {
  const int k = session_.state.SelectedSubBasin;
  const std::vector<int> years = YearlyMapYears(session_, k);
  int shown = 0;
  std::vector<QImage> pictures;
  if (!years.empty()) {
    shown = std::find(years.begin(), years.end(), year) != years.end() ? year : years.back();
    for (std::size_t q = 0; q < YearlyQuantities().size(); ++q)
      pictures.push_back(DrawYearlyMap(session_, k, static_cast<int>(q), shown));
  }
  QMetaObject::invokeMethod(
      this, [this, years, shown, pictures] { ShowYearlyMaps(years, shown, pictures); }, Qt::QueuedConnection);
}

void TForm1::ShowYearlyMaps(const std::vector<int>& years, int year, const std::vector<QImage>& pictures) {
  comboBoxYear_->clear();
  for (int y : years) comboBoxYear_->addItem(QString::number(y));
  comboBoxYear_->setCurrentText(QString::number(year));
  comboBoxYear_->setVisible(pageControl2_->currentIndex() >= 3 && !years.empty());
  for (std::size_t q = 0; q < yearlyImages_.size(); ++q) {
    const bool has = q < pictures.size();
    if (has) yearlyImages_[q]->SetPicture(pictures[q]);
    yearlyImages_[q]->setVisible(has);
    yearlyHints_[q]->setVisible(!has);
  }
}

void TForm1::Button5Click() {
  if (busy_) return;
  panel3_->hide();
  panel2_->show();
  panel2_->raise();
  StartAction([this] {
    // Without stored results there is nothing to browse: the window stays as it was for
    // "下一年" too.
    const int stored = RequireStoredYears(StoredResultsOf(session_));
    ModelState& s = session_.state;
    s.YearIndex = 1;
    s.SelectedSubBasin = 1;
    s.BrowseMode = 1;
    session_.params.SimYears = stored;
    ReadStoredResults();
  });
}

void TForm1::ListBox1Dblclick() {
  if (busy_) return;
  session_.state.SelectedSubBasin = listBox1_->currentRow() + 1;
  if (!panel3_->isHidden()) {
    Button4Click();
  } else if (!panel2_->isHidden()) {
    StartAction([this] { ReadStoredResults(); });
  }
}

void TForm1::ShowStatTables(const ResultTables& tables) {
  auto fill = [](QTableWidget* grid, const std::vector<std::vector<std::string>>& rows) {
    grid->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < grid->rowCount(); ++r) {
      const auto& row = rows[static_cast<std::size_t>(r)];
      for (int c = 0; c < grid->columnCount(); ++c) {
        const QString text = c < static_cast<int>(row.size()) ? Q(row[static_cast<std::size_t>(c)]) : QString();
        auto* cell = new QTableWidgetItem(text);
        if (r == 0) cell->setBackground(QColor(236, 233, 216));  // the fixed heading row
        grid->setItem(r, c, cell);
      }
    }
  };
  fill(stringGrid1_, tables.runoff);
  fill(stringGrid2_, tables.sediment);
}

ResultTables TForm1::ReadStatTables(int k, int years) const {
  const StoredResults stored = StoredResultsOf(session_);
  return tarnwell::ReadStatTables(stored, ResultDirectory(stored, k), years);
}

ChartSnapshot TForm1::TakeChartSnapshot() const {
  // The year's series as a value: the charts draw from it while the run goes on.
  auto year = std::make_shared<ModelState>();
  static_cast<YearSeries&>(*year) = session_.state;
  return year;
}

void TForm1::ShowCharts(const ChartSnapshot& chart) {
  if (!chart) return;
  // Each image fills its page; pages not yet shown have not been laid out, so all three
  // take the size of the page area.
  const QSize page = pageControl1_->currentWidget()->size();
  QImage& i1 = image1_->Canvas(page);
  QImage& i2 = image2_->Canvas(page);
  QImage& i7 = image7_->Canvas(page);
  DrawChartFrame(i1, ChartKind::Runoff, chart->CurYear);
  DrawChartFrame(i2, ChartKind::Sediment, chart->CurYear);
  DrawChartFrame(i7, ChartKind::SnowFrost, chart->CurYear);
  DrawResultCharts(*chart, i1, i2, i7);
  for (ImageControl* image : {image1_, image2_, image7_}) image->update();
}

void TForm1::ReadStoredResults() {
  // Both reads first: a missing or damaged file shows its error and the tables and charts
  // keep what they showed.
  const ModelState& s = session_.state;
  const StoredResults stored = StoredResultsOf(session_);
  const std::string dir = ResultDirectory(stored, s.SelectedSubBasin);
  int years = s.YearIndex;
  ResultTables tables = tarnwell::ReadStatTables(stored, dir, std::min(years, std::max(session_.params.SimYears, 0)));
  if (years > session_.params.SimYears) session_.state.YearIndex = years = session_.params.SimYears;
  ChartSnapshot chart = years >= 1 ? tarnwell::ReadDailySeries(stored, dir, years) : nullptr;
  QMetaObject::invokeMethod(
      this,
      [this, tables = std::move(tables), chart] {
        ShowStatTables(tables);
        ShowCharts(chart);
      },
      Qt::QueuedConnection);
}

}  // namespace tarnwell::gui
