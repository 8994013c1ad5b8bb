#pragma once
// The fixture every GUI test shares: the application prepared once, and for
// each test a fresh window whose message boxes, Save As dialog and exit are
// recorded (a test that needs the real ones opens its own). The windows
// keep their options in a scratch folder, never in the user's own.

#include <QObject>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/app_startup.h"
#include "app/main_window.h"
#include "app_test_support.h"

namespace tavimo::app::test {

class WindowTest : public QObject {
  Q_OBJECT

 public:
  WindowTest() { qputenv("TAVIMO_CONFIG_HOME", settings_.path().toLocal8Bit()); }

 protected:
  // Shows a new window with `hooks`; `active` waits for the keyboard focus
  // too, which keyboard tests need.
  void OpenWindow(WindowHooks hooks, bool active = false) {
    window_ = std::make_unique<MainWindow>(std::move(hooks));
    window_->show();
    if (active) {
      window_->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    } else {
      QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
  }

  // Empty until a test chooses options.
  QTemporaryDir settings_;
  Recorder recorder_;
  std::unique_ptr<MainWindow> window_;

 private slots:
  // A test class's own init() or cleanup() takes the place of these.
  void initTestCase() { PrepareApplication(*qApp); }
  void init() {
    recorder_ = {};
    OpenWindow(recorder_.Hooks());
  }
  void cleanup() { window_.reset(); }
};

}  // namespace tavimo::app::test
