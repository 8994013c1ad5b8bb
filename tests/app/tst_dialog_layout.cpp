// The main dialog as it appears at start: layout, texts, states, window kind.

#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "app/app_startup.h"
#include "app/dialog_layout.h"
#include "app/dialog_units.h"
#include "app_test_support.h"
#include "app/dialog_ids.h"

using namespace tavimo;
using namespace tavimo::app;
using namespace tavimo::app::test;

class DialogLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { PrepareApplication(*qApp); }
  void init() {
    window_ = std::make_unique<MainWindow>(recorder_.Hooks());
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() {
    window_.reset();
    recorder_ = {};
  }

  void mulDivRoundsHalvesAwayFromZero_data();
  void mulDivRoundsHalvesAwayFromZero();
  void baseUnitsFromLetterWidth_data();
  void baseUnitsFromLetterWidth();
  void fallbackFontIsSans();

  void captionAndObjectNames();
  void initialTexts();
  void initialStates();
  void menuBarEntries();
  void controlsAtTheirDialogUnitPositions();
  void clientAreaBelowMenuBar();
  void fixedSizeWithMinimizeOnly();
  void textBoxesRightAligned();
  void radioButtonsExcludeEachOther();
  void groupBoxesLetClicksThrough();
  void noDefaultButtons();
  void previewStartsWithButtonFace();
  void programIconHasBothSizes();

 private:
  Recorder recorder_;
  std::unique_ptr<MainWindow> window_;
};

void DialogLayoutTest::mulDivRoundsHalvesAwayFromZero_data() {
  QTest::addColumn<int>("a");
  QTest::addColumn<int>("b");
  QTest::addColumn<int>("c");
  QTest::addColumn<int>("expected");
  QTest::newRow("exact") << 8 << 6 << 4 << 12;
  QTest::newRow("half up") << 1 << 6 << 4 << 2;        // 1.5
  QTest::newRow("2.5 up, not to even") << 5 << 2 << 4 << 3;
  QTest::newRow("below half") << 5 << 13 << 8 << 8;    // 8.125
  QTest::newRow("above half") << 3 << 13 << 8 << 5;    // 4.875
  QTest::newRow("negative half") << -1 << 6 << 4 << -2;
  QTest::newRow("no overflow") << 2000000000 << 4 << 8 << 1000000000;
  QTest::newRow("divide by zero") << 5 << 5 << 0 << -1;
}

void DialogLayoutTest::mulDivRoundsHalvesAwayFromZero() {
  QFETCH(int, a);
  QFETCH(int, b);
  QFETCH(int, c);
  QFETCH(int, expected);
  QCOMPARE(MulDiv(a, b, c), expected);
}

void DialogLayoutTest::baseUnitsFromLetterWidth_data() {
  QTest::addColumn<int>("lettersWidth");
  QTest::addColumn<int>("expectedX");
  // Average letter width 5.5 -> 6; 5.4 -> 5; 6.79 (DejaVu Sans 11 px) -> 7.
  QTest::newRow("5.5") << 286 << 6;
  QTest::newRow("5.4") << 281 << 5;
  QTest::newRow("dejavu") << 353 << 7;
  QTest::newRow("just under 6.5") << 337 << 6;
  QTest::newRow("6.5") << 338 << 7;
}

void DialogLayoutTest::baseUnitsFromLetterWidth() {
  QFETCH(int, lettersWidth);
  QFETCH(int, expectedX);
  const DialogBaseUnits units = DialogBaseUnits::FromMetrics(lettersWidth, 13);
  QCOMPARE(units.x, expectedX);
  QCOMPARE(units.y, 13);
}

void DialogLayoutTest::fallbackFontIsSans() {
  const QFontInfo info(DialogFont());
  QVERIFY(!info.family().isEmpty());
  QCOMPARE(qRound(info.pointSizeF()), 8);
  // Whatever font stands in, the base units come from it.
  const DialogBaseUnits units = DialogBaseUnits::FromFont(QFontMetrics(DialogFont()));
  QCOMPARE(window_->BaseUnits().x, units.x);
  QCOMPARE(window_->BaseUnits().y, units.y);
  QVERIFY(units.x > 0 && units.y > 0);
}

void DialogLayoutTest::captionAndObjectNames() {
  QCOMPARE(window_->windowTitle(), QStringLiteral("Cell block generator"));
  QCOMPARE(window_->objectName(), QStringLiteral("CellBlockDialog"));
  for (const ControlDef& def : DialogControls()) {
    QWidget* w = window_->findChild<QWidget*>(QLatin1String(def.name));
    QVERIFY2(w != nullptr, def.name);
    QCOMPARE(window_->Control(def.id), w);
  }
}

void DialogLayoutTest::initialTexts() {
  const std::vector<std::pair<const char*, const char*>> edits{
      {"IDC_STARTX", "10"},    {"IDC_STARTY", "10"},    {"IDC_WIDTHTOTAL", "50"}, {"IDC_HEIGHTTOTAL", "50"},
      {"IDC_WIDTHCELL", "5"}, {"IDC_HEIGHTCELL", "5"}, {"IDC_ANGLE", "0"}};
  for (const auto& [name, text] : edits) QCOMPARE(Edit(*window_, name)->text(), QLatin1String(text));

  QCOMPARE(Button(*window_, "IDC_CREATECELLS")->text(), QStringLiteral("Create Cells"));
  QCOMPARE(Button(*window_, "IDC_SAVECELLS")->text(), QStringLiteral("Save Cells"));
  QCOMPARE(Radio(*window_, "IDC_CLOCKWISE")->text(), QStringLiteral("Clockwise"));
  QCOMPARE(Radio(*window_, "IDC_COUNTERCLOCKWISE")->text(), QStringLiteral("Counter Clockwise"));

  const std::vector<std::pair<const char*, const char*>> labels{
      {"IDC_LABELX", "X"},
      {"IDC_LABELY", "Y"},
      {"IDC_LABELWIDTHTOTAL", "Width Total"},
      {"IDC_LABELWIDTHCELL", "Width Cell"},
      {"IDC_LABELHEIGHTTOTAL", "Height Total"},
      {"IDC_LABELHEIGHTCELL", "Height Cell"},
      {"IDC_LABELANGLE", "Angle"}};
  for (const auto& [name, text] : labels) {
    QCOMPARE(window_->findChild<QLabel*>(QLatin1String(name))->text(), QLatin1String(text));
  }

  const std::vector<std::pair<const char*, const char*>> frames{
      {"IDC_FRAMESTARTPOINT", "Starting Point"},
      {"IDC_FRAMEPROPERTIES", "Cell Block Properties"},
      {"IDC_FRAMEBUTTONS", ""},
      {"IDC_FRAMECELLBLOCK", "Cell Block"},
      {"IDC_FRAMEROTATION", "Rotation"}};
  for (const auto& [name, text] : frames) {
    QCOMPARE(window_->findChild<QGroupBox*>(QLatin1String(name))->title(), QLatin1String(text));
  }
}

void DialogLayoutTest::initialStates() {
  QVERIFY(Radio(*window_, "IDC_CLOCKWISE")->isChecked());
  QVERIFY(!Radio(*window_, "IDC_COUNTERCLOCKWISE")->isChecked());
  QVERIFY(Button(*window_, "IDC_CREATECELLS")->isEnabled());
  QVERIFY(!Button(*window_, "IDC_SAVECELLS")->isEnabled());
  QVERIFY(!Action(*window_, "IDM_SAVEAS")->isEnabled());
  QVERIFY(Action(*window_, "IDM_EXIT")->isEnabled());
  QVERIFY(Action(*window_, "IDM_ABOUT")->isEnabled());
  for (const char* name : {"IDC_STARTX", "IDC_STARTY", "IDC_WIDTHTOTAL", "IDC_HEIGHTTOTAL", "IDC_WIDTHCELL",
                           "IDC_HEIGHTCELL", "IDC_ANGLE"}) {
    QVERIFY2(Edit(*window_, name)->isEnabled(), name);
  }
  QVERIFY(recorder_.messages.empty());
}

void DialogLayoutTest::menuBarEntries() {
  auto* bar = window_->findChild<QMenuBar*>();
  QVERIFY(bar != nullptr);
  QVERIFY(!bar->isNativeMenuBar());
  const QList<QAction*> menus = bar->actions();
  QCOMPARE(menus.size(), 2);
  QCOMPARE(menus[0]->text(), QStringLiteral("&File"));
  QCOMPARE(menus[1]->text(), QStringLiteral("&Help"));

  const QList<QAction*> file = menus[0]->menu()->actions();
  QCOMPARE(file.size(), 3);
  QCOMPARE(file[0]->text(), QStringLiteral("&Save As"));
  QCOMPARE(file[0]->data().toInt(), int(IDM_SAVEAS));
  QVERIFY(file[1]->isSeparator());
  QCOMPARE(file[2]->text(), QStringLiteral("E&xit"));
  QCOMPARE(file[2]->data().toInt(), int(IDM_EXIT));

  const QList<QAction*> help = menus[1]->menu()->actions();
  QCOMPARE(help.size(), 1);
  QCOMPARE(help[0]->text(), QStringLiteral("About"));
  QCOMPARE(help[0]->data().toInt(), int(IDM_ABOUT));
  for (QAction* a : file + help) QVERIFY(!a->isCheckable());
}

void DialogLayoutTest::controlsAtTheirDialogUnitPositions() {
  const DialogBaseUnits& u = window_->BaseUnits();
  for (const ControlDef& def : DialogControls()) {
    QWidget* w = window_->Control(def.id);
    const QRect expected(MulDiv(def.x, u.x, 4), MulDiv(def.y, u.y, 8), MulDiv(def.width, u.x, 4),
                         MulDiv(def.height, u.y, 8));
    QCOMPARE(w->geometry(), expected);
    QVERIFY2(w->isVisible(), def.name);
  }
  // Spot checks of the table itself, in case it and the window agree on a typo.
  QWidget* angle = window_->Control(IDC_ANGLE);
  QCOMPARE(angle->geometry(), QRect(MulDiv(270, u.x, 4), MulDiv(25, u.y, 8), MulDiv(25, u.x, 4), MulDiv(15, u.y, 8)));
  QWidget* graphic = window_->Control(IDC_GRAPHIC);
  QCOMPARE(graphic->size(), QSize(MulDiv(440, u.x, 4), MulDiv(250, u.y, 8)));
  QWidget* save = window_->Control(IDC_SAVECELLS);
  QCOMPARE(save->pos(), QPoint(MulDiv(398, u.x, 4), MulDiv(25, u.y, 8)));
}

void DialogLayoutTest::clientAreaBelowMenuBar() {
  const DialogBaseUnits& u = window_->BaseUnits();
  auto* bar = window_->findChild<QMenuBar*>();
  QWidget* client = window_->Control(IDC_STARTX)->parentWidget();
  QCOMPARE(client->size(), QSize(MulDiv(461, u.x, 4), MulDiv(325, u.y, 8)));
  QCOMPARE(client->mapTo(window_.get(), QPoint(0, 0)), QPoint(0, bar->height()));
  QCOMPARE(window_->size(), QSize(client->width(), bar->height() + client->height()));
}

void DialogLayoutTest::fixedSizeWithMinimizeOnly() {
  QCOMPARE(window_->minimumSize(), window_->maximumSize());
  QCOMPARE(window_->size(), window_->minimumSize());
  const Qt::WindowFlags flags = window_->windowFlags();
  QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
  // A request to grow is refused.
  const QSize before = window_->size();
  window_->resize(before + QSize(100, 100));
  QCOMPARE(window_->size(), before);
}

void DialogLayoutTest::textBoxesRightAligned() {
  for (const ControlDef& def : DialogControls()) {
    if (def.kind != ControlKind::kTextBox) continue;
    QVERIFY2(Edit(*window_, def.name)->alignment().testFlag(Qt::AlignRight), def.name);
  }
}

void DialogLayoutTest::radioButtonsExcludeEachOther() {
  QRadioButton* cw = Radio(*window_, "IDC_CLOCKWISE");
  QRadioButton* ccw = Radio(*window_, "IDC_COUNTERCLOCKWISE");
  QTest::mouseClick(ccw, Qt::LeftButton);
  QVERIFY(ccw->isChecked());
  QVERIFY(!cw->isChecked());
  QTest::mouseClick(cw, Qt::LeftButton);
  QVERIFY(cw->isChecked());
  QVERIFY(!ccw->isChecked());
}

void DialogLayoutTest::groupBoxesLetClicksThrough() {
  // The "Starting Point" frame lies over the X box: a click there must reach the box.
  QWidget* client = window_->Control(IDC_STARTX)->parentWidget();
  QLineEdit* x = Edit(*window_, "IDC_STARTX");
  const QPoint centre = x->geometry().center();
  QCOMPARE(client->childAt(centre), static_cast<QWidget*>(x));
  QWidget* graphic = window_->Control(IDC_GRAPHIC);
  QCOMPARE(client->childAt(graphic->geometry().center()), graphic);
}

void DialogLayoutTest::noDefaultButtons() {
  for (QPushButton* b : window_->findChildren<QPushButton*>()) {
    QVERIFY(!b->isDefault());
    QVERIFY(!b->autoDefault());
  }
}

void DialogLayoutTest::previewStartsWithButtonFace() {
  const PixelSurface& surface = window_->Surface();
  QWidget* graphic = window_->Control(IDC_GRAPHIC);
  QCOMPARE(QSize(surface.ClientWidth(), surface.ClientHeight()), graphic->size());
  QVERIFY(Untouched(surface));
  QCOMPARE(graphic->focusPolicy(), Qt::NoFocus);
}

void DialogLayoutTest::programIconHasBothSizes() {
  const QList<QSize> sizes = window_->windowIcon().availableSizes();
  QVERIFY(sizes.contains(QSize(16, 16)));
  QVERIFY(sizes.contains(QSize(32, 32)));
  const QImage small = window_->windowIcon().pixmap(QSize(16, 16)).toImage();
  QCOMPARE(small.size(), QSize(16, 16));
  // It is a drawing, not a blank square.
  QSet<QRgb> colours;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) colours.insert(small.pixel(x, y));
  QVERIFY(colours.size() >= 3);
}

QTEST_MAIN(DialogLayoutTest)
#include "tst_dialog_layout.moc"
