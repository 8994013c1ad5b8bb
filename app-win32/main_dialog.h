#pragma once
// The main dialog "Cell block generator": built from the shared control
// table, its commands dispatched to the core, its message boxes, the Save
// As dialog and the progress window of long work.

#include <windows.h>

namespace tavimo::win32 {

// Runs the dialog until File > Exit or the close command ends it; the
// program's exit code (0; 1 only when the dialog could not be created).
int RunMainDialog(HINSTANCE instance);

}  // namespace tavimo::win32
