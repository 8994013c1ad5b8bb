// What the buttons and menu commands do: preview, save, About, exit.

#include <QFile>
#include <QTemporaryDir>
#include <clocale>

#include "app/app_startup.h"
#include "app/message_boxes.h"
#include "app_test_support.h"
#include "window_test.h"
#include "dialog/save_as.h"
#include "export/gis_save.h"
#include "dialog/dialog_ids.h"

using namespace tavimo;
using namespace tavimo::app;
using namespace tavimo::dialog;
using namespace tavimo::app::test;

class CommandsTest : public WindowTest {
  Q_OBJECT

 private slots:

  void createCellsDrawsAndEnablesSaving();
  void previewControlShowsTheBuffer();
  void wrongAngleDrawsNothing();
  void widthCorrectionWritesBack();
  void secondPreviewReplacesFirst();
  void clickOnPreviewDoesNothing();
  void saveAsGrayedBeforeFirstPreview();
  void saveCellsAndSaveAsWriteTheSameFile();
  void saveReadsTheFieldsAgain();
  void cancelledSaveWritesNothing();
  void saveMessagesReachTheUser();
  void gisSavesUnderATurkishLocale();
  void aboutTextHasSixLines();
  void aboutCommandShowsAboutBox();
  void exitEndsWithCodeZero();
  void closeButtonEndsWithCodeZero();

 private:
  void Click(const char* name) { QTest::mouseClick(Button(*window_, name), Qt::LeftButton); }
  static QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

};

void CommandsTest::createCellsDrawsAndEnablesSaving() {
  Click("IDC_CREATECELLS");
  QVERIFY(recorder_.messages.empty());
  QVERIFY(Button(*window_, "IDC_SAVECELLS")->isEnabled());
  QVERIFY(Action(*window_, "IDM_SAVEAS")->isEnabled());
  const PixelSurface& s = window_->Surface();
  QVERIFY(CountPixels(s, kBlue) > 0);
  // Blue lines on white: the initial fill is gone.
  QCOMPARE(CountPixels(s, kBlue) + CountPixels(s, 0xFFFFFF), s.pixels().size());
}

void CommandsTest::previewControlShowsTheBuffer() {
  Click("IDC_CREATECELLS");
  QWidget* graphic = window_->Control(IDC_GRAPHIC);
  const QImage shown = graphic->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const PixelSurface& s = window_->Surface();
  QCOMPARE(shown.size(), QSize(s.ClientWidth(), s.ClientHeight()));
  for (int y = 0; y < shown.height(); ++y) {
    for (int x = 0; x < shown.width(); ++x) {
      const std::uint32_t expected = s.pixels()[static_cast<std::size_t>(y) * s.ClientWidth() + x];
      if ((shown.pixel(x, y) & 0xFFFFFF) != expected) {
        QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
      }
    }
  }
}

void CommandsTest::wrongAngleDrawsNothing() {
  Type(Edit(*window_, "IDC_ANGLE"), QStringLiteral("100"));
  Click("IDC_CREATECELLS");
  QCOMPARE(recorder_.messages.size(), std::size_t{1});
  QCOMPARE(recorder_.messages[0].text, std::string(kWrongAngleText));
  QCOMPARE(recorder_.messages[0].caption, std::string(kWrongAngleCaption));
  QCOMPARE(recorder_.messages[0].style, 0u);
  QVERIFY(Untouched(window_->Surface()));
  QVERIFY(!Button(*window_, "IDC_SAVECELLS")->isEnabled());
  QVERIFY(!Action(*window_, "IDM_SAVEAS")->isEnabled());
}

// Also run with LC_ALL=de_DE.UTF-8: the decimal comma must not leak into the field.
void CommandsTest::widthCorrectionWritesBack() {
  if (qgetenv("LC_ALL").startsWith("de_DE")) {
    QVERIFY2(QByteArray(std::setlocale(LC_CTYPE, nullptr)).startsWith("de_DE"),
             "the de_DE.UTF-8 locale is not installed");
    QCOMPARE(std::localeconv()->decimal_point, ".");
  }
  Type(Edit(*window_, "IDC_WIDTHTOTAL"), QStringLiteral("52"));
  Type(Edit(*window_, "IDC_STARTX"), QStringLiteral("10.25"));
  Click("IDC_CREATECELLS");
  QCOMPARE(recorder_.messages.size(), std::size_t{1});
  QCOMPARE(recorder_.messages[0].text, std::string(kWidthChangedText));
  QCOMPARE(recorder_.messages[0].caption, std::string(kSizeChangedCaption));
  QCOMPARE(recorder_.messages[0].style, 0x40u);
  QCOMPARE(Edit(*window_, "IDC_WIDTHTOTAL")->text(), QStringLiteral(" 55"));
  QCOMPARE(Edit(*window_, "IDC_STARTX")->text(), QStringLiteral("10.25"));
  QVERIFY(CountPixels(window_->Surface(), kBlue) > 0);

  // The corrected text reads back as 55: no second message.
  Click("IDC_CREATECELLS");
  QCOMPARE(recorder_.messages.size(), std::size_t{1});
}

void CommandsTest::secondPreviewReplacesFirst() {
  Click("IDC_CREATECELLS");
  const std::vector<std::uint32_t> square = window_->Surface().pixels();
  Type(Edit(*window_, "IDC_WIDTHTOTAL"), QStringLiteral("100"));
  Type(Edit(*window_, "IDC_ANGLE"), QStringLiteral("30"));
  QTest::mouseClick(Radio(*window_, "IDC_COUNTERCLOCKWISE"), Qt::LeftButton);
  Click("IDC_CREATECELLS");
  QVERIFY(window_->Surface().pixels() != square);

  // Back to the first block: exactly the first picture, nothing of the second left.
  Type(Edit(*window_, "IDC_WIDTHTOTAL"), QStringLiteral("50"));
  Type(Edit(*window_, "IDC_ANGLE"), QStringLiteral("0"));
  QTest::mouseClick(Radio(*window_, "IDC_CLOCKWISE"), Qt::LeftButton);
  Click("IDC_CREATECELLS");
  QVERIFY(window_->Surface().pixels() == square);
}

void CommandsTest::clickOnPreviewDoesNothing() {
  QWidget* graphic = window_->Control(IDC_GRAPHIC);
  QTest::mouseClick(graphic, Qt::LeftButton, {}, graphic->rect().center());
  QTest::mouseDClick(graphic, Qt::LeftButton, {}, QPoint(5, 5));
  QVERIFY(Untouched(window_->Surface()));
  QVERIFY(recorder_.messages.empty());
  QVERIFY(!Button(*window_, "IDC_SAVECELLS")->isEnabled());
}

void CommandsTest::saveAsGrayedBeforeFirstPreview() {
  Action(*window_, "IDM_SAVEAS")->trigger();
  Click("IDC_SAVECELLS");
  QVERIFY(recorder_.asks.empty());
}

void CommandsTest::saveCellsAndSaveAsWriteTheSameFile() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString viaButton = dir.filePath(QStringLiteral("button.dxf"));
  const QString viaMenu = dir.filePath(QStringLiteral("menu.dxf"));
  recorder_.nextPaths = {viaButton.toStdString(), viaMenu.toStdString()};

  Click("IDC_CREATECELLS");
  Click("IDC_SAVECELLS");
  Action(*window_, "IDM_SAVEAS")->trigger();

  QCOMPARE(recorder_.asks.size(), std::size_t{2});
  for (const SaveAsk& ask : recorder_.asks) {
    QCOMPARE(ask.initialName, std::string("*.dxf"));
    QCOMPARE(ask.filter, SaveFilter());
    QVERIFY(ask.filter.rfind("Autocad DXF|*.dxf|Orvel Format|*.cht|", 0) == 0);
    QCOMPARE(ask.defaultExtension, std::string("dxf"));
  }
  const QByteArray button = ReadAll(viaButton);
  QVERIFY(button.contains("LINE"));
  QVERIFY(button.contains("Cell_Numbers"));
  QCOMPARE(ReadAll(viaMenu), button);
  QVERIFY(recorder_.messages.empty());
}

void CommandsTest::saveReadsTheFieldsAgain() {
  QTemporaryDir dir;
  const QString first = dir.filePath(QStringLiteral("first.dxf"));
  const QString second = dir.filePath(QStringLiteral("second.dxf"));
  recorder_.nextPaths = {first.toStdString(), second.toStdString()};
  Click("IDC_CREATECELLS");
  Click("IDC_SAVECELLS");
  // A wrong width after the preview: the save corrects it, as a preview would.
  Type(Edit(*window_, "IDC_WIDTHTOTAL"), QStringLiteral("12"));
  Click("IDC_SAVECELLS");
  QCOMPARE(recorder_.messages.size(), std::size_t{1});
  QCOMPARE(recorder_.messages[0].text, std::string(kWidthChangedText));
  QCOMPARE(Edit(*window_, "IDC_WIDTHTOTAL")->text(), QStringLiteral(" 15"));
  QVERIFY(ReadAll(second).size() < ReadAll(first).size());
  QVERIFY(!ReadAll(second).isEmpty());
}

void CommandsTest::cancelledSaveWritesNothing() {
  QTemporaryDir dir;
  const QString before = QDir::currentPath();
  QDir::setCurrent(dir.path());
  auto restore = qScopeGuard([&] { QDir::setCurrent(before); });
  recorder_.nextPaths = {std::nullopt};
  Click("IDC_CREATECELLS");
  Click("IDC_SAVECELLS");
  QCOMPARE(recorder_.asks.size(), std::size_t{1});
  QVERIFY(recorder_.messages.empty());
  QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void CommandsTest::saveMessagesReachTheUser() {
  QTemporaryDir dir;
  recorder_.nextPaths = {dir.filePath(QStringLiteral("block.txt")).toStdString(),
                         dir.filePath(QStringLiteral("missing/folder/block.dxf")).toStdString()};
  Click("IDC_CREATECELLS");
  Click("IDC_SAVECELLS");
  Click("IDC_SAVECELLS");
  QCOMPARE(recorder_.messages.size(), std::size_t{2});
  QCOMPARE(recorder_.messages[0].caption, std::string(kUnknownTypeCaption));
  QCOMPARE(recorder_.messages[1].caption, std::string(kSaveFailedCaption));
  QCOMPARE(recorder_.messages[1].style, unsigned(kMessageError));
}

// QApplication takes the character types from the environment, where
// toupper('i') need not be 'I'; GDAL's option names must match all the same.
void CommandsTest::gisSavesUnderATurkishLocale() {
  if (!GisFormatsAvailable()) QSKIP("built without GDAL");
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  auto restore = qScopeGuard([&] { std::setlocale(LC_ALL, saved.c_str()); });
  QVERIFY2(std::setlocale(LC_ALL, "tr_TR.UTF-8") != nullptr, "scripts/setup generates the locale");
  std::setlocale(LC_NUMERIC, "C");  // as PrepareApplication leaves it
  QTemporaryDir dir;
  const QStringList names = {QStringLiteral("b.gpkg"), QStringLiteral("b.geojson"), QStringLiteral("b.shp")};
  for (const QString& name : names) recorder_.nextPaths.push_back(dir.filePath(name).toStdString());
  Click("IDC_CREATECELLS");
  for (int k = 0; k < names.size(); ++k) Click("IDC_SAVECELLS");
  QVERIFY2(recorder_.messages.empty(), recorder_.messages.empty() ? "" : recorder_.messages[0].text.c_str());
  for (const QString& name : names) QVERIFY2(!ReadAll(dir.filePath(name)).isEmpty(), qPrintable(name));
  QCOMPARE(std::string(std::setlocale(LC_CTYPE, nullptr)), std::string("tr_TR.UTF-8"));
}

void CommandsTest::aboutTextHasSixLines() {
  const QString text = QString::fromStdString(AboutText());
  QVERIFY(!text.endsWith(QLatin1Char('\n')));
  const QStringList lines = text.split(QStringLiteral("\r\n"));
  QCOMPARE(lines.size(), 6);
  QCOMPARE(lines[0], QStringLiteral("Cell Block generator utility."));
  QCOMPARE(lines[1], QStringLiteral("Version 1.0"));
  QVERIFY(lines[2].contains(QStringLiteral("2026")));
  QVERIFY(lines[3].isEmpty());
  QVERIFY(lines[4].contains(QLatin1Char('@')));
  QVERIFY(lines[5].startsWith(QStringLiteral("https://")));
  // No stray line ends inside a line.
  for (const QString& line : lines) QVERIFY(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
  QCOMPARE(DisplayText(AboutText()).count(QLatin1Char('\n')), 5);
}

void CommandsTest::aboutCommandShowsAboutBox() {
  Action(*window_, "IDM_ABOUT")->trigger();
  QCOMPARE(recorder_.messages.size(), std::size_t{1});
  QCOMPARE(recorder_.messages[0].caption, std::string("About Tavimo"));
  QCOMPARE(recorder_.messages[0].text, AboutText());
  QCOMPARE(recorder_.messages[0].style, 0x2040u);
}

void CommandsTest::exitEndsWithCodeZero() {
  Action(*window_, "IDM_EXIT")->trigger();
  QCOMPARE(recorder_.exits, std::vector<int>{0});
  QVERIFY(!window_->isVisible());
  // A second request to end changes nothing.
  window_->close();
  QCOMPARE(recorder_.exits, std::vector<int>{0});
}

void CommandsTest::closeButtonEndsWithCodeZero() {
  QVERIFY(window_->close());
  QCOMPARE(recorder_.exits, std::vector<int>{0});
  // Nothing runs once the window is ending.
  window_->Command(IDC_CREATECELLS);
  QVERIFY(Untouched(window_->Surface()));
}

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
