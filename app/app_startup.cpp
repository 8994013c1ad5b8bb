#include "app/app_startup.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QSocketNotifier>
#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "output/atomic_file.h"
#include "platform/platform.h"
#include "tavimo_version.h"
#include "dialog/dialog_ids.h"

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
  platform::IgnoreSignalsThatKillWrites();
  platform::RemoveTemporariesOnAbort();
  // QApplication has taken the C library's locale from the environment;
  // the numeric part stays "C" so nothing reads or writes a decimal comma.
  std::setlocale(LC_NUMERIC, "C");
  app.setApplicationName(QStringLiteral("Tavimo"));
  app.setApplicationVersion(QString::fromLatin1(kTavimoVersion));
  // On X11 the window's class is the application name, which the desktop
  // entry's StartupWMClass repeats; Wayland matches by this name.
  app.setDesktopFileName(QLatin1String(kDesktopFileName));
  app.setWindowIcon(ProgramIcon());
}

void EndOnTerminationSignals(MainWindow& window) {
  const platform::Handle signalled = platform::CatchTerminationSignals();
  if (signalled == platform::kNoHandle) return;
  auto* notifier = new QSocketNotifier(static_cast<qintptr>(signalled), QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, signalled] {
    char drained[64];
    while (read(static_cast<int>(signalled), drained, sizeof drained) > 0) {
    }
    window.Command(dialog::IDM_EXIT);
  });
}

namespace {

// The picture goes through the same safe replacement as every save.
std::string SavePicture(const QImage& image, const std::string& path) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return "cannot make the picture";
  AtomicFile file;
  if (!file.Open(path) || !file.Write(png.constData(), static_cast<std::size_t>(png.size())) || !file.Close())
    return platform::ErrorText(file.error());
  AtomicFile* const files[] = {&file};
  if (CommitFiles(files) != nullptr) return platform::ErrorText(file.error());
  return {};
}

}  // namespace

void ScheduleScreenshot(MainWindow& window, const QString& path) {
  QTimer::singleShot(0, &window, [&window, path] {
    window.findChild<QPushButton*>(QStringLiteral("IDC_CREATECELLS"))->click();
    const std::string target = QFile::encodeName(path).toStdString();
    const std::string failure = SavePicture(window.grab().toImage(), target);
    if (!failure.empty()) {
      std::fprintf(stderr, "tavimo: cannot write %s: %s\n", target.c_str(), failure.c_str());
      QCoreApplication::exit(1);
      return;
    }
    window.MenuCommand(dialog::IDM_EXIT)->trigger();
  });
}

}  // namespace tavimo::app
