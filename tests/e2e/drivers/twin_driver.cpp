// Two copies of r7700update.exe at once, from the same folder (one settings
// file, one data folder, one TMP): the first updates the instrument on COM1,
// the second the one on COM2, both at the same time. Started by
// run_wine_e2e.sh; the script checks both instruments and the files after.
// Usage: twin_driver PROGRAM_PATH
// Prints one line per check; exit status 0 when all passed.
//        twin_driver profile-writes FILE TAG COUNT
//   writes keys TAG0 .. TAG<COUNT-1> to section [Twin] of FILE through the
//   program's profile store, as fast as it can: two of these at once show
//   whether writes of two copies to one settings file can lose each other's.
#include <windows.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/profile_store.h"
#include "app/resources/resource.h"
#include "tests/e2e/drivers/checks.h"
#include "tests/e2e/drivers/window_probe.h"

namespace r7700 {
namespace {

constexpr char kMainCaption[] = "Veloran R7700B/C Series OTDR  -  Firmware Update";
constexpr DWORD kStartupMs = 60000;
constexpr DWORD kBoxMs = 20000;
// Both whole runs on scaled time.
constexpr DWORD kRunMs = 600000;
constexpr DWORD kPollMs = 50;
constexpr int kBaud115200Position = 4;
constexpr size_t kCopies = 2;
const std::array<const char*, kCopies> kPorts{"COM1", "COM2"};
const std::vector<std::string> kTroubleCaptions{"Error!", "ERROR", "WARNING", "Connection Failed!"};

struct Copy {
  std::string port;
  PROCESS_INFORMATION process{};
  HWND main = nullptr;
  bool succeeded = false;
};

struct MainSearch {
  DWORD process = 0;
  HWND found = nullptr;
};

BOOL CALLBACK MatchMain(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<MainSearch*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search.process || WindowText(window) != kMainCaption) return TRUE;
  search.found = window;
  return FALSE;
}

// The copy's main window once it is shown with its progress bar (made last)
// and the initial focus: its start-up (port probe included) is over.
HWND WaitForReadyMain(DWORD process) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kStartupMs) {
    MainSearch search{process, nullptr};
    EnumWindows(MatchMain, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr && IsWindowVisible(search.found) &&
        FindWindowExA(search.found, nullptr, "msctls_progress32", nullptr) != nullptr &&
        FocusOf(search.found) != nullptr) {
      return search.found;
    }
    Sleep(kPollMs);
  }
  return nullptr;
}

bool Launch(Checks& checks, const std::string& program, Copy& copy) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string command = "\"" + program + "\"";
  if (!checks.Expect(CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                                    nullptr, nullptr, &startup, &copy.process) != 0,
                     "copy for " + copy.port + " started")) {
    return false;
  }
  copy.main = WaitForReadyMain(copy.process.dwProcessId);
  return checks.Expect(copy.main != nullptr, "copy for " + copy.port + " shows its window");
}

// Each copy probed both ports free at its start and now takes its own.
bool ChoosePort(Checks& checks, Copy& copy) {
  const std::vector<std::string> ports = ComboItems(copy.main, IDC_PORT_LIST);
  int position = -1;
  for (size_t i = 0; i < ports.size(); ++i) {
    if (ports[i] == copy.port) position = static_cast<int>(i);
  }
  if (!checks.Expect(position >= 0, copy.port + " in the copy's port list")) return false;
  ChooseListItem(copy.main, IDC_PORT_LIST, position);
  ChooseListItem(copy.main, IDC_BAUD_LIST, kBaud115200Position);
  return checks.Expect(ComboSelection(copy.main, IDC_PORT_LIST) == copy.port,
                       copy.port + " chosen in its copy");
}

bool StartRun(Checks& checks, Copy& copy) {
  PressButton(copy.main, IDC_START);
  const DWORD start = GetTickCount();
  HWND verify = nullptr;
  while (verify == nullptr && GetTickCount() - start < kBoxMs) {
    verify = FindBoxOf(copy.main, {"Verify"});
    Sleep(kPollMs);
  }
  if (!checks.Expect(verify != nullptr, copy.port + ": confirmation asked")) return false;
  PressButton(verify, IDYES);
  return true;
}

// Watches both copies until each has shown SUCCESS or a trouble box.
void AwaitBoth(Checks& checks, std::array<Copy, kCopies>& copies) {
  std::array<bool, kCopies> ended{};
  const DWORD start = GetTickCount();
  while ((!ended[0] || !ended[1]) && GetTickCount() - start < kRunMs) {
    for (size_t i = 0; i < kCopies; ++i) {
      if (ended[i]) continue;
      if (HWND success = FindBoxOf(copies[i].main, {"SUCCESS"})) {
        copies[i].succeeded = true;
        ended[i] = true;
        PressButton(success, IDOK);
      } else if (HWND trouble = FindBoxOf(copies[i].main, kTroubleCaptions)) {
        checks.Expect(
            false, copies[i].port + ": box \"" + WindowText(trouble) + "\": " + BoxText(trouble));
        ended[i] = true;
        PressButton(trouble, IDOK);
      }
    }
    Sleep(kPollMs);
  }
  for (const Copy& copy : copies) {
    checks.Expect(copy.succeeded, copy.port + ": SUCCESS shown");
    const std::string log = ControlText(copy.main, IDC_STATUS_LOG);
    checks.Expect(log.find("Language download complete!") != std::string::npos,
                  copy.port + ": log holds \"Language download complete!\"");
  }
}

// Both leave by Exit at about the same time, each writing the settings file.
void ExitBoth(Checks& checks, std::array<Copy, kCopies>& copies) {
  for (Copy& copy : copies) {
    const DWORD start = GetTickCount();
    while (!ControlEnabled(copy.main, IDC_EXIT) && GetTickCount() - start < kBoxMs) {
      Sleep(kPollMs);
    }
  }
  for (Copy& copy : copies) PressButton(copy.main, IDC_EXIT);
  for (Copy& copy : copies) {
    const bool ended = WaitForSingleObject(copy.process.hProcess, kBoxMs) == WAIT_OBJECT_0;
    DWORD code = 1;
    GetExitCodeProcess(copy.process.hProcess, &code);
    checks.Expect(ended && code == 0, copy.port + ": Exit ends the copy with status 0");
    CloseHandle(copy.process.hThread);
    CloseHandle(copy.process.hProcess);
  }
}

int WriteProfileKeys(const std::string& file, const std::string& tag, int count) {
  const std::unique_ptr<ProfileStore> store = MakePlatformProfileStore();
  bool written = true;
  for (int i = 0; i < count; ++i) {
    written = store->WriteString(file, "Twin", tag + std::to_string(i), "written") && written;
  }
  return written ? 0 : 1;
}

}  // namespace
}  // namespace r7700

int main(int argc, char** argv) {
  using namespace r7700;
  if (argc == 5 && std::string(argv[1]) == "profile-writes") {
    return WriteProfileKeys(argv[2], argv[3], std::atoi(argv[4]));
  }
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: twin_driver PROGRAM_PATH\n"
                 "       twin_driver profile-writes FILE TAG COUNT\n");
    return 64;
  }
  Checks checks;
  std::array<Copy, kCopies> copies;
  bool ready = true;
  // One after the other: a copy probing the ports while the other does
  // would find that one's probe holding a port.
  for (size_t i = 0; i < kCopies && ready; ++i) {
    copies[i].port = kPorts[i];
    ready = Launch(checks, argv[1], copies[i]);
  }
  for (size_t i = 0; i < kCopies && ready; ++i) ready = ChoosePort(checks, copies[i]);
  for (size_t i = 0; i < kCopies && ready; ++i) ready = StartRun(checks, copies[i]);
  if (ready) {
    AwaitBoth(checks, copies);
    ExitBoth(checks, copies);
  }
  std::printf("twin_driver: %d passed, %d failed\n", checks.passed, checks.failed);
  return checks.failed == 0 ? 0 : 1;
}
