#include <windows.h>

#include <string>

#include "app/resources/resource.h"
#include "app/win32/main_dialog.h"
#include "link/clock.h"
#include "link/data_paths.h"

namespace r7700 {
namespace {

constexpr char kDialogClassName[] = "VeskDlgClass";
// Double-click messages, no close item, save bits, byte-aligned window.
constexpr UINT kDialogClassStyle = CS_DBLCLKS | CS_NOCLOSE | CS_SAVEBITS | CS_BYTEALIGNWINDOW;
static_assert(kDialogClassStyle == 0x2A08);

void RegisterDialogClass(HINSTANCE instance) {
  WNDCLASSA window_class{};
  window_class.style = kDialogClassStyle;
  window_class.lpfnWndProc = DefDlgProcA;
  window_class.cbClsExtra = 0;
  window_class.cbWndExtra = DLGWINDOWEXTRA;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
  window_class.hCursor = nullptr;
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszMenuName = nullptr;
  window_class.lpszClassName = kDialogClassName;
  RegisterClassA(&window_class);
}

}  // namespace
}  // namespace r7700

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace r7700;
  RegisterDialogClass(instance);
  // The time scale is for the simulated instrument only; an invalid value
  // falls back to real time.
  MainWindow win(instance, ResolveDataPaths(), TimeScaleFromEnvironment(nullptr));
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc,
                  reinterpret_cast<LPARAM>(&win));
  DiscardLanguageImage(win.app.image_builder, win.app.paths);
  return 0;
}
