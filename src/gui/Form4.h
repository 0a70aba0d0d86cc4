// The About box: the system title and a few credit lines; a click anywhere closes it.
#pragma once

#include <QDialog>

namespace tarnwell::gui {

class TForm4 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm4(QWidget* parent = nullptr);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace tarnwell::gui
