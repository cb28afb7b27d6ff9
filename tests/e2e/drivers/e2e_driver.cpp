// Drives r7700update.exe under Wine as a user would and checks what the
// user sees. Started by run_wine_e2e.sh after the program.
// Usage: e2e_driver full|restricted|abort ARTEFACT_FOLDER LANGUAGE...
//   LANGUAGE...: the catalogue's names in file order.
//        e2e_driver strings PROGRAM_PATH
//   compares the program's string table with the core's.
//        e2e_driver opened RECORD_FILE DOCUMENT
//   the test prefix's handler of .html files: appends DOCUMENT to RECORD_FILE.
//        e2e_driver numbered PROGRAM_FOLDER
//   rewrites a string-table entry of the program copy there and checks
//   that its numbered message shows it (numbered_message.h).
// Prints one line per check; exit status 0 when all passed.
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/resources/resource.h"
#include "link/error_report.h"
#include "tests/e2e/drivers/checks.h"
#include "tests/e2e/drivers/numbered_message.h"
#include "tests/e2e/drivers/window_probe.h"

namespace r7700 {
namespace {

constexpr char kMainCaption[] = "Veloran R7700B/C Series OTDR  -  Firmware Update";
constexpr DWORD kStartupMs = 60000;
constexpr DWORD kBoxMs = 20000;
// The whole run on scaled time; a real-time run would take minutes.
constexpr DWORD kRunMs = 600000;
constexpr int kPauseMs = 300;
// Time for the help the Restricted-mode start opens to show.
constexpr DWORD kHelpOpenMs = 3000;

constexpr char kVerifyText[] = "Did you connect and configure\n the OTDR? (19200 Baud)";
constexpr char kAbortText[] = "Do really want to abort the download?\nDownload will fail!";
constexpr char kSuccessText[] =
    "Firmware Update successful! \nIf the instrument did not reboot automatically,\n cycle "
    "power to test the new firmware!";

const std::vector<int> kOptionIds{IDC_DOWNLOAD_LANGUAGES,   IDC_DOWNLOAD_FIRMWARE,
                                  IDC_DOWNLOAD_BOOT_SECTOR, IDC_ERASE_USER_FLASH,
                                  IDC_BOOT_FLASH,           IDC_BOOT_RAMCARD};
const std::vector<int> kLanguageIds{IDC_BOOT_LANGUAGE, IDC_SECOND_LANGUAGE, IDC_THIRD_LANGUAGE,
                                    IDC_FOURTH_LANGUAGE};
const std::vector<std::string> kTroubleCaptions{"Error!", "ERROR", "WARNING", "Connection Failed!"};

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += Cat(text.empty() ? "" : ",", item);
  return text;
}

RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

void Screenshot(Checks& checks, HWND window, const std::string& folder, const char* name) {
  const std::string path = folder + "\\" + name;
  checks.Expect(SaveScreenArea(WindowRect(window), path), std::string("screenshot ") + name);
}

// Waits for a box with caption while watching for error boxes; an error box
// is reported with its text and closed, and ends the wait.
HWND WaitForBoxOrTrouble(Checks& checks, HWND main, const char* caption, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeout_ms && IsWindow(main)) {
    if (HWND box = FindBoxOf(main, {caption})) return box;
    if (HWND trouble = FindBoxOf(main, kTroubleCaptions)) {
      checks.Expect(false, Cat("unexpected box \"", WindowText(trouble), "\": ", BoxText(trouble)));
      PressButton(trouble, IDOK);
      return nullptr;
    }
    Sleep(50);
  }
  checks.Expect(false, std::string("no box \"") + caption + "\" appeared");
  return nullptr;
}

bool WaitUntil(HWND main, int id, bool enabled, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeout_ms) {
    if (ControlEnabled(main, id) == enabled) return true;
    Sleep(50);
  }
  return false;
}

void CheckLanguageLists(Checks& checks, HWND main, const std::vector<std::string>& languages) {
  checks.ExpectText(Joined(ComboItems(main, IDC_BOOT_LANGUAGE)), Joined(languages),
                    "boot language list (no \"None\")");
  std::vector<std::string> with_none{"None"};
  with_none.insert(with_none.end(), languages.begin(), languages.end());
  for (int id : {IDC_SECOND_LANGUAGE, IDC_THIRD_LANGUAGE, IDC_FOURTH_LANGUAGE}) {
    checks.ExpectText(Joined(ComboItems(main, id)), Joined(with_none),
                      Cat("language list ", std::to_string(id)));
  }
}

void CheckPortAndBaud(Checks& checks, HWND main) {
  checks.ExpectText(Joined(ComboItems(main, IDC_BAUD_LIST)), "9600,19200,38400,57600,115200",
                    "baud list");
  checks.ExpectText(ComboSelection(main, IDC_BAUD_LIST), "19200", "chosen baud rate");
  checks.ExpectText(ComboSelection(main, IDC_PORT_LIST), "COM1", "chosen port");
}

void CheckProgressBar(Checks& checks, HWND main) {
  HWND bar = FindWindowExA(main, nullptr, "msctls_progress32", nullptr);
  if (!checks.Expect(bar != nullptr && IsWindowVisible(bar), "progress bar created")) return;
  const RECT placeholder = WindowRect(GetDlgItem(main, IDC_PROGRESS_PLACEHOLDER));
  const RECT shown = WindowRect(bar);
  char where[160];
  std::snprintf(where, sizeof where,
                "progress bar at %ld,%ld size %ldx%ld; placeholder at %ld,%ld size %ldx%ld",
                static_cast<long>(shown.left), static_cast<long>(shown.top),
                static_cast<long>(shown.right - shown.left),
                static_cast<long>(shown.bottom - shown.top), static_cast<long>(placeholder.left),
                static_cast<long>(placeholder.top),
                static_cast<long>(placeholder.right - placeholder.left),
                static_cast<long>(placeholder.bottom - placeholder.top));
  std::printf("info: %s\n", where);
  checks.Expect(!ControlEnabled(main, IDC_PROGRESS_PLACEHOLDER), "placeholder disabled");
}

void CheckAllDisabledForRun(Checks& checks, HWND main) {
  std::vector<int> ids{IDC_START, IDC_EXIT, IDC_HELP_BUTTON, IDC_PORT_LIST, IDC_BAUD_LIST};
  ids.insert(ids.end(), kLanguageIds.begin(), kLanguageIds.end());
  ids.insert(ids.end(), kOptionIds.begin(), kOptionIds.end());
  std::string enabled;
  for (int id : ids) {
    if (ControlEnabled(main, id)) enabled += Cat(" ", std::to_string(id));
  }
  checks.Expect(enabled.empty(), "every operable control disabled during the run" +
                                     (enabled.empty() ? "" : Cat(" (enabled:", enabled, ")")));
  checks.Expect(ControlEnabled(main, IDC_STATUS_LOG), "status log stays enabled");
}

// The window thread enables one control after the other; this process
// waits until the last has been done.
void CheckEnabledAfterRun(Checks& checks, HWND main, bool full_mode) {
  std::vector<int> ids{IDC_START,     IDC_EXIT,          IDC_HELP_BUTTON,    IDC_PORT_LIST,
                       IDC_BAUD_LIST, IDC_BOOT_LANGUAGE, IDC_THIRD_LANGUAGE, IDC_FOURTH_LANGUAGE};
  if (full_mode) ids.insert(ids.end(), kOptionIds.begin(), kOptionIds.end());
  std::string disabled;
  const DWORD start = GetTickCount();
  do {
    disabled.clear();
    for (int id : ids) {
      if (!ControlEnabled(main, id)) disabled += Cat(" ", std::to_string(id));
    }
    if (disabled.empty()) break;
    Sleep(50);
  } while (GetTickCount() - start < kBoxMs);
  checks.Expect(disabled.empty(), "controls enabled again after the run" +
                                      (disabled.empty() ? "" : Cat(" (disabled:", disabled, ")")));
}

// A request to end the program during the run asks first; No lets it go on.
void DeclineAbort(Checks& checks, HWND main, UINT message, WPARAM wparam, const char* how) {
  PostMessageA(main, message, wparam, 0);
  HWND question = WaitForDialog("Attention!", kBoxMs);
  if (!checks.Expect(question != nullptr, std::string(how) + " during the run asks to abort")) {
    return;
  }
  checks.ExpectText(BoxText(question), kAbortText, "abort question");
  PressButton(question, IDNO);
  Sleep(kPauseMs);
  checks.Expect(IsWindow(main) && !ControlEnabled(main, IDC_START),
                std::string("answering No to ") + how + " lets the run go on");
}

// Presses Start and answers the confirmation with Yes; false if it failed.
bool StartRun(Checks& checks, HWND main) {
  PressButton(main, IDC_START);
  HWND verify = WaitForBoxOrTrouble(checks, main, "Verify", kBoxMs);
  if (verify == nullptr) return false;
  CheckAllDisabledForRun(checks, main);
  checks.ExpectText(BoxText(verify), kVerifyText, "confirmation");
  PressButton(verify, IDYES);
  return true;
}

// Waits until the run is well under way (the erase phase) and photographs it.
void PhotographRun(Checks& checks, HWND main, const std::string& folder) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kRunMs &&
         ControlText(main, IDC_PROGRESS_CAPTION).rfind("Erasing", 0) != 0) {
    Sleep(50);
  }
  checks.Expect(ControlText(main, IDC_PROGRESS_CAPTION).rfind("Erasing", 0) == 0,
                "run reached the erase phase");
  Sleep(kPauseMs);
  Screenshot(checks, main, folder, "main-during-run.bmp");
}

void ConfirmSuccess(Checks& checks, HWND main) {
  HWND success = WaitForBoxOrTrouble(checks, main, "SUCCESS", kRunMs);
  if (success == nullptr) return;
  checks.ExpectText(BoxText(success), kSuccessText, "SUCCESS text");
  PostMessageA(success, WM_COMMAND, IDCANCEL, 0);
  PostMessageA(success, WM_CLOSE, 0, 0);
  PostMessageA(success, WM_SYSCOMMAND, SC_CLOSE, 0);
  Sleep(kPauseMs);
  checks.Expect(IsWindow(success) != 0, "Escape and Close leave the SUCCESS box open");
  PressButton(success, IDOK);
}

void CheckFinishedLog(Checks& checks, HWND main) {
  const std::string log = ControlText(main, IDC_STATUS_LOG);
  checks.Expect(log.find("Checks done!") != std::string::npos, "log holds \"Checks done!\"");
  checks.Expect(log.find("Language download complete!") != std::string::npos,
                "log holds \"Language download complete!\"");
}

// The window exists from its initialisation on; it is ready once it is on
// the screen with its progress bar (made last) and the initial focus.
bool WaitForReady(HWND main) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kStartupMs) {
    if (IsWindowVisible(main) && FindWindowExA(main, nullptr, "msctls_progress32", nullptr) &&
        FocusOf(main) != nullptr) {
      return true;
    }
    Sleep(50);
  }
  return false;
}

void Exit(Checks& checks, HWND main) {
  PressButton(main, IDC_EXIT);
  const DWORD start = GetTickCount();
  while (IsWindow(main) && GetTickCount() - start < kBoxMs) Sleep(50);
  checks.Expect(!IsWindow(main), "Exit ends the program");
}

void FullMode(Checks& checks, HWND main, const std::string& folder,
              const std::vector<std::string>& languages) {
  const RECT window = WindowRect(main);
  const RECT group = WindowRect(GetDlgItem(main, IDC_OPTIONS_GROUP));
  checks.Expect(group.right <= window.right && group.left > window.left,
                "full width: the download options lie inside the window");
  HWND focus = FocusOf(main);
  checks.Expect(focus == GetDlgItem(main, IDC_EXIT),
                "initial focus on Exit (focus on control " +
                    std::to_string(focus != nullptr ? GetDlgCtrlID(focus) : -1) + ")");
  CheckLanguageLists(checks, main, languages);
  CheckPortAndBaud(checks, main);
  CheckProgressBar(checks, main);
  checks.Expect(ControlChecked(main, IDC_DOWNLOAD_LANGUAGES) &&
                    ControlChecked(main, IDC_DOWNLOAD_FIRMWARE) &&
                    !ControlChecked(main, IDC_DOWNLOAD_BOOT_SECTOR) &&
                    !ControlChecked(main, IDC_ERASE_USER_FLASH) &&
                    ControlChecked(main, IDC_BOOT_FLASH) && !ControlChecked(main, IDC_BOOT_RAMCARD),
                "option boxes as product.ini says");
  Screenshot(checks, main, folder, "main-full.bmp");

  // 115200 baud; the second language becomes the boot language, so the
  // first language is forced into the second slot: two languages in all.
  ChooseListItem(main, IDC_BAUD_LIST, 4);
  ChooseListItem(main, IDC_BOOT_LANGUAGE, 1);
  checks.ExpectText(ComboSelection(main, IDC_SECOND_LANGUAGE), languages[0],
                    "second language forced");
  checks.Expect(!ControlEnabled(main, IDC_SECOND_LANGUAGE), "second language list greyed");

  if (!StartRun(checks, main)) return;
  PhotographRun(checks, main, folder);
  DeclineAbort(checks, main, WM_CLOSE, 0, "closing the window");
  DeclineAbort(checks, main, WM_COMMAND, IDCANCEL, "Escape");
  ConfirmSuccess(checks, main);
  checks.Expect(WaitUntil(main, IDC_START, true, kBoxMs), "Start enabled after the run");
  CheckEnabledAfterRun(checks, main, true);
  // The window thread applies the second-language rule right after it has
  // enabled the lists; this process may look in between.
  checks.Expect(WaitUntil(main, IDC_SECOND_LANGUAGE, false, kBoxMs),
                "second language list greyed again");
  CheckFinishedLog(checks, main);
  Screenshot(checks, main, folder, "main-after-run.bmp");
  Exit(checks, main);
}

void RestrictedMode(Checks& checks, HWND main, const std::string& folder,
                    const std::vector<std::string>& languages) {
  const RECT window = WindowRect(main);
  const RECT group = WindowRect(GetDlgItem(main, IDC_OPTIONS_GROUP));
  checks.Expect(window.right <= group.left, "narrowed: the window ends left of the options");
  std::string wrong;
  for (int id : kOptionIds) {
    if (ControlEnabled(main, id) || !ControlChecked(main, id))
      wrong += Cat(" ", std::to_string(id));
  }
  checks.Expect(wrong.empty(), "option controls ticked and disabled" +
                                   (wrong.empty() ? "" : Cat(" (not so:", wrong, ")")));
  CheckLanguageLists(checks, main, languages);
  CheckPortAndBaud(checks, main);
  Screenshot(checks, main, folder, "main-restricted.bmp");
  Exit(checks, main);
}

// Yes to the abort question ends the process at once (the script checks
// its exit status and that the settings were not saved).
void AbortMode(Checks& checks, HWND main) {
  if (!StartRun(checks, main)) return;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kRunMs &&
         ControlText(main, IDC_PROGRESS_CAPTION).rfind("Erasing", 0) != 0) {
    Sleep(50);
  }
  PostMessageA(main, WM_CLOSE, 0, 0);
  HWND question = WaitForDialog("Attention!", kBoxMs);
  if (!checks.Expect(question != nullptr, "closing during the run asks to abort")) return;
  PressButton(question, IDYES);
  const DWORD asked = GetTickCount();
  while (IsWindow(main) && GetTickCount() - asked < kBoxMs) Sleep(50);
  checks.Expect(!IsWindow(main), "Yes ends the program");
}

// Entries 1 to 8 of the program's string table, loaded as the system loads
// them, against the table the core formats its numbered messages from.
int CompareStringTable(const char* program) {
  Checks checks;
  HMODULE module = LoadLibraryExA(program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!checks.Expect(module != nullptr, "program loaded as data")) return 1;
  for (int entry = IDS_CAPTION_ERROR; entry <= IDS_PORT_OPEN_FAILED; ++entry) {
    char text[256] = {};
    LoadStringA(module, static_cast<UINT>(entry), text, sizeof text);
    checks.ExpectText(text, std::string(StringTableEntry(entry)),
                      Cat("string ", std::to_string(entry)));
  }
  FreeLibrary(module);
  return checks.Finish("strings");
}

int RecordOpened(const char* record, const char* document) {
  std::FILE* file = std::fopen(record, "a");
  if (file == nullptr) return 1;
  std::fprintf(file, "%s\n", document);
  return std::fclose(file) == 0 ? 0 : 1;
}

}  // namespace
}  // namespace r7700

int main(int argc, char** argv) {
  using namespace r7700;
  if (argc == 3 && std::string(argv[1]) == "strings") return CompareStringTable(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "numbered") return CheckNumberedMessage(argv[2]);
  if (argc == 4 && std::string(argv[1]) == "opened") return RecordOpened(argv[2], argv[3]);
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: e2e_driver full|restricted|abort ARTEFACT_FOLDER LANGUAGE...\n"
                 "       e2e_driver strings PROGRAM_PATH\n"
                 "       e2e_driver numbered PROGRAM_FOLDER\n"
                 "       e2e_driver opened RECORD_FILE DOCUMENT\n");
    return 64;
  }
  const std::string scenario = argv[1];
  const std::string folder = argv[2];
  const std::vector<std::string> languages(argv + 3, argv + argc);
  Checks checks;
  HWND main = WaitForDialog(kMainCaption, kStartupMs);
  if (!checks.Expect(main != nullptr, "main window found by its caption")) return 1;
  checks.Expect(WaitForReady(main), "main window initialised and shown");
  if (scenario == "restricted") {
    // The help opens in a window of its own: nothing blocks the main window.
    Sleep(kHelpOpenMs);
    checks.Expect(IsWindowEnabled(main) && FindBoxOf(main, {"Help"}) == nullptr,
                  "no box blocks the window at start");
    RestrictedMode(checks, main, folder, languages);
  } else if (scenario == "full") {
    FullMode(checks, main, folder, languages);
  } else if (scenario == "abort") {
    AbortMode(checks, main);
  } else {
    std::fprintf(stderr, "e2e_driver: unknown scenario %s\n", scenario.c_str());
    return 64;
  }
  return checks.Finish(scenario);
}
