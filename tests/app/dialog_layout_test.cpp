// The main dialog as it appears at start: layout, texts, states, window kind.

#include <QAccessible>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "app/app_startup.h"
#include "dialog/dialog_layout.h"
#include "app/dialog_units.h"
#include "app/group_frame.h"
#include "app_test_support.h"
#include "window_test.h"
#include "dialog/dialog_ids.h"

using namespace tavimo;
using namespace tavimo::app;
using namespace tavimo::dialog;
using namespace tavimo::app::test;

class DialogLayoutTest : public WindowTest {
  Q_OBJECT

 private slots:

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
  void fieldsNamedByTheirLabels();
  void frameLinesRunThroughCaptions();
  void desktopEntryMatchesTheProgram();

 private:
};

void DialogLayoutTest::fallbackFontIsSans() {
  const QFontInfo info(DialogFont());
  QVERIFY(!info.family().isEmpty());
  QCOMPARE(qRound(info.pointSizeF()), 8);
  // Whatever font stands in, the base units come from it.
  const DialogBaseUnits units = BaseUnitsOf(QFontMetrics(DialogFont()));
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
  QCOMPARE(file.size(), 4);
  QCOMPARE(file[0]->text(), QStringLiteral("&Save As"));
  QCOMPARE(file[0]->data().toInt(), int(IDM_SAVEAS));
  QCOMPARE(file[1]->text(), QStringLiteral("&Options..."));
  QCOMPARE(file[1]->data().toInt(), 1028);
  QVERIFY(file[1]->isEnabled());
  QVERIFY(file[2]->isSeparator());
  QCOMPARE(file[3]->text(), QStringLiteral("E&xit"));
  QCOMPARE(file[3]->data().toInt(), int(IDM_EXIT));

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

void DialogLayoutTest::fieldsNamedByTheirLabels() {
  const std::vector<std::pair<const char*, const char*>> pairs{
      {"IDC_LABELX", "IDC_STARTX"},           {"IDC_LABELY", "IDC_STARTY"},
      {"IDC_LABELWIDTHTOTAL", "IDC_WIDTHTOTAL"}, {"IDC_LABELHEIGHTTOTAL", "IDC_HEIGHTTOTAL"},
      {"IDC_LABELWIDTHCELL", "IDC_WIDTHCELL"},   {"IDC_LABELHEIGHTCELL", "IDC_HEIGHTCELL"},
      {"IDC_LABELANGLE", "IDC_ANGLE"}};
  for (const auto& [labelName, fieldName] : pairs) {
    auto* label = window_->findChild<QLabel*>(QLatin1String(labelName));
    QLineEdit* field = Edit(*window_, fieldName);
    QCOMPARE(label->buddy(), static_cast<QWidget*>(field));
    // What a screen reader hears.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(field);
    QVERIFY(accessible != nullptr);
    QCOMPARE(accessible->text(QAccessible::Name), label->text());
  }
}

// Each frame's top line runs through its caption, half a text height down,
// above every control it surrounds (the "Cell Block" line above the preview,
// where it stays visible), and is broken where the caption stands.
void DialogLayoutTest::frameLinesRunThroughCaptions() {
  QWidget* client = window_->Control(IDC_STARTX)->parentWidget();
  const QImage shot = client->grab().toImage();
  const QRgb shadow = client->palette().color(QPalette::Dark).rgb();
  for (auto* frame : client->findChildren<GroupFrame*>()) {
    const int lineY = frame->y() + frame->LineTop();
    const int textHeight = frame->fontMetrics().height();
    QVERIFY2(lineY > frame->y() && lineY < frame->y() + textHeight / 2 + 1, qPrintable(frame->objectName()));
    for (QWidget* control : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (qobject_cast<GroupFrame*>(control) || !frame->geometry().intersects(control->geometry())) continue;
      QVERIFY2(control->y() > lineY, qPrintable(control->objectName() + " crosses " + frame->objectName()));
    }
    const int captionEnd = GroupFrame::kCaptionLeft + frame->fontMetrics().horizontalAdvance(frame->title());
    const int right = frame->x() + frame->width() - 2;
    for (int x = frame->x() + captionEnd + GroupFrame::kCaptionGap + 1; x < right; ++x) {
      QCOMPARE(shot.pixel(x, lineY), shadow);
    }
    if (!frame->title().isEmpty()) {
      QVERIFY(shot.pixel(frame->x() + GroupFrame::kCaptionLeft, lineY) != shadow ||
              shot.pixel(frame->x() + GroupFrame::kCaptionLeft + 1, lineY) != shadow);
      QCOMPARE(shot.pixel(frame->x() + 2, lineY), shadow);
    }
  }
}

// Desktops find the window's menu entry and icon by these names: the X11
// window class (the application name) and the Wayland app id.
void DialogLayoutTest::desktopEntryMatchesTheProgram() {
  const QString name = QGuiApplication::desktopFileName();
  QCOMPARE(name, QLatin1String(kDesktopFileName));
  QFile file(QStringLiteral(TAVIMO_DATA_DIR "/%1.desktop").arg(name));
  QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(file.fileName()));
  QHash<QString, QString> keys;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const qsizetype eq = line.indexOf('=');
    if (eq > 0) keys.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
  }
  QCOMPARE(keys.value(QStringLiteral("StartupWMClass")), QCoreApplication::applicationName());
  QCOMPARE(keys.value(QStringLiteral("Icon")), name);
  QCOMPARE(keys.value(QStringLiteral("Exec")), QStringLiteral("tavimo"));
}

QTEST_MAIN(DialogLayoutTest)
#include "dialog_layout_test.moc"
