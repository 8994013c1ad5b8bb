// The keyboard: Enter, Escape and Space, the tab order, and the focus kept
// across switching to another window.

#include "app/app_startup.h"
#include "dialog/dialog_layout.h"
#include "app_test_support.h"
#include "window_test.h"
#include "dialog/dialog_ids.h"

using namespace tavimo;
using namespace tavimo::app;
using namespace tavimo::dialog;
using namespace tavimo::app::test;

class KeyboardTest : public WindowTest {
  Q_OBJECT

 private slots:
  void init() {
    recorder_ = {};
    OpenWindow(recorder_.Hooks(), /*active=*/true);
  }

  void enterAndEscapeInTextBoxChangeNothing_data();
  void enterAndEscapeInTextBoxChangeNothing();
  void enterAndEscapeOnRadioButtonChangeNothing();
  void enterOnFocusedButtonPressesIt_data();
  void enterOnFocusedButtonPressesIt();
  void keysOnDisabledSaveButtonDoNothing();
  void tabFollowsCreationOrder();
  void typedValuesAreUsed();
  void focusReturnsAfterSwitchingWindows();

 private:
  QStringList Texts() {
    QStringList texts;
    for (const ControlDef& def : DialogControls()) {
      if (def.kind == ControlKind::kTextBox) texts << Edit(*window_, def.name)->text();
    }
    return texts;
  }
  void ExpectUnchanged(const QStringList& textsBefore) {
    QVERIFY(window_->isVisible());
    QCOMPARE(Texts(), textsBefore);
    QVERIFY(recorder_.messages.empty());
    QVERIFY(recorder_.exits.empty());
    QVERIFY(Untouched(window_->Surface()));
    QVERIFY(!Button(*window_, "IDC_SAVECELLS")->isEnabled());
    QVERIFY(Radio(*window_, "IDC_CLOCKWISE")->isChecked());
  }

};

void KeyboardTest::enterAndEscapeInTextBoxChangeNothing_data() {
  QTest::addColumn<QString>("name");
  for (const ControlDef& def : DialogControls()) {
    if (def.kind == ControlKind::kTextBox) QTest::newRow(def.name) << QString::fromLatin1(def.name);
  }
}

void KeyboardTest::enterAndEscapeInTextBoxChangeNothing() {
  QFETCH(QString, name);
  QLineEdit* edit = window_->findChild<QLineEdit*>(name);
  edit->setFocus();
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
  const QStringList before = Texts();
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
  QTest::keyClick(edit, Qt::Key_Escape);
  QTest::keyClick(window_.get(), Qt::Key_Escape);
  QTest::keyClick(window_.get(), Qt::Key_Return);
  ExpectUnchanged(before);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
}

void KeyboardTest::enterAndEscapeOnRadioButtonChangeNothing() {
  QRadioButton* ccw = Radio(*window_, "IDC_COUNTERCLOCKWISE");
  ccw->setFocus();
  const QStringList before = Texts();
  QTest::keyClick(ccw, Qt::Key_Return);
  QTest::keyClick(ccw, Qt::Key_Escape);
  ExpectUnchanged(before);
}

void KeyboardTest::enterOnFocusedButtonPressesIt_data() {
  QTest::addColumn<int>("key");
  QTest::newRow("Return") << int(Qt::Key_Return);
  QTest::newRow("Enter") << int(Qt::Key_Enter);
  QTest::newRow("Space") << int(Qt::Key_Space);
}

void KeyboardTest::enterOnFocusedButtonPressesIt() {
  QFETCH(int, key);
  QPushButton* create = Button(*window_, "IDC_CREATECELLS");
  create->setFocus();
  QTest::keyClick(create, Qt::Key(key));
  QVERIFY(CountPixels(window_->Surface(), kBlue) > 0);
  QPushButton* save = Button(*window_, "IDC_SAVECELLS");
  QVERIFY(save->isEnabled());

  save->setFocus();
  QTest::keyClick(save, Qt::Key(key));
  QCOMPARE(recorder_.asks.size(), std::size_t{1});
}

void KeyboardTest::keysOnDisabledSaveButtonDoNothing() {
  QPushButton* save = Button(*window_, "IDC_SAVECELLS");
  QTest::keyClick(save, Qt::Key_Return);
  QTest::keyClick(save, Qt::Key_Space);
  QVERIFY(recorder_.asks.empty());
}

void KeyboardTest::tabFollowsCreationOrder() {
  Button(*window_, "IDC_SAVECELLS")->setEnabled(true);  // a tab stop once saving is possible
  QPushButton* create = Button(*window_, "IDC_CREATECELLS");
  create->setFocus();
  const QStringList expected{"IDC_STARTX",     "IDC_STARTY",      "IDC_WIDTHTOTAL", "IDC_HEIGHTTOTAL",
                             "IDC_WIDTHCELL",  "IDC_HEIGHTCELL",  "IDC_ANGLE",      "IDC_SAVECELLS",
                             "IDC_CLOCKWISE",  "IDC_CREATECELLS"};
  QStringList visited;
  for (int i = 0; i < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << QApplication::focusWidget()->objectName();
  }
  QCOMPARE(visited, expected);
}

void KeyboardTest::typedValuesAreUsed() {
  QLineEdit* angle = Edit(*window_, "IDC_ANGLE");
  angle->setFocus();
  angle->selectAll();
  QTest::keyClicks(angle, QStringLiteral("91"));
  QPushButton* create = Button(*window_, "IDC_CREATECELLS");
  create->setFocus();
  QTest::keyClick(create, Qt::Key_Space);
  QCOMPARE(recorder_.messages.size(), std::size_t{1});
  QCOMPARE(recorder_.messages[0].caption, std::string("Wrong angle"));
}

void KeyboardTest::focusReturnsAfterSwitchingWindows() {
  QLineEdit* angle = Edit(*window_, "IDC_ANGLE");
  angle->setFocus();
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(angle));

  QWidget other;
  other.resize(100, 100);
  other.show();
  other.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&other));
  QVERIFY(!window_->isActiveWindow());

  window_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(angle));
}

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
