// Long previews and saves: the progress dialog, Cancel, requests and exit
// while the work runs, and a file-size limit during a save.

#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <sys/resource.h>

#include <csignal>

#include "app/app_startup.h"
#include "app/progress_window.h"
#include "app_test_support.h"
#include "window_test.h"
#include "export/save_block.h"
#include "dialog/dialog_ids.h"

using namespace tavimo;
using namespace tavimo::app;
using namespace tavimo::dialog;
using namespace tavimo::app::test;

using ProgressWatcher = WindowWatcher<QProgressDialog>;

// A block whose save runs for seconds even on a fast machine (64 million
// cells), so that its progress dialog is still open when the test acts on it.
const QString kLargeSide = QStringLiteral("8000");

namespace {

// Counts every progress dialog that is shown, however briefly: a watcher
// only sees windows while events are handled.
class ShowCounter : public QObject {
 public:
  ShowCounter() { qApp->installEventFilter(this); }
  ~ShowCounter() override { qApp->removeEventFilter(this); }
  int shown = 0;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Show && qobject_cast<QProgressDialog*>(object) != nullptr) ++shown;
    return false;
  }
};

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every file of the folder, hidden ones (the temporaries) included.
QStringList FilesIn(const QTemporaryDir& dir) {
  QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
  files.sort();
  return files;
}

// A preview buffer that takes its time over every line, so that even a
// small block's preview runs long enough to be cancelled.
class SlowSurface : public PixelSurface {
 public:
  using PixelSurface::PixelSurface;
  void LineTo(long double x, long double y) override {
    QThread::msleep(5);
    PixelSurface::LineTo(x, y);
  }
};

QImage Shown(QWidget* preview) { return preview->grab().toImage().convertToFormat(QImage::Format_RGB32); }

QImage BufferImage(const PixelSurface& s) {
  QImage image(s.ClientWidth(), s.ClientHeight(), QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      image.setPixel(x, y, 0xFF000000u | s.pixels()[static_cast<std::size_t>(y) * s.ClientWidth() + x]);
  return image;
}

// What the dialog looked like while the work ran.
struct SeenDialog {
  QString label;
  Qt::WindowModality modality = Qt::NonModal;
  QWidget* parent = nullptr;
  bool hasCancel = false;
  int value = -1;
  int maximum = -1;
};

SeenDialog Describe(QProgressDialog* dialog) {
  SeenDialog seen;
  seen.label = dialog->labelText();
  seen.modality = dialog->windowModality();
  seen.parent = dialog->parentWidget();
  seen.hasCancel = dialog->findChild<QPushButton*>() != nullptr;
  seen.value = dialog->value();
  seen.maximum = dialog->maximum();
  return seen;
}

}  // namespace

class ProgressTest : public WindowTest {
  Q_OBJECT

 private slots:
  void cleanup() {
    window_.reset();
    QTRY_VERIFY(ProgressWatcher::Visible().empty());
  }

  void cancelledSaveKeepsExistingFiles_data();
  void cancelledSaveKeepsExistingFiles();
  void requestsWhileSavingAreIgnored();
  void exitWhileSavingEndsCleanly();
  void closeWhileSavingEndsCleanly();
  void terminationSignalWhileSavingEndsCleanly_data();
  void terminationSignalWhileSavingEndsCleanly();
  void exitEndsTheEventLoopWithZero();
  void cancelledPreviewKeepsWhatItDrew();
  void shortWorkShowsNoDialog();
  void fileSizeLimitFailsTheSave();
  void limitReachedDuringLongSave();

 private:
  void Click(const char* name) { QTest::mouseClick(Button(*window_, name), Qt::LeftButton); }
  void SetBlock(MainWindow& w, const QString& width, const QString& height, const QString& cell) {
    Type(Edit(w, "IDC_WIDTHTOTAL"), width);
    Type(Edit(w, "IDC_HEIGHTTOTAL"), height);
    Type(Edit(w, "IDC_WIDTHCELL"), cell);
    Type(Edit(w, "IDC_HEIGHTCELL"), cell);
  }
  // A block large enough that its save runs for seconds, previewed first so
  // that "Save Cells" is enabled; the preview itself is quick.
  void PrepareLargeSave() {
    SetBlock(*window_, kLargeSide, kLargeSide, QStringLiteral("1"));
    Click("IDC_CREATECELLS");
    QVERIFY(Button(*window_, "IDC_SAVECELLS")->isEnabled());
  }
  static void ClickCancel(QProgressDialog* dialog) {
    QPushButton* cancel = dialog->findChild<QPushButton*>();
    QVERIFY(cancel != nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
  }

};

void ProgressTest::cancelledSaveKeepsExistingFiles_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QStringList>("existing");
  QTest::newRow("dxf") << QStringLiteral("block.dxf") << QStringList{QStringLiteral("block.dxf")};
  // The cancel comes while the cell labels go to the RWS companion.
  QTest::newRow("cht") << QStringLiteral("block.cht")
                       << QStringList{QStringLiteral("block.cht"), QStringLiteral("block.rws")};
}

void ProgressTest::cancelledSaveKeepsExistingFiles() {
  QFETCH(QString, name);
  QFETCH(QStringList, existing);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  for (const QString& file : existing) QVERIFY(WriteAll(dir.filePath(file), "old " + file.toLatin1() + "\r\n"));
  PrepareLargeSave();

  std::vector<SeenDialog> seen;
  ProgressWatcher watcher([&](QProgressDialog* dialog) {
    seen.push_back(Describe(dialog));
    ClickCancel(dialog);
  });
  recorder_.nextPaths = {dir.filePath(name).toStdString()};
  Click("IDC_SAVECELLS");

  QCOMPARE(watcher.Seen(), 1);
  QCOMPARE(seen.size(), std::size_t{1});
  QCOMPARE(seen[0].label, QStringLiteral("Saving cells..."));
  QCOMPARE(seen[0].modality, Qt::WindowModal);
  QCOMPARE(seen[0].parent, static_cast<QWidget*>(window_.get()));
  QVERIFY(seen[0].hasCancel);
  QVERIFY(seen[0].value >= 0 && seen[0].value < seen[0].maximum);
  // Nothing written, nothing left behind, nothing said.
  for (const QString& file : existing) QCOMPARE(ReadAll(dir.filePath(file)), "old " + file.toLatin1() + "\r\n");
  QCOMPARE(FilesIn(dir), existing);
  QVERIFY(recorder_.messages.empty());
  QVERIFY(ProgressWatcher::Visible().empty());
  QVERIFY(!window_->RequestRunning());
  QCOMPARE(window_->cursor().shape(), Qt::ArrowCursor);

  // The window works as before: the next save runs to its end.
  Type(Edit(*window_, "IDC_WIDTHTOTAL"), QStringLiteral("5"));
  Type(Edit(*window_, "IDC_HEIGHTTOTAL"), QStringLiteral("5"));
  recorder_.nextPaths = {dir.filePath(name).toStdString()};
  Click("IDC_SAVECELLS");
  for (const QString& file : existing) {
    const QByteArray now = ReadAll(dir.filePath(file));
    QVERIFY(!now.isEmpty() && !now.startsWith("old "));
  }
  QCOMPARE(FilesIn(dir), existing);
}

void ProgressTest::requestsWhileSavingAreIgnored() {
  QTemporaryDir dir;
  PrepareLargeSave();
  const std::vector<std::uint32_t> picture = window_->Surface().pixels();
  bool runningWhileShown = false;
  std::size_t asksWhileShown = 0;
  ProgressWatcher watcher([&](QProgressDialog* dialog) {
    runningWhileShown = window_->RequestRunning();
    // Whatever reaches the window while the save runs starts nothing.
    window_->Command(IDC_CREATECELLS);
    window_->Command(IDC_SAVECELLS);
    window_->Command(IDM_SAVEAS);
    QTest::mouseClick(Button(*window_, "IDC_CREATECELLS"), Qt::LeftButton);
    asksWhileShown = recorder_.asks.size();
    dialog->cancel();
  });
  // The fields changed after the preview: a nested preview would draw a new picture.
  Type(Edit(*window_, "IDC_ANGLE"), QStringLiteral("45"));
  recorder_.nextPaths = {dir.filePath(QStringLiteral("block.dxf")).toStdString()};
  Click("IDC_SAVECELLS");

  QCOMPARE(watcher.Seen(), 1);
  QVERIFY(runningWhileShown);
  QCOMPARE(asksWhileShown, std::size_t{1});
  QCOMPARE(recorder_.asks.size(), std::size_t{1});
  QVERIFY(window_->Surface().pixels() == picture);
  QVERIFY(FilesIn(dir).isEmpty());
  QVERIFY(!window_->RequestRunning());
}

void ProgressTest::exitWhileSavingEndsCleanly() {
  QTemporaryDir dir;
  QVERIFY(WriteAll(dir.filePath(QStringLiteral("block.dxf")), "old\r\n"));
  PrepareLargeSave();
  ProgressWatcher watcher([&](QProgressDialog*) { Action(*window_, "IDM_EXIT")->trigger(); });
  recorder_.nextPaths = {dir.filePath(QStringLiteral("block.dxf")).toStdString()};
  Click("IDC_SAVECELLS");

  QCOMPARE(watcher.Seen(), 1);
  QCOMPARE(recorder_.exits, std::vector<int>{0});
  QCOMPARE(ReadAll(dir.filePath(QStringLiteral("block.dxf"))), QByteArray("old\r\n"));
  QCOMPARE(FilesIn(dir), QStringList{QStringLiteral("block.dxf")});
  QVERIFY(ProgressWatcher::Visible().empty());
  QVERIFY(!window_->isVisible());
  QVERIFY(!window_->RequestRunning());
  QVERIFY(recorder_.messages.empty());
}

void ProgressTest::terminationSignalWhileSavingEndsCleanly_data() {
  QTest::addColumn<int>("signal");
  QTest::newRow("SIGTERM") << SIGTERM;
  QTest::newRow("SIGHUP") << SIGHUP;
  QTest::newRow("SIGINT") << SIGINT;
}

// A logout or kill during a long save: the save is cancelled as by File >
// Exit, and its multi-gigabyte temporaries go with it.
void ProgressTest::terminationSignalWhileSavingEndsCleanly() {
  QFETCH(int, signal);
  QTemporaryDir dir;
  QVERIFY(WriteAll(dir.filePath(QStringLiteral("block.cht")), "old cht\r\n"));
  EndOnTerminationSignals(*window_);
  PrepareLargeSave();
  ProgressWatcher watcher([&](QProgressDialog*) { raise(signal); });
  recorder_.nextPaths = {dir.filePath(QStringLiteral("block.cht")).toStdString()};
  Click("IDC_SAVECELLS");

  QCOMPARE(recorder_.exits, std::vector<int>{0});
  QCOMPARE(ReadAll(dir.filePath(QStringLiteral("block.cht"))), QByteArray("old cht\r\n"));
  QCOMPARE(FilesIn(dir), QStringList{QStringLiteral("block.cht")});
  QVERIFY(!window_->RequestRunning());
  QVERIFY(recorder_.messages.empty());
}

// The close button, pressed as soon as the save starts handling events,
// most likely before its dialog appears.
void ProgressTest::closeWhileSavingEndsCleanly() {
  QTemporaryDir dir;
  QVERIFY(WriteAll(dir.filePath(QStringLiteral("block.cht")), "old cht\r\n"));
  Recorder recorder;
  WindowHooks hooks = recorder.Hooks();
  MainWindow* target = nullptr;
  hooks.askSaveFileName = [&](std::string_view, std::string_view, std::string_view) -> std::optional<std::string> {
    QTimer::singleShot(0, target, [&] { target->close(); });
    return dir.filePath(QStringLiteral("block.cht")).toStdString();
  };
  MainWindow window(hooks);
  target = &window;
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  SetBlock(window, kLargeSide, kLargeSide, QStringLiteral("1"));
  QTest::mouseClick(Button(window, "IDC_CREATECELLS"), Qt::LeftButton);
  QTest::mouseClick(Button(window, "IDC_SAVECELLS"), Qt::LeftButton);

  QCOMPARE(recorder.exits, std::vector<int>{0});
  QVERIFY(!window.isVisible());
  QVERIFY(!window.RequestRunning());
  QCOMPARE(ReadAll(dir.filePath(QStringLiteral("block.cht"))), QByteArray("old cht\r\n"));
  QCOMPARE(FilesIn(dir), QStringList{QStringLiteral("block.cht")});
  QVERIFY(ProgressWatcher::Visible().empty());
}

// Without the recording hook: the real end of the program, from inside the
// application's own event loop.
void ProgressTest::exitEndsTheEventLoopWithZero() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("block.dxf"));
  QVERIFY(WriteAll(path, "old\r\n"));
  Recorder recorder;
  WindowHooks hooks = recorder.Hooks();
  hooks.exit = nullptr;
  MainWindow window(hooks);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  SetBlock(window, kLargeSide, kLargeSide, QStringLiteral("1"));
  QTest::mouseClick(Button(window, "IDC_CREATECELLS"), Qt::LeftButton);
  recorder.nextPaths = {path.toStdString()};

  ProgressWatcher watcher([&](QProgressDialog*) { Action(window, "IDM_EXIT")->trigger(); });
  QTimer::singleShot(0, &window, [&] { QTest::mouseClick(Button(window, "IDC_SAVECELLS"), Qt::LeftButton); });
  // A generous way out should the program never end.
  QTimer giveUp;
  giveUp.setSingleShot(true);
  connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(7); });
  giveUp.start(100000);
  QCOMPARE(QApplication::exec(), 0);
  giveUp.stop();

  QCOMPARE(watcher.Seen(), 1);
  QVERIFY(!window.isVisible());
  QCOMPARE(ReadAll(path), QByteArray("old\r\n"));
  QCOMPARE(FilesIn(dir), QStringList{QStringLiteral("block.dxf")});
  QVERIFY(recorder.messages.empty());
}

void ProgressTest::cancelledPreviewKeepsWhatItDrew() {
  WindowHooks hooks = recorder_.Hooks();
  hooks.makeSurface = [](int width, int height, Rgb fill) {
    return std::make_unique<SlowSurface>(width, height, fill);
  };
  window_ = std::make_unique<MainWindow>(hooks);
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  QWidget* preview = window_->Control(IDC_GRAPHIC);
  const QImage before = Shown(preview);
  // Hundreds of distinct lines, each slow: far more than can be drawn
  // before the Cancel.
  SetBlock(*window_, QStringLiteral("1000"), QStringLiteral("1000"), QStringLiteral("1"));

  std::vector<SeenDialog> seen;
  bool screenKeptOldPicture = false;
  ProgressWatcher watcher([&](QProgressDialog* dialog) {
    seen.push_back(Describe(dialog));
    // The buffer is half drawn; the screen still shows the last whole picture.
    screenKeptOldPicture = Shown(preview) == before;
    dialog->cancel();
  });
  Click("IDC_CREATECELLS");

  QCOMPARE(watcher.Seen(), 1);
  QCOMPARE(seen.size(), std::size_t{1});
  QCOMPARE(seen[0].label, QStringLiteral("Drawing cells..."));
  QCOMPARE(seen[0].modality, Qt::WindowModal);
  QVERIFY(screenKeptOldPicture);
  QVERIFY(ProgressWatcher::Visible().empty());
  QVERIFY(!window_->RequestRunning());
  // A cancelled preview does not make the block saveable.
  QVERIFY(!Button(*window_, "IDC_SAVECELLS")->isEnabled());
  QVERIFY(!Action(*window_, "IDM_SAVEAS")->isEnabled());
  // What was drawn so far is on the screen: the first columns, blue on white.
  QVERIFY(Shown(preview) != before);
  const PixelSurface& s = window_->Surface();
  QVERIFY(CountPixels(s, kBlue) > 0);
  QCOMPARE(CountPixels(s, kBlue) + CountPixels(s, 0xFFFFFF), s.pixels().size());
  QVERIFY(Shown(preview) == BufferImage(s));

  // The window answers at once: the default block previews and enables saving.
  SetBlock(*window_, QStringLiteral("50"), QStringLiteral("50"), QStringLiteral("5"));
  Click("IDC_CREATECELLS");
  QVERIFY(Button(*window_, "IDC_SAVECELLS")->isEnabled());
  QVERIFY(Action(*window_, "IDM_SAVEAS")->isEnabled());
  QVERIFY(Shown(preview) == BufferImage(s));
}

void ProgressTest::shortWorkShowsNoDialog() {
  ShowCounter counter;
  QTemporaryDir dir;
  Click("IDC_CREATECELLS");
  recorder_.nextPaths = {dir.filePath(QStringLiteral("small.dxf")).toStdString()};
  Click("IDC_SAVECELLS");
  // A few thousand lines: progress is reported, yet the work is over long
  // before the dialog would appear.
  SetBlock(*window_, QStringLiteral("10000"), QStringLiteral("10000"), QStringLiteral("1"));
  Click("IDC_CREATECELLS");

  QCOMPARE(counter.shown, 0);
  QVERIFY(recorder_.messages.empty());
  QVERIFY(ReadAll(dir.filePath(QStringLiteral("small.dxf"))).contains("Cell_Numbers"));
  QVERIFY(CountPixels(window_->Surface(), kBlue) > 0);
  QVERIFY(window_->findChildren<QProgressDialog*>().isEmpty());
}

// Beyond the limit a write fails (the signal that would end the program is
// ignored): the save reports it and leaves the existing file alone.
void ProgressTest::fileSizeLimitFailsTheSave() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("block.dxf"));
  QVERIFY(WriteAll(path, "old\r\n"));
  // About 9 MB of DXF.
  SetBlock(*window_, QStringLiteral("300"), QStringLiteral("300"), QStringLiteral("1"));
  Click("IDC_CREATECELLS");
  recorder_.nextPaths = {path.toStdString()};

  rlimit saved{};
  QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
  if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < (1u << 20)) QSKIP("file-size limit already below 1 MiB");
  rlimit limited = saved;
  limited.rlim_cur = 1u << 20;
  QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
  {
    auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &saved); });
    Click("IDC_SAVECELLS");
  }

  QCOMPARE(recorder_.messages.size(), std::size_t{1});
  QCOMPARE(recorder_.messages[0].caption, std::string(kSaveFailedCaption));
  QCOMPARE(recorder_.messages[0].style, unsigned(kMessageError));
  QVERIFY(recorder_.messages[0].text.starts_with("Could not write " + path.toStdString()));
  QCOMPARE(ReadAll(path), QByteArray("old\r\n"));
  QCOMPARE(FilesIn(dir), QStringList{QStringLiteral("block.dxf")});
  QVERIFY(!window_->RequestRunning());
}

// The limit is reached while the dialog is shown: the message comes without
// it, and the window is usable again while the message is open.
void ProgressTest::limitReachedDuringLongSave() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("block.dxf"));
  QVERIFY(WriteAll(path, "old\r\n"));
  PrepareLargeSave();

  rlimit saved{};
  QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &saved); });
  bool limited = false;
  ProgressWatcher watcher([&](QProgressDialog*) {
    // Already more than this has been written: the next write fails.
    rlimit limit = saved;
    limit.rlim_cur = 4096;
    limited = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  });
  std::size_t dialogsAtMessage = 99;
  bool windowUsableAtMessage = false;
  recorder_.onMessage = [&] {
    dialogsAtMessage = ProgressWatcher::Visible().size();
    windowUsableAtMessage = QApplication::activeModalWidget() == nullptr;
  };
  recorder_.nextPaths = {path.toStdString()};
  Click("IDC_SAVECELLS");
  restore.dismiss();
  setrlimit(RLIMIT_FSIZE, &saved);

  QCOMPARE(watcher.Seen(), 1);
  QVERIFY(limited);
  QCOMPARE(recorder_.messages.size(), std::size_t{1});
  QCOMPARE(recorder_.messages[0].caption, std::string(kSaveFailedCaption));
  QCOMPARE(dialogsAtMessage, std::size_t{0});
  QVERIFY(windowUsableAtMessage);
  QCOMPARE(ReadAll(path), QByteArray("old\r\n"));
  QCOMPARE(FilesIn(dir), QStringList{QStringLiteral("block.dxf")});
  QVERIFY(ProgressWatcher::Visible().empty());
}

QTEST_MAIN(ProgressTest)
#include "progress_test.moc"
