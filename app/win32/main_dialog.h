// Dialog 102, the main window, and the state the Windows program keeps
// for it: the core's state plus the window's own handles. WinMain owns the
// one instance; the dialog reaches it through DWLP_USER.
#pragma once

#include <windows.h>

#include <memory>

#include "app/app_state.h"
#include "app/profile_store.h"
#include "app/win32/win32_window.h"
#include "link/clock.h"
#include "link/data_paths.h"
#include "link/serial_backend.h"

namespace r7700 {

struct MainWindow {
  MainWindow(HINSTANCE instance_handle, DataPaths paths, double time_scale);

  HINSTANCE instance;
  AppState app;
  RealClock clock;
  std::unique_ptr<SerialBackend> serial;
  std::unique_ptr<ProfileStore> profiles;
  Services services;

  // Set at WM_INITDIALOG: the surface the core writes the window through.
  std::unique_ptr<Win32Window> surface;
  // Not null exactly while a run is under way (RunThreadHandle).
  HANDLE run_thread = nullptr;
  RECT saved_window_rect{};
  bool abort_question_open = false;
  // Set once Exit has found that the settings could not be written.
  bool save_failure_shown = false;
};

// Posted by the worker as its last act; the window thread then forgets the
// worker and re-enables the window.
inline constexpr UINT kRunFinishedMessage = WM_APP + 1;

// Dialog procedure of dialog 102; lparam of WM_INITDIALOG is the MainWindow.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Thread function of the worker; its argument is the MainWindow.
DWORD WINAPI RunThreadMain(LPVOID main_window);

}  // namespace r7700
