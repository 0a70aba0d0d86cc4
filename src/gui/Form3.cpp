#include "gui/Form3.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/Session.h"
#include "app/Startup.h"
#include "gui/GuiSupport.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"

namespace tarnwell::gui {

namespace {

// One line of the parameter file as the dialog writes it: the label caption and the edits
// whose texts follow it. Lines 27 and 28 put a soil-type name before every value.
struct DialogLine {
  const char* label;
  std::vector<int> edits;
  int firstSoil = -1;  // lines 27 and 28: the soil type of their first value
};

const std::vector<DialogLine>& DialogLines() {
  static const std::vector<DialogLine> lines = {
      {"纬度", {1}, -1},
      {"蒸发折算系数", {2}, -1},
      {"模拟年数", {5}, -1},
      {"各层土壤蒸发权重", {6, 7, 8}, -1},
      {"蒸散发可利用参数", {9}, -1},
      {"大水面蒸发系数", {10}, -1},
      {"土壤蒸发参数", {11}, -1},
      {"蒸腾亏空系数", {12}, -1},
      {"自由水出流系数", {13, 14, 15}, -1},
      {"自由水出流阈值", {3, 4}, -1},
      {"土壤蓄水Wm分布曲线指数", {16}, -1},
      {"壤中流调蓄系数", {17}, -1},
      {"地下水调蓄系数", {18}, -1},
      {"包气带积水向地下水输送参数", {19, 20, 21}, -1},
      {"日正温融雪量", {22}, -1},
      {"日积雪蒸发量", {23}, -1},
      {"土壤优先流空隙率", {24}, -1},
      {"日负温土壤水冻结量", {25}, -1},
      {"降水积雪气温", {26}, -1},
      {"土壤水冻结气温", {27}, -1},
      {"土壤饱和含水量", {28}, -1},
      {"田间持水量", {29}, -1},
      {"凋萎含水量", {30}, -1},
      {"土壤层包气带厚度", {31, 32, 33}, -1},
      {"上土层排水率", {34}, -1},
      {"可侵蚀性", {35}, -1},
      {"紫色土", {36, 37, 38, 39}, 0},
      {"暗棕壤", {40, 41, 42, 43}, 4},
      {"泥沙库初始沙量", {44}, -1},
      {"泥沙库冲刷指数", {45}, -1},
      {"泥沙库沉降指数", {46}, -1},
      {"临界沉积流速", {49}, -1},
      {"临界冲刷流速", {48}, -1},
      {"泥沙库固结系数", {47}, -1},
  };
  return lines;
}

// Places label/edit rows on a page's grid: column 0 the row label, columns 1..3 edits,
// or label and edit pairs in columns 0-1 and 2-3.
class PageBuilder {
 public:
  explicit PageBuilder(QWidget* page) : grid_(new QGridLayout(page)) {
    grid_->setHorizontalSpacing(8);
    grid_->setVerticalSpacing(6);
  }
  QLabel* Label(const char* text, int row, int col, int span = 1) {
    auto* label = new QLabel(text);
    grid_->addWidget(label, row, col, 1, span);
    return label;
  }
  void Widget(QWidget* w, int row, int col) { grid_->addWidget(w, row, col); }
  void Finish(int rows) { grid_->setRowStretch(rows, 1); }
  QGridLayout* Grid() const { return grid_; }

 private:
  QGridLayout* grid_;
};

}  // namespace

QLineEdit* TForm3::NewEdit(int n, QWidget* page) {
  auto* edit = new QLineEdit(page);
  edit->setObjectName(QString("Edit%1").arg(n));
  edit->setFixedWidth(88);
  edits_[static_cast<std::size_t>(n)] = edit;
  return edit;
}

TForm3::TForm3(Session& session, MessageSink& messages, QWidget* parent)
    : QDialog(parent), session_(session), messages_(messages) {
  setObjectName("Form3");
  setWindowTitle("设置参数");
  setFixedSize(511, 464);
  setFont(SongTi(12));
  OpenDialog1 = [](QWidget* owner) { return QFileDialog::getOpenFileName(owner); };
  SaveDialog1 = [](QWidget* owner) { return QFileDialog::getSaveFileName(owner); };

  pages_ = new QTabWidget(this);
  pages_->setObjectName("PageControl1");
  pages_->setGeometry(8, 8, 495, 400);
  auto newPage = [this](const char* title, int n) {
    auto* page = new QWidget;
    page->setObjectName(QString("TabSheet%1").arg(n));
    pages_->addTab(page, title);
    return page;
  };

  {  // "基本参数"
    QWidget* page = newPage("基本参数", 1);
    PageBuilder b(page);
    b.Label("纬度", 0, 0);
    b.Widget(NewEdit(1, page), 0, 1);
    b.Label("蒸发折算系数", 1, 0);
    b.Widget(NewEdit(2, page), 1, 1);
    b.Label("模拟年数", 2, 0);
    b.Widget(NewEdit(5, page), 2, 1);
    b.Grid()->setColumnStretch(2, 1);
    b.Finish(3);
  }
  {  // "蒸发参数"
    QWidget* page = newPage("蒸发参数", 2);
    PageBuilder b(page);
    struct Row {
      const char* label;
      std::vector<int> edits;
    };
    const Row rows[] = {{"各层土壤蒸发权重", {6, 7, 8}}, {"蒸散发可利用参数", {9}}, {"土壤蒸发参数", {11}},
                        {"大水面蒸发系数", {10}},        {"蒸腾亏空系数", {12}},    {"自由水出流系数", {13, 14, 15}}};
    int r = 0;
    for (const Row& row : rows) {
      b.Label(row.label, r, 0);
      int c = 1;
      for (int e : row.edits) b.Widget(NewEdit(e, page), r, c++);
      ++r;
    }
    const char* headings[] = {"地表径流", "壤中流", "地下水"};
    for (int c = 0; c < 3; ++c) b.Label(headings[c], r, c + 1)->setAlignment(Qt::AlignCenter);
    ++r;
    b.Label("自由水出流阈值", r, 0);
    b.Widget(NewEdit(3, page), r, 1);
    b.Widget(NewEdit(4, page), r, 2);
    b.Finish(r + 1);
  }
  {  // "土壤参数"
    QWidget* page = newPage("土壤参数", 3);
    PageBuilder b(page);
    int r = 0;
    auto single = [&](const char* label, int e) {
      b.Label(label, r, 0, 3);
      b.Widget(NewEdit(e, page), r, 3);
      ++r;
    };
    auto pair = [&](const char* l1, int e1, const char* l2, int e2) {
      b.Label(l1, r, 0);
      b.Widget(NewEdit(e1, page), r, 1);
      b.Label(l2, r, 2);
      b.Widget(NewEdit(e2, page), r, 3);
      ++r;
    };
    auto triple = [&](const char* label, int first, const char* c1, const char* c2, const char* c3) {
      b.Label(label, r, 0);
      for (int i = 0; i < 3; ++i) b.Widget(NewEdit(first + i, page), r, i + 1);
      ++r;
      const char* captions[] = {c1, c2, c3};
      for (int i = 0; i < 3; ++i) b.Label(captions[i], r, i + 1)->setAlignment(Qt::AlignCenter);
      ++r;
    };
    single("土壤蓄水Wm分布曲线指数", 16);
    single("日正温融雪量", 22);
    pair("壤中流调蓄系数", 17, "地下水调蓄系数", 18);
    triple("包气带积水向地下水输送参数", 19, "不闭合渗漏", "地下水出流", "地下水位指数");
    pair("日积雪蒸发量", 23, "土壤优先流空隙率", 24);
    pair("日负温土壤水冻结量", 25, "降水积雪气温", 26);
    pair("土壤水冻结气温", 27, "土壤饱和含水量", 28);
    pair("田间持水量", 29, "凋萎含水量", 30);
    triple("土壤层包气带厚度", 31, "1层", "2层", "3层");
    single("上土层排水率", 34);
    b.Finish(r);
  }
  {  // "可蚀性参数"
    QWidget* page = newPage("可蚀性参数", 4);
    PageBuilder b(page);
    radio1_ = new QRadioButton("均一流域", page);
    radio1_->setObjectName("RadioButton1");
    radio2_ = new QRadioButton("非均一流域", page);
    radio2_->setObjectName("RadioButton2");
    auto* group = new QButtonGroup(page);
    group->setExclusive(true);
    group->addButton(radio1_);
    group->addButton(radio2_);
    b.Grid()->addWidget(radio1_, 0, 0, 1, 2);
    b.Label("可侵蚀性", 1, 0);
    b.Widget(NewEdit(35, page), 1, 1);
    b.Grid()->addWidget(radio2_, 2, 0, 1, 2);
    for (int i = 0; i < 8; ++i) {
      const int r = 3 + i / 2, c = (i % 2) * 2;
      b.Label(SoilTypeNames()[static_cast<std::size_t>(i)], r, c);
      b.Widget(NewEdit(36 + i, page), r, c + 1);
    }
    b.Finish(7);
    connect(radio1_, &QRadioButton::toggled, this, [this](bool on) {
      if (on) RadioButton1Click();
    });
    connect(radio2_, &QRadioButton::toggled, this, [this](bool on) {
      if (on) RadioButton2Click();
    });
  }
  {  // "输沙参数"
    QWidget* page = newPage("输沙参数", 5);
    PageBuilder b(page);
    const std::pair<const char*, int> rows[] = {{"泥沙库初始沙量", 44}, {"泥沙库冲刷指数", 45}, {"泥沙库沉降指数", 46},
                                                {"临界沉积流速", 49},   {"临界冲刷流速", 48},   {"泥沙库固结系数", 47}};
    int r = 0;
    for (const auto& [label, e] : rows) {
      b.Label(label, r, 0);
      b.Widget(NewEdit(e, page), r, 1);
      ++r;
    }
    b.Grid()->setColumnStretch(2, 1);
    b.Finish(r);
  }
  pages_->setCurrentIndex(4);  // "输沙参数" at the first opening

  auto* load = new QPushButton("读取参数文件", this);
  load->setObjectName("Button1");
  load->setGeometry(16, 420, 120, 30);
  auto* saveAs = new QPushButton("另存参数文件", this);
  saveAs->setObjectName("Button2");
  saveAs->setGeometry(150, 420, 120, 30);
  auto* ok = new QPushButton("确定", this);
  ok->setObjectName("Button3");
  ok->setGeometry(410, 420, 85, 30);
  connect(load, &QPushButton::clicked, this, &TForm3::Button1Click);
  connect(saveAs, &QPushButton::clicked, this, &TForm3::Button2Click);
  connect(ok, &QPushButton::clicked, this, &TForm3::Button3Click);
}

void TForm3::FillParameterDialog(const std::string& fsPath, const std::string& displayName) {
  TextReader file(fsPath, displayName);
  for (const DialogLine& line : DialogLines()) {
    const FieldLine fields = file.ReadFields();
    // Look every token up before touching the line's edits, so a short line leaves all
    // of its edits as they were.
    std::vector<QString> texts;
    for (std::size_t i = 0; i < line.edits.size(); ++i) {
      const int token = line.firstSoil < 0 ? static_cast<int>(i) + 1 : 2 * static_cast<int>(i) + 1;
      texts.push_back(Q(fields.Token(token)));
    }
    for (std::size_t i = 0; i < line.edits.size(); ++i) Edit(line.edits[i])->setText(texts[i]);
  }
}

std::vector<std::string> TForm3::ParameterLines() const {
  std::vector<std::string> out;
  for (const DialogLine& line : DialogLines()) {
    std::string text;
    for (std::size_t i = 0; i < line.edits.size(); ++i) {
      const std::string value = S(Edit(line.edits[i])->text());
      if (line.firstSoil < 0) {
        if (i == 0) text = line.label;
        text += " " + value;
      } else {
        if (i > 0) text += " ";
        text += std::string(SoilTypeNames()[static_cast<std::size_t>(line.firstSoil) + i]) + " " + value;
      }
    }
    out.push_back(text);
  }
  return out;
}

void TForm3::SaveParameterDialog(const std::string& fsPath, const std::string& displayName) const {
  WriteWholeFile(fsPath, displayName, ParameterLines());
}

void TForm3::PrepareForShow() {
  const std::string& path = session_.state.ParamFilePath;
  FillParameterDialog(session_.ws.Resolve(path), session_.Display(path));
  if (session_.params.ErodibilityMode == 1) radio2_->setChecked(true);
  else radio1_->setChecked(true);
}

void TForm3::Button1Click() {
  const QString file = OpenDialog1(this);
  if (file.isEmpty()) return;
  try {
    // The parameter variables first: a file that fails to load leaves the edits alone.
    LoadParameters(S(file), S(file), session_.params);
    FillParameterDialog(S(file), S(file));
  } catch (const std::exception& e) {
    messages_.Error(this, Q(e.what()));
  }
}

void TForm3::Button2Click() {
  const QString file = SaveDialog1(this);
  if (file.isEmpty()) return;
  try {
    SaveParameterDialog(S(file), S(file));
  } catch (const std::exception& e) {
    messages_.Error(this, Q(e.what()));
  }
}

void TForm3::Button3Click() {
  const std::string path = session_.ws.ProgramDir() + kParamFilePath;
  try {
    SaveParameterDialog(session_.ws.Resolve(path), session_.Display(path));
  } catch (const std::exception& e) {
    messages_.Error(this, Q(e.what()));
    return;  // nothing reached the file: keep the dialog open
  }
  accept();
}

void TForm3::RadioButton1Click() {
  Edit(35)->setEnabled(true);
  session_.params.ErodibilityMode = 0;
  for (int n = 36; n <= 43; ++n) Edit(n)->setEnabled(false);
}

void TForm3::RadioButton2Click() {
  Edit(35)->setEnabled(false);
  session_.params.ErodibilityMode = 1;
  for (int n = 36; n <= 43; ++n) Edit(n)->setEnabled(true);
}

}  // namespace tarnwell::gui
