// The program's help. The WinHelp file update.hlp is used when it lies
// beside the program (and the system still has WinHelp); otherwise our own
// page update-help.html beside the program, opened by the shell. Neither
// blocks the window: both show in windows of their own.
#pragma once

#include <windows.h>

#include <string>

namespace r7700 {

inline constexpr char kHelpFileName[] = "update.hlp";
inline constexpr char kHelpPageName[] = "update-help.html";
inline constexpr DWORD kRestrictedHelpTopic = 1;

// folder: the program's folder with its trailing separator.
void OpenHelpContents(HWND window, const std::string& folder);
// The pop-up of topic 1, shown at start in Restricted mode; the help page
// when there is no WinHelp file.
void OpenHelpTopicPopup(HWND window, const std::string& folder);

}  // namespace r7700
