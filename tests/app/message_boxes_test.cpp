// Real message boxes: texts, icons, modality, and requests or an exit while
// one is open.

#include <QLabel>
#include <QMessageBox>

#include "app/app_startup.h"
#include "app/message_boxes.h"
#include "app_test_support.h"
#include "window_test.h"
#include "window_test.h"
#include "dialog/dialog_ids.h"

using namespace tavimo;
using namespace tavimo::app;
using namespace tavimo::dialog;
using namespace tavimo::app::test;

using BoxWatcher = WindowWatcher<QMessageBox>;

class MessageBoxTest : public WindowTest {
  Q_OBJECT

 private slots:
  void init() {
    recorder_ = {};
    // Real message boxes; the exit is still recorded.
    OpenWindow(recorder_.Hooks(/*recordMessages=*/false));
  }
  void cleanup() {
    window_.reset();
    QTRY_VERIFY(BoxWatcher::Visible().empty());
  }

  void iconForStyle_data();
  void iconForStyle();
  void sizeMessageLeavesWindowUsable();
  void messagesComeOneAfterAnother();
  void requestWhileBoxOpenIsIgnored();
  void exitWhileBoxOpenEndsCleanly();
  void closeButtonWhileBoxOpenEndsCleanly();
  void aboutBoxBlocksTheProgram();

 private:
};

void MessageBoxTest::iconForStyle_data() {
  QTest::addColumn<unsigned>("style");
  QTest::addColumn<int>("icon");
  QTest::newRow("plain") << 0x00u << int(QMessageBox::NoIcon);
  QTest::newRow("error") << 0x10u << int(QMessageBox::Critical);
  QTest::newRow("warning") << 0x30u << int(QMessageBox::Warning);
  QTest::newRow("information") << 0x40u << int(QMessageBox::Information);
  QTest::newRow("about") << 0x2040u << int(QMessageBox::Information);
}

void MessageBoxTest::iconForStyle() {
  QFETCH(unsigned, style);
  QFETCH(int, icon);
  QCOMPARE(int(IconForStyle(style)), icon);
}

void MessageBoxTest::sizeMessageLeavesWindowUsable() {
  QString caption, text;
  int icon = -1;
  bool usable = false;
  QString fieldWhileOpen;
  int labelHeight = 0, lineHeight = 0;
  BoxWatcher watcher([&](QMessageBox* box) {
    const QLabel* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    labelHeight = label->height();
    lineHeight = label->fontMetrics().lineSpacing();
    caption = box->windowTitle();
    text = box->text();
    icon = box->icon();
    usable = box->windowModality() == Qt::NonModal && QApplication::activeModalWidget() == nullptr &&
             window_->isEnabled() && Button(*window_, "IDC_CREATECELLS")->isEnabled();
    fieldWhileOpen = Edit(*window_, "IDC_WIDTHTOTAL")->text();
    box->button(QMessageBox::Ok)->click();
  });
  Type(Edit(*window_, "IDC_WIDTHTOTAL"), QStringLiteral("52"));
  QTest::mouseClick(Button(*window_, "IDC_CREATECELLS"), Qt::LeftButton);

  QCOMPARE(watcher.Seen(), 1);
  QCOMPARE(caption, QStringLiteral("Size changed..."));
  QCOMPARE(text, QString::fromLatin1(kWidthChangedText.data(), kWidthChangedText.size()));
  QCOMPARE(icon, int(QMessageBox::Information));
  QVERIFY(usable);
  // One line of text, not broken at Qt's usual 500 pixels.
  QVERIFY2(labelHeight < 2 * lineHeight, qPrintable(QString::number(labelHeight)));
  // The field is written back only after the box has been closed.
  QCOMPARE(fieldWhileOpen, QStringLiteral("52"));
  QCOMPARE(Edit(*window_, "IDC_WIDTHTOTAL")->text(), QStringLiteral(" 55"));
  QVERIFY(CountPixels(window_->Surface(), kBlue) > 0);
}

void MessageBoxTest::messagesComeOneAfterAnother() {
  QStringList captions;
  QList<int> icons;
  std::size_t mostOpen = 0;
  BoxWatcher watcher([&](QMessageBox* box) {
    captions << box->windowTitle();
    icons << box->icon();
    mostOpen = std::max(mostOpen, BoxWatcher::Visible().size());
    box->button(QMessageBox::Ok)->click();
  });
  Type(Edit(*window_, "IDC_WIDTHTOTAL"), QStringLiteral("52"));
  Type(Edit(*window_, "IDC_HEIGHTTOTAL"), QStringLiteral("49"));
  Type(Edit(*window_, "IDC_ANGLE"), QStringLiteral("100"));
  QTest::mouseClick(Button(*window_, "IDC_CREATECELLS"), Qt::LeftButton);
  QCOMPARE(captions, (QStringList{"Size changed...", "Size changed...", "Wrong angle"}));
  QCOMPARE(icons, (QList<int>{QMessageBox::Information, QMessageBox::Information, QMessageBox::NoIcon}));
  QCOMPARE(mostOpen, std::size_t{1});
  QCOMPARE(Edit(*window_, "IDC_WIDTHTOTAL")->text(), QStringLiteral(" 55"));
  QCOMPARE(Edit(*window_, "IDC_HEIGHTTOTAL")->text(), QStringLiteral(" 50"));
  QVERIFY(Untouched(window_->Surface()));
  QVERIFY(!Button(*window_, "IDC_SAVECELLS")->isEnabled());
}

void MessageBoxTest::requestWhileBoxOpenIsIgnored() {
  int boxesWhileOpen = 0;
  bool runningWhileOpen = false;
  int seen = 0;
  BoxWatcher watcher([&](QMessageBox* box) {
    if (++seen > 1) {  // a nested request's box: close it so a failure ends quickly
      box->button(QMessageBox::Ok)->click();
      return;
    }
    runningWhileOpen = window_->RequestRunning();
    // The buttons stay usable; pressing one again starts nothing new.
    QTest::mouseClick(Button(*window_, "IDC_CREATECELLS"), Qt::LeftButton);
    window_->Command(IDC_CREATECELLS);
    QTest::qWait(30);
    boxesWhileOpen = static_cast<int>(BoxWatcher::Visible().size());
    box->button(QMessageBox::Ok)->click();
  });
  Type(Edit(*window_, "IDC_ANGLE"), QStringLiteral("100"));
  QTest::mouseClick(Button(*window_, "IDC_CREATECELLS"), Qt::LeftButton);
  QCOMPARE(watcher.Seen(), 1);
  QVERIFY(runningWhileOpen);
  QCOMPARE(boxesWhileOpen, 1);
  QVERIFY(!window_->RequestRunning());

  // Once the box is closed, requests run again.
  Type(Edit(*window_, "IDC_ANGLE"), QStringLiteral("0"));
  QTest::mouseClick(Button(*window_, "IDC_CREATECELLS"), Qt::LeftButton);
  QVERIFY(CountPixels(window_->Surface(), kBlue) > 0);
}

void MessageBoxTest::exitWhileBoxOpenEndsCleanly() {
  BoxWatcher watcher([&](QMessageBox*) { Action(*window_, "IDM_EXIT")->trigger(); });
  // Width first, then the angle message would follow: it must not appear.
  Type(Edit(*window_, "IDC_WIDTHTOTAL"), QStringLiteral("52"));
  Type(Edit(*window_, "IDC_ANGLE"), QStringLiteral("100"));
  QTest::mouseClick(Button(*window_, "IDC_CREATECELLS"), Qt::LeftButton);
  QCOMPARE(watcher.Seen(), 1);
  QCOMPARE(recorder_.exits, std::vector<int>{0});
  QVERIFY(BoxWatcher::Visible().empty());
  QVERIFY(!window_->isVisible());
  QVERIFY(!window_->RequestRunning());
}

void MessageBoxTest::closeButtonWhileBoxOpenEndsCleanly() {
  BoxWatcher watcher([&](QMessageBox*) { window_->close(); });
  Type(Edit(*window_, "IDC_WIDTHTOTAL"), QStringLiteral("52"));
  QTest::mouseClick(Button(*window_, "IDC_CREATECELLS"), Qt::LeftButton);
  QCOMPARE(watcher.Seen(), 1);
  QCOMPARE(recorder_.exits, std::vector<int>{0});
  QVERIFY(BoxWatcher::Visible().empty());
  // The request ended without drawing once the window was closing.
  QVERIFY(Untouched(window_->Surface()));
}

void MessageBoxTest::aboutBoxBlocksTheProgram() {
  QString caption, text;
  int icon = -1;
  bool modal = false;
  BoxWatcher watcher([&](QMessageBox* box) {
    caption = box->windowTitle();
    text = box->text();
    icon = box->icon();
    modal = box->windowModality() == Qt::ApplicationModal && QApplication::activeModalWidget() == box;
    box->button(QMessageBox::Ok)->click();
  });
  Action(*window_, "IDM_ABOUT")->trigger();
  QCOMPARE(watcher.Seen(), 1);
  QCOMPARE(caption, QStringLiteral("About Tavimo"));
  QCOMPARE(icon, int(QMessageBox::Information));
  QVERIFY(modal);
  const QStringList lines = text.split(QLatin1Char('\n'));
  QCOMPARE(lines.size(), 6);
  QCOMPARE(lines[0], QStringLiteral("Cell Block generator utility."));
  QVERIFY(lines[3].isEmpty());
  QVERIFY(!text.contains(QLatin1Char('\r')));
}

QTEST_MAIN(MessageBoxTest)
#include "message_boxes_test.moc"
