// The parameter dialog. It works on text only: the 49 edits hold the values of the
// parameter file exactly as they stand there, and are written back exactly as typed.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <string>

class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace tarnwell {
struct Session;
}

namespace tarnwell::gui {

class MessageSink;

class TForm3 : public QDialog {
  Q_OBJECT
 public:
  TForm3(Session& session, MessageSink& messages, QWidget* parent = nullptr);

  QLineEdit* Edit(int n) const { return edits_[static_cast<std::size_t>(n)]; }  // Edit1..Edit49
  QRadioButton* RadioButton1() const { return radio1_; }
  QRadioButton* RadioButton2() const { return radio2_; }
  QTabWidget* PageControl1() const { return pages_; }

  // Puts the token texts of the parameter file into the edits, line by line; a faulty line
  // stops with its error and the earlier lines' edits keep the new text.
  void FillParameterDialog(const std::string& fsPath, const std::string& displayName);
  // Writes the 34 lines: label, blank, the edit texts separated by single blanks.
  void SaveParameterDialog(const std::string& fsPath, const std::string& displayName) const;
  // The lines SaveParameterDialog writes (UTF-8, without line ends).
  std::vector<std::string> ParameterLines() const;

  // The opening sequence of the main window: fill from the current parameter file, select
  // the radio button of the erodibility mode. Throws when the file cannot be read.
  void PrepareForShow();

  // The common file dialogs; replaceable so tests need no desktop. Empty: cancelled.
  std::function<QString(QWidget*)> OpenDialog1;
  std::function<QString(QWidget*)> SaveDialog1;

  void Button1Click();  // "读取参数文件"
  void Button2Click();  // "另存参数文件"
  void Button3Click();  // "确定"

 private:
  void RadioButton1Click();
  void RadioButton2Click();
  QLineEdit* NewEdit(int n, QWidget* page);

  Session& session_;
  MessageSink& messages_;
  std::array<QLineEdit*, 50> edits_{};
  QRadioButton* radio1_ = nullptr;
  QRadioButton* radio2_ = nullptr;
  QTabWidget* pages_ = nullptr;
};

}  // namespace tarnwell::gui
