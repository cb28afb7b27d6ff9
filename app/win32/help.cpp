#include "app/win32/help.h"

namespace r7700 {
namespace {

constexpr char kTopicCaption[] = "Help";
constexpr char kRestrictedTopicText[] =
    "This copy of the update program is set up to change the instrument's languages.\n\n"
    "Choose the boot language and up to three more languages, the COM port the OTDR is\n"
    "connected to and the baud rate, then press Start. Firmware and languages are loaded\n"
    "together. Keep the OTDR on AC power until the SUCCESS box appears.";

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

void OpenHelpContents(HWND window, const std::string& folder) {
  const std::string help_file = folder + kHelpFileName;
  if (FileExists(help_file)) {
    WinHelpA(window, help_file.c_str(), HELP_CONTENTS, 0);
    return;
  }
  const std::string page = folder + kHelpPageName;
  ShellExecuteA(window, "open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenHelpTopicPopup(HWND window, const std::string& folder) {
  const std::string help_file = folder + kHelpFileName;
  if (FileExists(help_file)) {
    WinHelpA(window, help_file.c_str(), HELP_CONTEXTPOPUP, kRestrictedHelpTopic);
    return;
  }
  MessageBoxA(window, kRestrictedTopicText, kTopicCaption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace r7700
