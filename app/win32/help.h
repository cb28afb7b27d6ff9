// The program's help. The WinHelp file update.hlp is used when it lies
// beside the program (and the system still has WinHelp); otherwise the same
// two topics come from our own help: topic 1 as a short text box, the
// contents as update-help.html beside the program, opened by the shell.
#pragma once

#include <windows.h>

#include <string>

namespace r7700 {

inline constexpr char kHelpFileName[] = "update.hlp";
inline constexpr char kHelpPageName[] = "update-help.html";
inline constexpr DWORD kRestrictedHelpTopic = 1;

// folder: the program's folder with its trailing separator.
void OpenHelpContents(HWND window, const std::string& folder);
// The pop-up of topic 1, shown at start in Restricted mode.
void OpenHelpTopicPopup(HWND window, const std::string& folder);

}  // namespace r7700
