// The program as a user starts it: it shows the default block after
// "Create Cells" and ends with exit code 0.

#include <QImage>
#include <QProcess>
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

void ProgramTest::unwritableScreenshotFails() {
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("TAVIMO_SCREENSHOT"), QStringLiteral("/nonexistent/folder/shot.png"));
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(TAVIMO_PROGRAM), {});
  QVERIFY(program.waitForFinished(60000));
  QCOMPARE(program.exitCode(), 1);
}

// Under a small file-size limit the program's first write beyond it (the
// screenshot) fails like any write error; the program is not killed.
void ProgramTest::fileSizeLimitFailsTheWriteInsteadOfKilling() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
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
}

QTEST_GUILESS_MAIN(ProgramTest)
#include "tst_program.moc"
