// The real Save As dialog: its settings, wildcard names, cancel, replacing
// an existing file, and the file it lets the save command write.

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>

#include "app/app_startup.h"
#include "app/save_dialog.h"
#include "app_test_support.h"
#include "dialog/save_as.h"
#include "window_test.h"

using namespace tavimo;
using namespace tavimo::app;
using namespace tavimo::dialog;
using namespace tavimo::app::test;

using DialogWatcher = WindowWatcher<QFileDialog>;

namespace {
const QString kDxfFilter = QStringLiteral("Autocad DXF (*.dxf)");
const QString kChtFilter = QStringLiteral("Orvel Format (*.cht)");
const QString kAllFilter = QStringLiteral("All Files (*)");

// As the dialog's Save button does (QFileDialog hides its accept()).
void Accept(QFileDialog* d) { static_cast<QDialog*>(d)->accept(); }

QLineEdit* NameField(QFileDialog* d) { return d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

// Types a name into the dialog's name field, replacing what is there.
void TypeName(QFileDialog* d, const QString& name) {
  QLineEdit* field = NameField(d);
  field->selectAll();
  QTest::keyClicks(field, name);
}
}  // namespace

class SaveDialogTest : public WindowTest {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.emplace().isValid());
    previousDir_ = QDir::currentPath();
    QDir::setCurrent(dir_->path());
    recorder_ = {};
    OpenWindow(recorder_.Hooks(/*recordMessages=*/true, /*recordSaveDialog=*/false));
    QTest::mouseClick(Button(*window_, "IDC_CREATECELLS"), Qt::LeftButton);
  }
  void cleanup() {
    window_.reset();
    QDir::setCurrent(previousDir_);
    dir_.reset();
  }

  void filtersFromTheFilterText();
  void dialogSettings();
  void wildcardNameKeepsDialogOpen();
  void chosenNameIsWrittenWithDefaultSuffix();
  void chtNameWritesBothFiles();
  void chosenTypeGivesTheSuffix_data();
  void chosenTypeGivesTheSuffix();
  void cancelLeavesNoFile();
  void replacingAFileIsAskedFirst();
  void replacingAChtPairAsksOnce_data();
  void replacingAChtPairAsksOnce();

 private:
  QStringList FilesHere() const { return QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden); }
  void SaveWith(std::function<void(QFileDialog*)> drive) {
    DialogWatcher watcher(std::move(drive));
    QTest::mouseClick(Button(*window_, "IDC_SAVECELLS"), Qt::LeftButton);
    QCOMPARE(watcher.Seen(), 1);
  }

  std::optional<QTemporaryDir> dir_;
  QString previousDir_;
};

void SaveDialogTest::filtersFromTheFilterText() {
  QCOMPARE(NameFiltersFrom("Autocad DXF|*.dxf|Orvel Format|*.cht|All Files|*.*"),
           (QStringList{kDxfFilter, kChtFilter, kAllFilter}));
  QCOMPARE(NameFiltersFrom("Text|*.txt;*.text"), QStringList{QStringLiteral("Text (*.txt *.text)")});
  // A dangling name without a pattern is dropped.
  QCOMPARE(NameFiltersFrom("Only|*.a|Dangling"), QStringList{QStringLiteral("Only (*.a)")});
  QVERIFY(NameFiltersFrom("").isEmpty());
}

void SaveDialogTest::dialogSettings() {
  QStringList filters;
  QString selected, suffix, directory, name;
  bool ownDialog = false, saves = false, modal = false;
  SaveWith([&](QFileDialog* d) {
    filters = d->nameFilters();
    selected = d->selectedNameFilter();
    suffix = d->defaultSuffix();
    directory = d->directory().canonicalPath();
    name = NameField(d)->text();
    ownDialog = d->testOption(QFileDialog::DontUseNativeDialog);
    saves = d->acceptMode() == QFileDialog::AcceptSave;
    modal = d->isModal() && d->parentWidget() == window_.get();
    d->reject();
  });
  // The GIS formats come after the first two, where this build writes them.
  QCOMPARE(filters, NameFiltersFrom(SaveFilter()));
  QCOMPARE(filters.mid(0, 2), (QStringList{kDxfFilter, kChtFilter}));
  QCOMPARE(filters.back(), kAllFilter);
  QCOMPARE(selected, kDxfFilter);
  QCOMPARE(suffix, QStringLiteral("dxf"));
  QCOMPARE(directory, QDir(dir_->path()).canonicalPath());
  QCOMPARE(name, QStringLiteral("*.dxf"));
  QVERIFY(ownDialog);
  QVERIFY(saves);
  QVERIFY(modal);
}

void SaveDialogTest::wildcardNameKeepsDialogOpen() {
  bool openAfterEnter = false, openAfterPattern = false;
  QString filterAfterPattern;
  SaveWith([&](QFileDialog* d) {
    QTest::keyClick(NameField(d), Qt::Key_Return);
    openAfterEnter = d->isVisible();
    TypeName(d, QStringLiteral("*.cht"));
    Accept(d);
    openAfterPattern = d->isVisible();
    filterAfterPattern = d->selectedNameFilter();
    d->reject();
  });
  QVERIFY(openAfterEnter);
  QVERIFY(openAfterPattern);
  QCOMPARE(filterAfterPattern, kChtFilter);
  QVERIFY(FilesHere().isEmpty());
}

void SaveDialogTest::chosenNameIsWrittenWithDefaultSuffix() {
  SaveWith([&](QFileDialog* d) {
    TypeName(d, QStringLiteral("block"));
    Accept(d);
  });
  QCOMPARE(FilesHere(), QStringList{QStringLiteral("block.dxf")});
  QFile f(dir_->filePath(QStringLiteral("block.dxf")));
  QVERIFY(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  QVERIFY(bytes.contains("Cell_block"));
  QVERIFY(bytes.endsWith("EOF\r\n"));
  QVERIFY(recorder_.messages.empty());
}

void SaveDialogTest::chtNameWritesBothFiles() {
  SaveWith([&](QFileDialog* d) {
    d->selectNameFilter(kChtFilter);
    TypeName(d, QStringLiteral("block.cht"));
    Accept(d);
  });
  QCOMPARE(FilesHere(), (QStringList{QStringLiteral("block.cht"), QStringLiteral("block.rws")}));
}

void SaveDialogTest::chosenTypeGivesTheSuffix_data() {
  QTest::addColumn<QString>("filter");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QStringList>("files");
  QTest::newRow("Orvel, no extension") << kChtFilter << "plot" << QStringList{"plot.cht", "plot.rws"};
  QTest::newRow("All Files falls back to dxf") << kAllFilter << "plot" << QStringList{"plot.dxf"};
  // An extension typed by the user stands, whatever the type.
  QTest::newRow("Orvel, typed .dxf") << kChtFilter << "plot.dxf" << QStringList{"plot.dxf"};
}

void SaveDialogTest::chosenTypeGivesTheSuffix() {
  QFETCH(QString, filter);
  QFETCH(QString, typed);
  QFETCH(QStringList, files);
  SaveWith([&](QFileDialog* d) {
    d->selectNameFilter(filter);
    TypeName(d, typed);
    Accept(d);
  });
  QCOMPARE(FilesHere(), files);
}

void SaveDialogTest::cancelLeavesNoFile() {
  SaveWith([](QFileDialog* d) { d->reject(); });
  QVERIFY(FilesHere().isEmpty());
  QVERIFY(recorder_.messages.empty());
}

void SaveDialogTest::replacingAFileIsAskedFirst() {
  const QString path = dir_->filePath(QStringLiteral("old.dxf"));
  {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("keep me");
  }
  int questions = 0;
  bool openAfterNo = false;
  WindowWatcher<QMessageBox> questionWatcher([&](QMessageBox* box) {
    ++questions;
    box->button(QMessageBox::No)->click();
  });
  SaveWith([&](QFileDialog* d) {
    TypeName(d, QStringLiteral("old.dxf"));
    Accept(d);  // asks; "No" keeps the dialog open
    openAfterNo = d->isVisible();
    d->reject();
  });
  QCOMPARE(questions, 1);
  QVERIFY(openAfterNo);
  QFile f(path);
  QVERIFY(f.open(QIODevice::ReadOnly));
  QCOMPARE(f.readAll(), QByteArray("keep me"));
}

void SaveDialogTest::replacingAChtPairAsksOnce_data() {
  QTest::addColumn<QStringList>("existing");
  QTest::addColumn<QString>("question");
  QTest::newRow("both") << QStringList{"plot.cht", "plot.rws"}
                        << "plot.cht and plot.rws already exist.\nDo you want to replace them?";
  QTest::newRow("companion only") << QStringList{"plot.rws"}
                                  << "plot.rws already exists.\nDo you want to replace it?";
}

// The save replaces both files of the pair, so the one question names each
// that exists; "No" keeps both, "Yes" writes both.
void SaveDialogTest::replacingAChtPairAsksOnce() {
  QFETCH(QStringList, existing);
  QFETCH(QString, question);
  for (const QString& name : existing) {
    QFile f(dir_->filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("keep me");
  }
  auto contents = [this](const QString& name) {
    QFile f(dir_->filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  QStringList questions;
  bool agree = false;
  WindowWatcher<QMessageBox> questionWatcher([&](QMessageBox* box) {
    questions << box->text();
    box->button(agree ? QMessageBox::Yes : QMessageBox::No)->click();
  });
  bool openAfterNo = false;
  SaveWith([&](QFileDialog* d) {
    d->selectNameFilter(kChtFilter);
    TypeName(d, QStringLiteral("plot"));
    Accept(d);
    openAfterNo = d->isVisible();
    agree = true;
    Accept(d);
  });
  QCOMPARE(questions, (QStringList{question, question}));
  QVERIFY(openAfterNo);
  QVERIFY(contents(QStringLiteral("plot.cht")).startsWith("7 0\r\n"));
  QVERIFY(contents(QStringLiteral("plot.rws")).endsWith("EOF\r\n"));
}

QTEST_MAIN(SaveDialogTest)
#include "save_dialog_test.moc"
