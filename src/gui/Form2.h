// The input-path dialog: the five resolved input files of the first sub-basin, each with a
// browse button. Nothing reads the edits back; the path file stays what the run uses.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>

class QLineEdit;
class QPushButton;

namespace tarnwell::gui {

class TForm2 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);

  // Edit1..Edit5 (1-based).
  QLineEdit* Edit(int i) const { return edits_[static_cast<std::size_t>(i - 1)]; }
  // The file-open dialog shared by the browse buttons; replaceable so tests need no
  // desktop. Returns the chosen file, or an empty string when cancelled.
  std::function<QString(QWidget*)> OpenDialog1;

 private:
  void Browse(int row);
  std::array<QLineEdit*, 5> edits_{};
};

}  // namespace tarnwell::gui
