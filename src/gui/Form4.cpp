#include "gui/Form4.h"

#include <QLabel>

#include "gui/GuiSupport.h"

namespace tarnwell::gui {

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
  setObjectName("Form4");
  setWindowTitle("关于本系统");
  setFixedSize(366, 177);
  setFont(SansSerif(13));

  auto* title = new QLabel("Tarnwell", this);
  title->setObjectName("Label1");
  title->setFont(HeiTi(19));
  title->setAlignment(Qt::AlignHCenter);
  title->setGeometry(0, 18, 366, 28);

  const char* credits[] = {
      "分布式生态水文模型  版本 0.1",
      "逐日、逐网格模拟流域水量平衡与土壤侵蚀",
      "A distributed daily eco-hydrological watershed model",
      "Tarnwell 开发组",
  };
  int top = 62;
  int n = 2;
  for (const char* line : credits) {
    auto* label = new QLabel(line, this);
    label->setObjectName(QString("Label%1").arg(n++));
    label->setAlignment(Qt::AlignHCenter);
    label->setGeometry(0, top, 366, 22);
    // Clicks on the credit lines reach the form's background handler.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    top += 24;
  }
  title->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TForm4::mousePressEvent(QMouseEvent*) { accept(); }

}  // namespace tarnwell::gui
