// The program as a user starts it: it shows the default block after
// "Create Cells" and ends with exit code 0.

#include <QImage>
#include <QProcess>
#include <sys/stat.h>
#include <QTemporaryDir>

#include <QDir>
#include <QtTest>
#include <sys/resource.h>

class ProgramTest : public QObject {
  Q_OBJECT

 private slots:
  void screenshotRunDrawsAndExitsWithZero();
  void unwritableScreenshotFails();
  void fileSizeLimitFailsTheWriteInsteadOfKilling();
};

void ProgramTest::screenshotRunDrawsAndExitsWithZero() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString shot = dir.filePath(QStringLiteral("shot.png"));
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("TAVIMO_CONFIG_HOME"), QStringLiteral("/nonexistent/tavimo-settings"));
  env.insert(QStringLiteral("TAVIMO_SCREENSHOT"), shot);
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(dir.path());
  program.start(QStringLiteral(TAVIMO_PROGRAM), {});
  QVERIFY(program.waitForFinished(60000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), 0);

  const QImage image(shot);
  QVERIFY(!image.isNull());
  // Client area plus menu bar: a window of roughly dialog size, with the grid in pure blue.
  QVERIFY(image.width() > 400 && image.height() > 300);
  int blue = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) blue += (image.pixel(x, y) & 0xFFFFFF) == 0x0000FF;
  QVERIFY(blue > 1000);
  // The program writes nothing else where it runs.
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("shot.png")});
}

// A missing folder, or a pipe where the picture should go (which would
// block a plain write for ever): the run fails and says why.
void ProgramTest::unwritableScreenshotFails() {
  QTemporaryDir dir;
  const QString fifo = dir.filePath(QStringLiteral("shot.png"));
  QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
  for (const QString& target : {QStringLiteral("/nonexistent/folder/shot.png"), fifo}) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TAVIMO_CONFIG_HOME"), QStringLiteral("/nonexistent/tavimo-settings"));
    env.insert(QStringLiteral("TAVIMO_SCREENSHOT"), target);
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TAVIMO_PROGRAM), {});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 1);
    QVERIFY(program.readAllStandardError().contains("tavimo: cannot write " + QFile::encodeName(target)));
  }
  QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
           QStringList{QStringLiteral("shot.png")});
}

// Under a small file-size limit the program's first write beyond it (the
// screenshot) fails like any write error; the program is not killed, and
// the old picture stays whole.
void ProgramTest::fileSizeLimitFailsTheWriteInsteadOfKilling() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  QFile old(dir.filePath(QStringLiteral("shot.png")));
  QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old picture") == 11);
  old.close();
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("TAVIMO_CONFIG_HOME"), QStringLiteral("/nonexistent/tavimo-settings"));
  env.insert(QStringLiteral("TAVIMO_SCREENSHOT"), dir.filePath(QStringLiteral("shot.png")));
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(dir.path());
  program.setChildProcessModifier([] {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 64;  // far less than any picture of the window
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  program.start(QStringLiteral(TAVIMO_PROGRAM), {});
  QVERIFY(program.waitForFinished(60000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), 1);
  QVERIFY(old.open(QIODevice::ReadOnly));
  QCOMPARE(old.readAll(), QByteArray("old picture"));
  QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
           QStringList{QStringLiteral("shot.png")});
}

QTEST_GUILESS_MAIN(ProgramTest)
#include "program_test.moc"
