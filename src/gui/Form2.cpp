#include "gui/Form2.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/GuiSupport.h"

namespace tarnwell::gui {

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setObjectName("Form2");
  setWindowTitle("设置文件路径");
  setFixedSize(475, 214);
  setFont(SongTi(12));
  OpenDialog1 = [](QWidget* owner) { return QFileDialog::getOpenFileName(owner); };

  struct Row {
    const char* label;
    const char* button;
  };
  // Row 5's browse button is Button6: Button5 is the dialog's OK button.
  const Row rows[5] = {{"DEM数据", "Button1"},
                       {"LUCC数据", "Button2"},
                       {"气象数据", "Button3"},
                       {"季节变化", "Button4"},
                       {"坡度数据", "Button6"}};
  for (int i = 0; i < 5; ++i) {
    const int top = 14 + i * 32;
    auto* label = new QLabel(rows[i].label, this);
    label->setObjectName(QString("Label%1").arg(i + 1));
    label->setGeometry(12, top + 3, 70, 20);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString("Edit%1").arg(i + 1));
    edit->setGeometry(84, top, 330, 24);
    edits_[static_cast<std::size_t>(i)] = edit;
    auto* browse = new QPushButton("...", this);
    browse->setObjectName(rows[i].button);
    browse->setGeometry(420, top, 40, 24);
    connect(browse, &QPushButton::clicked, this, [this, i] { Browse(i + 1); });
  }
  auto* ok = new QPushButton("确定", this);
  ok->setObjectName("Button5");
  ok->setGeometry(200, 176, 75, 28);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm2::Browse(int row) {
  const QString file = OpenDialog1(this);
  if (!file.isEmpty()) Edit(row)->setText(file);
}

}  // namespace tarnwell::gui
