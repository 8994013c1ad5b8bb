// The dialog on the screen it is started on (the screen comes from the
// test's environment: an offscreen screen of a given size, with scaling):
// at its own position where it fits, wholly on the screen otherwise.

#include <QScreen>

#include "app/app_startup.h"
#include "dialog/dialog_layout.h"
#include "app_test_support.h"
#include "dialog/dialog_ids.h"

using namespace tavimo;
using namespace tavimo::app;
using namespace tavimo::dialog;
using namespace tavimo::app::test;

class ScreenFitTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    PrepareApplication(*qApp);
    qputenv("TAVIMO_CONFIG_HOME", "/nonexistent/tavimo-settings");  // the user's options play no part
  }
  void wholeDialogOnScreen();
};

void ScreenFitTest::wholeDialogOnScreen() {
  Recorder recorder;
  MainWindow window(recorder.Hooks());
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCoreApplication::processEvents();

  const QRect available = window.screen()->availableGeometry();
  const double scale = window.screen()->devicePixelRatio();
  const QRect frame = window.frameGeometry();
  const QPoint own = ToPixels(window.BaseUnits(), QPoint(kDialogXDu, kDialogYDu));
  const QRect ownFrame(own, frame.size());
  qInfo("screen %dx%d at scale %g, frame %d,%d %dx%d", available.width(), available.height(), scale, frame.x(),
        frame.y(), frame.width(), frame.height());
  QVERIFY(available.contains(frame));
  for (int id : {IDC_CREATECELLS, IDC_SAVECELLS}) {
    QWidget* button = window.Control(id);
    QVERIFY(available.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())));
  }
  // On the device too: logical pixels rounded to device pixels as Qt does.
  const QStringList device = qEnvironmentVariable("TAVIMO_DEVICE_SCREEN").split(QLatin1Char('x'));
  QCOMPARE(device.size(), 2);
  QVERIFY(qRound(frame.x() * scale) + qRound(frame.width() * scale) <= device[0].toInt());
  QVERIFY(qRound(frame.y() * scale) + qRound(frame.height() * scale) <= device[1].toInt());
  // Moved only along the axes where its own place does not fit, and only
  // just enough (a pixel or two more at a fractional scale).
  const int margin = frame.width() - window.width();
  if (ownFrame.right() <= available.right() - 2) QVERIFY(qAbs(window.x() - own.x()) <= margin);
  else QVERIFY(frame.right() >= available.right() - 2);
  if (ownFrame.bottom() <= available.bottom() - 2) QVERIFY(qAbs(window.y() - own.y()) <= margin);
  else QVERIFY(frame.bottom() >= available.bottom() - 2);
}

QTEST_MAIN(ScreenFitTest)
#include "screen_fit_test.moc"
