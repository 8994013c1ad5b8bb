// File > Options...: the window as the shared table lays it out, its
// choices reaching Create Cells and Save Cells, and their keeping for the
// next start.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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
  void labelsOfOnesOwnAreSavedAsTheExporterSavesThem();

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
    // Every text shows whole in the dialog font.
    for (const ControlDef& def : OptionsControls()) {
      if (def.kind != ControlKind::kLabel && def.kind != ControlKind::kCheckBox) continue;
      QWidget* w = In<QWidget>(d, def.name);
      QVERIFY2(w->sizeHint().width() <= w->width(), def.name);
    }
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

void OptionsTest::labelsOfOnesOwnAreSavedAsTheExporterSavesThem() {
  // A start without the choices of the test before.
  QFile::remove(settings_.filePath(QStringLiteral("options.conf")));
  window_.reset();
  OpenWindow(recorder_.Hooks());
  QVERIFY(WithOptions([&](QDialog& d) {
    auto* corner = In<QComboBox>(d, "IDC_CORNER");
    auto* order = In<QComboBox>(d, "IDC_ORDER");
    // Off at first, with the column-row form and the lists at their first items.
    QVERIFY(!In<QCheckBox>(d, "IDC_LABELS")->isChecked());
    QVERIFY(!corner->isEnabled() && !In<QLineEdit>(d, "IDC_TEMPLATE")->isEnabled());
    QCOMPARE(In<QLineEdit>(d, "IDC_TEMPLATE")->text(), QStringLiteral("{col}-{row}"));
    QCOMPARE(In<QLineEdit>(d, "IDC_FIRSTROW")->text(), QStringLiteral("1"));
    QCOMPARE(corner->count(), 4);
    QCOMPARE(corner->currentText(), QStringLiteral("Lower left (start)"));
    QCOMPARE(corner->accessibleName(), QStringLiteral("Corner of 1-1"));
    QCOMPARE(order->count(), 3);
    QCOMPARE(order->currentText(), QStringLiteral("Row by row"));

    Click(In<QCheckBox>(d, "IDC_LABELS"));
    QVERIFY(corner->isEnabled() && In<QCheckBox>(d, "IDC_LABELSCENTRE")->isEnabled());
    Type(In<QLineEdit>(d, "IDC_TEMPLATE"), QStringLiteral("{col:A}{row}"));
    // As the keyboard chooses: two down from the first.
    QTest::keyClick(corner, Qt::Key_Down);
    QTest::keyClick(corner, Qt::Key_Down);
    QCOMPARE(corner->currentText(), QStringLiteral("Upper left"));
    QTest::mouseClick(In<QPushButton>(d, "IDC_OPTIONSOK"), Qt::LeftButton);
    QVERIFY(!d.isVisible());
  }));

  QTemporaryDir dir;
  const QString saved = dir.filePath(QStringLiteral("dialog.dxf"));
  const QString exported = dir.filePath(QStringLiteral("exported.dxf"));
  recorder_.nextPaths = {saved.toStdString()};
  QTest::mouseClick(Button(*window_, "IDC_CREATECELLS"), Qt::LeftButton);
  QTest::mouseClick(Button(*window_, "IDC_SAVECELLS"), Qt::LeftButton);
  QVERIFY2(recorder_.messages.empty(), recorder_.messages.empty() ? "" : recorder_.messages[0].text.c_str());

  QProcess exporter;
  exporter.start(QStringLiteral(TAVIMO_EXPORT_PROGRAM),
                 {QStringLiteral("--labels"), QStringLiteral("{col:A}{row}"), QStringLiteral("--corner"),
                  QStringLiteral("upper-left"), exported});
  QVERIFY(exporter.waitForFinished(60000));
  QCOMPARE(exporter.exitCode(), 0);
  QFile dialogFile(saved), exporterFile(exported);
  QVERIFY(dialogFile.open(QIODevice::ReadOnly) && exporterFile.open(QIODevice::ReadOnly));
  const QByteArray bytes = dialogFile.readAll();
  QCOMPARE(bytes, exporterFile.readAll());
  // Letters across from the upper left cell: A1 there, no column-row label.
  QVERIFY(bytes.contains("\r\nA1\r\n") && bytes.contains("\r\nJ10\r\n"));
  QVERIFY(!bytes.contains("\r\n1-1\r\n"));
}

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
