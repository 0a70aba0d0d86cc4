// What the windows share: the fonts the forms ask for (with CJK fallbacks so the Chinese
// captions render on any desktop), Qt's own texts in Chinese, the message sink that shows
// errors and the model's own messages, the shell opener of the help file, and string
// conversions.
#pragma once

#include <QFont>
#include <QString>
#include <QUrl>
#include <functional>
#include <string>

class QCoreApplication;
class QTranslator;
class QWidget;

namespace tarnwell::gui {

inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
inline std::string S(const QString& text) { return text.toStdString(); }

// "黑体" (banner, buttons), "宋体" (list and progress labels), "MS Sans Serif" (the
// window's default), each followed by the Debian CJK families.
QFont HeiTi(int pixelHeight);
QFont SongTi(int pixelHeight);
QFont SansSerif(int pixelHeight);

// Where message boxes go. The program shows them modally; tests record them.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // An error that ended an action (the full message of the failure).
  virtual void Error(QWidget* owner, const QString& text) = 0;
  // One of the system's own notices ("This is the last year!", ...).
  virtual void Notice(QWidget* owner, const QString& text) = 0;
};

class MessageBoxSink : public MessageSink {
 public:
  void Error(QWidget* owner, const QString& text) override;
  void Notice(QWidget* owner, const QString& text) override;
};

// Qt's own texts in Chinese (the file dialogs, the buttons of message boxes), from the
// translations shipped with Qt (Debian: qt6-translations-l10n), installed on app, which
// owns the translator returned; nullptr (and Qt's English) when they are not installed.
QTranslator* InstallQtTranslations(QCoreApplication& app);

// Asks the desktop to open a document; returns whether it was handed over.
using ShellOpener = std::function<bool(const QUrl&)>;
ShellOpener DesktopOpener();

}  // namespace tarnwell::gui
