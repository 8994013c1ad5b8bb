// The dialog on the screen it is started on (the screen comes from the
// test's environment: an offscreen screen of a given size, with scaling):
// at its own position where it fits, wholly on the screen otherwise.

#include <QScreen>

#include "app/app_startup.h"
#include "app/dialog_layout.h"
#include "app_test_support.h"
#include "model/dialog_port.h"

using namespace tavimo;
using namespace tavimo::app;
using namespace tavimo::app::test;

class ScreenFitTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { PrepareApplication(*qApp); }
  void wholeDialogOnScreen();
};

void ScreenFitTest::wholeDialogOnScreen() {
  Recorder recorder;
  MainWindow window(recorder.Hooks());
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCoreApplication::processEvents();

  const QRect available = window.screen()->availableGeometry();
  const QRect frame = window.frameGeometry();
  const QPoint own = window.BaseUnits().ToPixels(QPoint(kDialogXDu, kDialogYDu));
  const QRect ownFrame(own, frame.size());
  qInfo("screen %dx%d, frame %d,%d %dx%d", available.width(), available.height(), frame.x(), frame.y(),
        frame.width(), frame.height());
  QVERIFY(available.contains(frame));
  for (int id : {IDC_CREATECELLS, IDC_SAVECELLS}) {
    QWidget* button = window.Control(id);
    QVERIFY(available.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())));
  }
  // Moved only along the axes where its own place does not fit.
  const bool fitsAcross = ownFrame.right() <= available.right();
  const bool fitsDown = ownFrame.bottom() <= available.bottom();
  if (fitsAcross) QVERIFY(qAbs(window.x() - own.x()) <= frame.width() - window.width());
  else QCOMPARE(frame.right(), available.right());
  if (fitsDown) QVERIFY(qAbs(window.y() - own.y()) <= frame.height() - window.height());
  else QCOMPARE(frame.bottom(), available.bottom());
}

QTEST_MAIN(ScreenFitTest)
#include "tst_screen_fit.moc"
