// Tavimo: the cell block generator.

#include <QApplication>

#include "app/app_startup.h"
#include "app/main_window.h"
#include "platform/platform.h"

int main(int argc, char* argv[]) {
  // Before anything is opened: no file may take the place of a closed
  // standard descriptor.
  tavimo::platform::EnsureStandardDescriptors();
  QApplication app(argc, argv);
  tavimo::app::PrepareApplication(app);

  tavimo::app::MainWindow window;
  tavimo::app::EndOnTerminationSignals(window);
  window.show();

  // A documentation aid: TAVIMO_SCREENSHOT=file.png draws the default block,
  // saves a picture of the window and ends.
  const QString screenshot = qEnvironmentVariable("TAVIMO_SCREENSHOT");
  if (!screenshot.isEmpty()) tavimo::app::ScheduleScreenshot(window, screenshot);

  return app.exec();
}
