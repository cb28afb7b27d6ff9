#include "tests/e2e/drivers/window_probe.h"

#include <cstdio>

namespace r7700 {
namespace {

constexpr DWORD kPollMs = 50;
constexpr UINT kSendTimeoutMs = 5000;

// The wide messages throughout: Wine returns the combo box texts of another
// process to an ANSI caller unconverted, as UTF-16.
LRESULT SendBounded(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &result)) {
    return -1;
  }
  return static_cast<LRESULT>(result);
}

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

struct BoxSearch {
  DWORD process = 0;
  HWND exclude = nullptr;
  const std::vector<std::string>* captions = nullptr;
  HWND found = nullptr;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<BoxSearch*>(param);
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (window == search.exclude || process != search.process || !IsWindowVisible(window) ||
      std::string(class_name) != "#32770") {
    return TRUE;
  }
  const std::string caption = WindowText(window);
  for (const std::string& wanted : *search.captions) {
    if (caption == wanted) {
      search.found = window;
      return FALSE;
    }
  }
  return TRUE;
}

BOOL CALLBACK CollectStatic(HWND window, LPARAM param) {
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  // An icon's static carries the icon's resource name as its text.
  const bool icon = (GetWindowLongA(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
  const std::string text = WindowText(window);
  if (std::string(class_name) == "Static" && !icon && !text.empty()) {
    auto& joined = *reinterpret_cast<std::string*>(param);
    if (!joined.empty()) joined += "|";
    joined += text;
  }
  return TRUE;
}

void Put16(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>((v >> 8) & 0xff);
}

void Put32(std::string& out, unsigned long v) {
  Put16(out, static_cast<unsigned>(v & 0xffff));
  Put16(out, static_cast<unsigned>(v >> 16));
}

}  // namespace

HWND WaitForDialog(const char* caption, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  do {
    if (HWND found = FindWindowA("#32770", caption)) return found;
    Sleep(kPollMs);
  } while (GetTickCount() - start < timeout_ms);
  return nullptr;
}

HWND FindBoxOf(HWND other, const std::vector<std::string>& captions) {
  BoxSearch search;
  GetWindowThreadProcessId(other, &search.process);
  search.exclude = other;
  search.captions = &captions;
  EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string WindowText(HWND window) {
  const LRESULT length = SendBounded(window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendBounded(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return Narrow(text);
}

std::string ControlText(HWND dialog, int id) {
  return WindowText(GetDlgItem(dialog, id));
}

std::string BoxText(HWND box) {
  std::string joined;
  EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&joined));
  return joined;
}

std::vector<std::string> ComboItems(HWND dialog, int id) {
  HWND combo = GetDlgItem(dialog, id);
  std::vector<std::string> items;
  const LRESULT count = SendBounded(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT pos = 0; pos < count; ++pos) {
    const LRESULT length = SendBounded(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(pos), 0);
    std::wstring text(length > 0 ? static_cast<size_t>(length) + 1 : 1, L'\0');
    const LRESULT copied = SendBounded(combo, CB_GETLBTEXT, static_cast<WPARAM>(pos),
                                       reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    items.push_back(Narrow(text));
  }
  return items;
}

std::string ComboSelection(HWND dialog, int id) {
  const LRESULT pos = SendBounded(GetDlgItem(dialog, id), CB_GETCURSEL, 0, 0);
  if (pos < 0) return {};
  const std::vector<std::string> items = ComboItems(dialog, id);
  return static_cast<size_t>(pos) < items.size() ? items[static_cast<size_t>(pos)] : std::string();
}

bool ControlEnabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != 0;
}

bool ControlChecked(HWND dialog, int id) {
  return SendBounded(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

HWND FocusOf(HWND dialog) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void PressButton(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ChooseListItem(HWND dialog, int id, int pos) {
  HWND combo = GetDlgItem(dialog, id);
  SendBounded(combo, CB_SETCURSEL, static_cast<WPARAM>(pos), 0);
  SendBounded(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
}

bool SaveScreenArea(const RECT& rect, const std::string& path) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, previous);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const size_t row = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  std::string pixels(row * static_cast<size_t>(height), '\0');
  const int lines =
      GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (lines != height) return false;

  std::string file = "BM";
  Put32(file, static_cast<unsigned long>(14 + 40 + pixels.size()));
  Put32(file, 0);
  Put32(file, 14 + 40);
  file.append(reinterpret_cast<const char*>(&info.bmiHeader), 40);
  file += pixels;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace r7700
