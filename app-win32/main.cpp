// Tavimo for Windows: the cell block generator's native dialog.

#include <windows.h>
#include <commctrl.h>

#include "app-win32/main_dialog.h"
#include "platform/platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Windows starts the thread with 53-bit x87 arithmetic; the digits of
  // the saved files need all 64.
  tavimo::platform::UseExtendedPrecision();
  tavimo::platform::EnsureStandardDescriptors();
  tavimo::platform::RemoveTemporariesOnAbort();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  return tavimo::win32::RunMainDialog(instance);
}
