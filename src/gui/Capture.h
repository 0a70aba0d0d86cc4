// Pictures of the real window for the documentation: the start-up page, every result page
// after a run, the three map pages and the parameter dialog, as PNG files in a directory.
#pragma once

#include <QString>

namespace tarnwell::gui {

class TForm1;

// Drives the window through a run and the maps; returns the number of files written, or
// -1 (with the reason on standard error) when an action failed.
int CaptureWindow(TForm1& window, const QString& directory);

}  // namespace tarnwell::gui
