#include "app/update_run.h"
#include "app/win32/main_dialog.h"

namespace r7700 {

DWORD WINAPI RunThreadMain(LPVOID main_window) {
  MainWindow& win = *static_cast<MainWindow*>(main_window);
  UpdateRun(win.app, win.services, *win.surface);
  // The window thread forgets this thread and re-enables the controls when
  // this arrives (FinishRun), so no Start can slip in before the handle is
  // cleared.
  PostMessageA(win.surface->dialog(), kRunFinishedMessage, 0, 0);
  return 0;
}

}  // namespace r7700
