#pragma once
#include <QIcon>
#include <QString>

class QApplication;

namespace tavimo::app {

class MainWindow;

// The name of the desktop entry (and the AppStream id): desktops match the
// window to its menu entry and icon by it.
inline constexpr const char* kDesktopFileName = "org.example.tavimo";

// The program icon, from 16 x 16 to 256 x 256 pixels.
QIcon ProgramIcon();

// What the program sets up once its QApplication exists: numbers read and
// written the C way whatever the user's locale, the program's name and icon,
// and a file-size limit that fails a save instead of killing the program.
void PrepareApplication(QApplication& app);

// SIGTERM, SIGHUP and SIGINT end the dialog as File > Exit does: a running
// save is cancelled (its temporaries removed) and the program ends with 0.
void EndOnTerminationSignals(MainWindow& window);

// Once the event loop runs: press "Create Cells", save a picture of the
// window to `path` (PNG, replaced only once complete, like every save) and
// end the program (code 1, with the reason, if the picture could not be
// written). Used to make the documentation's screenshot.
void ScheduleScreenshot(MainWindow& window, const QString& path);

}  // namespace tavimo::app
