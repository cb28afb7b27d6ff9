#include "app/win32/controls.h"

#include <array>

#include "app/resources/resource.h"

namespace r7700 {
namespace {

constexpr std::array<int, 7> kCommonControls{
    IDC_START,           IDC_EXIT,           IDC_HELP_BUTTON,    IDC_BOOT_LANGUAGE,
    IDC_SECOND_LANGUAGE, IDC_THIRD_LANGUAGE, IDC_FOURTH_LANGUAGE};
constexpr std::array<int, 2> kPortControls{IDC_PORT_LIST, IDC_BAUD_LIST};

template <size_t N>
void EnableAll(WindowSurface& window, const std::array<int, N>& controls, bool enabled) {
  for (int control : controls) window.Enable(control, enabled);
}

}  // namespace

void DisableControlsForRun(WindowSurface& window) {
  EnableAll(window, kCommonControls, false);
  EnableAll(window, kOptionControls, false);
  EnableAll(window, kPortControls, false);
  window.Repaint();
}

void EnableControlsAfterRun(WindowSurface& window, SettingsMode mode) {
  EnableAll(window, kCommonControls, true);
  if (mode == SettingsMode::kFull) EnableAll(window, kOptionControls, true);
  EnableAll(window, kPortControls, true);
  window.SetCaretToStart(IDC_STATUS_LOG);
  window.Repaint();
}

}  // namespace r7700
