#include "app/win32/main_dialog.h"

#include <commctrl.h>

#include "app/language_lists.h"
#include "app/resources/resource.h"
#include "app/startup.h"
#include "app/win32/controls.h"
#include "app/win32/help.h"
#include "app/win32/window_placement.h"
#include "link/dialog_observer.h"
#include "link/error_report.h"
#include "link/status_log.h"

namespace r7700 {
namespace {

constexpr UINT kShowHelpTopicMessage = WM_APP + 2;
constexpr int kInitialProgressRange = 1000;

constexpr char kAbortQuestion[] = "Do really want to abort the download?\nDownload will fail!";
constexpr char kAbortCaption[] = "Attention!";
constexpr char kNotSavedText[] = "Press Exit again to end without saving the settings.\n";
constexpr char kThreadFailedText[] =
    "The update could not be started!\nThe program could not create its worker thread.";

MainWindow* StateOf(HWND dialog) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

std::string ProgramFolder(const MainWindow& win) {
  return win.app.paths.drive + win.app.paths.folder;
}

void RemoveSystemMenuItems(HWND dialog) {
  HMENU menu = GetSystemMenu(dialog, FALSE);
  DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
}

void InitMainDialog(HWND dialog, MainWindow& win) {
  win.surface = std::make_unique<Win32Window>(win.instance, dialog);
  CollapseOptionsPanel(dialog, win.saved_window_rect);
  CenterWindowOnScreen(dialog);
  RemoveSystemMenuItems(dialog);
  if (LoadStartupData(win.app, win.services, *win.surface) != 0) {
    EndDialog(dialog, 1);
    return;
  }
  if (win.app.settings.mode == SettingsMode::kFull) {
    RestoreWindowRect(dialog, win.saved_window_rect);
    CenterWindowOnScreen(dialog);
  }
  FillLanguageLists(*win.surface, win.app.choices, win.app.selected);
  HWND bar = CreateProgressBar(dialog, kInitialProgressRange);
  win.surface->set_progress_bar(bar);
  SendMessageA(bar, PBM_STEPIT, 0, 0);
  // The help pop-up waits until the window is on the screen behind it.
  if (win.app.settings.mode != SettingsMode::kFull)
    PostMessageA(dialog, kShowHelpTopicMessage, 0, 0);
}

void StartRun(MainWindow& win) {
  DisableControlsForRun(*win.surface);
  DWORD thread_id = 0;
  HANDLE thread = CreateThread(nullptr, 0, RunThreadMain, &win, CREATE_SUSPENDED, &thread_id);
  if (thread == nullptr) {
    EnableControlsAfterRun(*win.surface, win.app.settings.mode);
    DialogObserver dialog_view(*win.surface);
    ShowRunError(dialog_view, kThreadFailedText);
    return;
  }
  win.run_thread = thread;
  SetThreadPriority(thread, THREAD_PRIORITY_NORMAL);
  ResumeThread(thread);
}

// The worker has ended its run. The handle is cleared before Start is
// enabled again, so a Start pressed at once cannot lose the next run's
// handle; what the user sees keeps the worker's order.
void FinishRun(MainWindow& win) {
  if (win.run_thread != nullptr) CloseHandle(win.run_thread);
  win.run_thread = nullptr;
  EnableControlsAfterRun(*win.surface, win.app.settings.mode);
  ReadLanguageSelections(*win.surface, win.app.choices, win.app.selected);
  ApplySecondLanguageRule(*win.surface, win.app.selected);
}

// Any request to end the program during a run comes here. Yes ends the
// process at once, without saving; No lets the run go on.
void AskToAbortRun(MainWindow& win) {
  if (win.abort_question_open) return;
  win.abort_question_open = true;
  const int answer =
      MessageBoxA(nullptr, kAbortQuestion, kAbortCaption, MB_ICONQUESTION | MB_YESNO);
  win.abort_question_open = false;
  if (answer != IDYES) return;
  if (win.run_thread != nullptr) TerminateThread(win.run_thread, 0);
  win.run_thread = nullptr;
  ExitProcess(0);
}

// A request from the system to end the program while no run is under way:
// the program ends without saving the settings. Nothing writes the
// temporary language image now, so it is removed as at a normal end.
void EndWithoutSaving(MainWindow& win) {
  DiscardLanguageImage(win.app.image_builder, win.app.paths);
  ExitProcess(0);
}

// Exit saves the settings and ends. When they cannot be written, the window
// stays once so that the log line saying so can be read.
void EndAfterSaving(HWND dialog, MainWindow& win) {
  const bool saved = SaveSettings(*win.surface, *win.profiles, win.app.paths, win.app.choices,
                                  win.app.selected, win.app.settings);
  if (!saved && !win.save_failure_shown) {
    win.save_failure_shown = true;
    DialogObserver dialog_view(*win.surface);
    LogLine(dialog_view, "%s", kNotSavedText);
    return;
  }
  EndDialog(dialog, 1);
}

void OnCommand(HWND dialog, MainWindow& win, WORD id, WORD notification) {
  switch (id) {
    case IDC_START:
      if (win.run_thread == nullptr) StartRun(win);
      break;
    case IDC_BOOT_LANGUAGE:
    case IDC_SECOND_LANGUAGE:
    case IDC_THIRD_LANGUAGE:
    case IDC_FOURTH_LANGUAGE:
      if (notification == CBN_SELENDOK) {
        ReadLanguageSelections(*win.surface, win.app.choices, win.app.selected);
        ApplySecondLanguageRule(*win.surface, win.app.selected);
      }
      break;
    case IDC_EXIT:
    case IDC_CANCEL_COMMAND:
      if (win.run_thread != nullptr) {
        AskToAbortRun(win);
        break;
      }
      EndAfterSaving(dialog, win);
      break;
    case IDC_HELP_BUTTON:
      OpenHelpContents(dialog, ProgramFolder(win));
      break;
    default:
      break;
  }
}

void OnCloseRequest(MainWindow& win) {
  if (win.run_thread != nullptr) {
    AskToAbortRun(win);
  } else {
    EndWithoutSaving(win);
  }
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance_handle, DataPaths paths, double time_scale)
    : instance(instance_handle),
      clock(time_scale),
      serial(MakePlatformSerialBackend(time_scale)),
      profiles(MakePlatformProfileStore()),
      services{*serial, *profiles, clock} {
  app.paths = std::move(paths);
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    InitMainDialog(dialog, *reinterpret_cast<MainWindow*>(lparam));
    return TRUE;
  }
  MainWindow* win = StateOf(dialog);
  if (win == nullptr || win->surface == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      OnCommand(dialog, *win, LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    case WM_ACTIVATE:
      RepaintNow(dialog);
      return TRUE;
    case kRunFinishedMessage:
      FinishRun(*win);
      return TRUE;
    case kShowHelpTopicMessage:
      OpenHelpTopicPopup(dialog, ProgramFolder(*win));
      return TRUE;
    case WM_CLOSE:
      OnCloseRequest(*win);
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) != SC_CLOSE) return FALSE;
      OnCloseRequest(*win);
      return TRUE;
    case WM_QUERYENDSESSION:
      // Asked before the session ends: during a run only Yes lets it end.
      if (win->run_thread != nullptr) AskToAbortRun(*win);
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, win->run_thread == nullptr);
      return TRUE;
    case WM_ENDSESSION:
      if (wparam) OnCloseRequest(*win);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace r7700
