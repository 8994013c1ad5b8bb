#include "app/app_startup.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <clocale>
#include <csignal>
#include <cstdio>

#include "app/main_window.h"
#include "model/dialog_port.h"

// Resources of a static library must be registered by name, from outside
// any namespace.
static void InitProgramResources() { Q_INIT_RESOURCE(tavimo); }

namespace tavimo::app {

QIcon ProgramIcon() {
  static const bool initialised = (InitProgramResources(), true);
  (void)initialised;
  // Renderings of data/icons/tavimo.svg; PNGs need no SVG plugin at run time.
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/tavimo-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

void PrepareApplication(QApplication& app) {
  // A write beyond the file-size limit (ulimit -f) would otherwise kill the
  // program mid-save and leave its temporary file behind; ignored, the
  // write fails with EFBIG and the save ends with "Save failed".
  std::signal(SIGXFSZ, SIG_IGN);
  // QApplication has taken the C library's locale from the environment;
  // the numeric part stays "C" so nothing reads or writes a decimal comma.
  std::setlocale(LC_NUMERIC, "C");
  app.setApplicationName(QStringLiteral("Tavimo"));
  app.setApplicationVersion(QStringLiteral("1.0"));
  // On X11 the window's class is the application name, which the desktop
  // entry's StartupWMClass repeats; Wayland matches by this name.
  app.setDesktopFileName(QLatin1String(kDesktopFileName));
  app.setWindowIcon(ProgramIcon());
}

void ScheduleScreenshot(MainWindow& window, const QString& path) {
  QTimer::singleShot(0, &window, [&window, path] {
    window.findChild<QPushButton*>(QStringLiteral("IDC_CREATECELLS"))->click();
    if (!window.grab().toImage().save(path, "PNG")) {
      std::fprintf(stderr, "tavimo: cannot write %s\n", qPrintable(path));
      QCoreApplication::exit(1);
      return;
    }
    window.MenuCommand(IDM_EXIT)->trigger();
  });
}

}  // namespace tavimo::app
