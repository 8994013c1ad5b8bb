// File > Options...: the window as the shared table lays it out, its
// choices reaching Create Cells, and their keeping for the next start.

#include <QCheckBox>
#include <QDialog>
#include <QFile>

#include "app/dialog_units.h"
#include "app_test_support.h"
#include "dialog/dialog_ids.h"
#include "dialog/dialog_texts.h"
#include "dialog/options_window.h"
#include "window_test.h"

using namespace tavimo;
using namespace tavimo::app;
using namespace tavimo::dialog;
using namespace tavimo::app::test;

class OptionsTest : public WindowTest {
  Q_OBJECT

 private slots:
  void choicesReachTheBlockAndOutliveTheWindow();

 private:
  // Opens File > Options... and hands its window to `work` while it is
  // open; the window is closed with Cancel should `work` leave it open.
  bool WithOptions(const std::function<void(QDialog&)>& work) {
    bool opened = false;
    WindowWatcher<QDialog> watcher([&](QDialog* dialog) {
      if (dialog->objectName() != QLatin1String(kOptionsObjectName)) return;
      opened = true;
      work(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    Action(*window_, "IDM_OPTIONS")->trigger();
    return opened;
  }
  template <class T>
  static T* In(QDialog& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QLatin1String(name));
    if (found == nullptr) qWarning("no %s in the Options window", name);
    return found;
  }
  static void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(4, w->height() / 2)); }
  void CreateFractionalCells() {
    Type(Edit(*window_, "IDC_WIDTHCELL"), QStringLiteral("2.5"));
    Type(Edit(*window_, "IDC_HEIGHTCELL"), QStringLiteral("1.5"));
    QTest::mouseClick(Button(*window_, "IDC_CREATECELLS"), Qt::LeftButton);
  }
};

void OptionsTest::choicesReachTheBlockAndOutliveTheWindow() {
  QVERIFY(WithOptions([&](QDialog& d) {
    QCOMPARE(d.windowTitle(), QStringLiteral("Options"));
    const DialogBaseUnits units = BaseUnitsOf(QFontMetrics(DialogFont()));
    for (const ControlDef& def : OptionsControls()) {
      QWidget* w = In<QWidget>(d, def.name);
      QVERIFY(w != nullptr);
      QCOMPARE(w->geometry(), ToPixels(units, QRect(def.x, def.y, def.width, def.height)));
    }
    QCOMPARE(In<QLineEdit>(d, "IDC_ROWS")->accessibleName(), QStringLiteral("Rows"));
    // Everything off at first, and the fields of an option that is off disabled.
    for (const char* box : {"IDC_DECIMALS", "IDC_BASELINE", "IDC_COUNTS"}) QVERIFY(!In<QCheckBox>(d, box)->isChecked());
    QVERIFY(!In<QLineEdit>(d, "IDC_BASELINEX1")->isEnabled());
    QVERIFY(!In<QLineEdit>(d, "IDC_COLUMNS")->isEnabled());

    Click(In<QCheckBox>(d, "IDC_DECIMALS"));
    Click(In<QCheckBox>(d, "IDC_COUNTS"));
    QVERIFY(In<QLineEdit>(d, "IDC_COLUMNS")->isEnabled());
    QVERIFY(!In<QLineEdit>(d, "IDC_BASELINEX1")->isEnabled());
    Type(In<QLineEdit>(d, "IDC_COLUMNS"), QStringLiteral("4"));
    // Rows left empty: OK names it and the window stays.
    QTest::mouseClick(In<QPushButton>(d, "IDC_OPTIONSOK"), Qt::LeftButton);
    QCOMPARE(recorder_.messages.size(), std::size_t{1});
    QCOMPARE(recorder_.messages[0].text, std::string("Please enter a value for Rows, or clear \"Give counts of cells\""));
    QCOMPARE(recorder_.messages[0].caption, std::string("Options"));
    QCOMPARE(recorder_.messages[0].style, unsigned(kMessageWarning | kMessageTaskModal));
    QVERIFY(d.isVisible());
    Type(In<QLineEdit>(d, "IDC_ROWS"), QStringLiteral("3"));
    QTest::mouseClick(In<QPushButton>(d, "IDC_OPTIONSOK"), Qt::LeftButton);
    QVERIFY(!d.isVisible());
  }));
  const QString file = settings_.filePath(QStringLiteral("options.conf"));
  QVERIFY(QFile::exists(file));

  // Four columns and three rows of 2.5 by 1.5, fractions kept: no "Size
  // changed...", the totals written in.
  CreateFractionalCells();
  QCOMPARE(recorder_.messages.size(), std::size_t{1});
  QCOMPARE(Edit(*window_, "IDC_WIDTHTOTAL")->text(), QStringLiteral(" 10"));
  QCOMPARE(Edit(*window_, "IDC_HEIGHTTOTAL")->text(), QStringLiteral(" 4.5"));
  QVERIFY(CountPixels(window_->Surface(), kBlue) > 0);

  // The next start has the choices; Cancel leaves them as they were.
  window_.reset();
  OpenWindow(recorder_.Hooks());
  QVERIFY(WithOptions([&](QDialog& d) {
    QVERIFY(In<QCheckBox>(d, "IDC_DECIMALS")->isChecked());
    QVERIFY(In<QCheckBox>(d, "IDC_COUNTS")->isChecked());
    QVERIFY(!In<QCheckBox>(d, "IDC_BASELINE")->isChecked());
    QCOMPARE(In<QLineEdit>(d, "IDC_COLUMNS")->text(), QStringLiteral("4"));
    QCOMPARE(In<QLineEdit>(d, "IDC_ROWS")->text(), QStringLiteral("3"));
    QVERIFY(In<QLineEdit>(d, "IDC_ROWS")->isEnabled());
    Click(In<QCheckBox>(d, "IDC_DECIMALS"));
    Click(In<QCheckBox>(d, "IDC_COUNTS"));
    QTest::mouseClick(In<QPushButton>(d, "IDC_OPTIONSCANCEL"), Qt::LeftButton);
    QVERIFY(!d.isVisible());
  }));
  CreateFractionalCells();
  QCOMPARE(recorder_.messages.size(), std::size_t{1});
  QCOMPARE(Edit(*window_, "IDC_HEIGHTTOTAL")->text(), QStringLiteral(" 4.5"));
}

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
