#include "app/win32/help.h"

#include "link/data_paths_platform.h"

namespace r7700 {
namespace {

// quiet: the shell shows no box of its own when it cannot open the page,
// since at start such a box would block the window.
void OpenHelpPage(HWND window, const std::string& folder, bool quiet) {
  const std::string page = folder + kHelpPageName;
  SHELLEXECUTEINFOA execute{};
  execute.cbSize = sizeof execute;
  execute.fMask = quiet ? SEE_MASK_FLAG_NO_UI : 0;
  execute.hwnd = window;
  execute.lpVerb = "open";
  execute.lpFile = page.c_str();
  execute.nShow = SW_SHOWNORMAL;
  ShellExecuteExA(&execute);
}

}  // namespace

void OpenHelpContents(HWND window, const std::string& folder) {
  const std::string help_file = folder + kHelpFileName;
  if (PathExists(help_file)) {
    WinHelpA(window, help_file.c_str(), HELP_CONTENTS, 0);
    return;
  }
  OpenHelpPage(window, folder, false);
}

void OpenHelpTopicPopup(HWND window, const std::string& folder) {
  const std::string help_file = folder + kHelpFileName;
  if (PathExists(help_file)) {
    WinHelpA(window, help_file.c_str(), HELP_CONTEXTPOPUP, kRestrictedHelpTopic);
    return;
  }
  OpenHelpPage(window, folder, true);
}

}  // namespace r7700
