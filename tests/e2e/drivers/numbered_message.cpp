#include "tests/e2e/drivers/numbered_message.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "link/control_ids.h"
#include "link/error_report.h"
#include "tests/e2e/drivers/checks.h"
#include "tests/e2e/drivers/window_probe.h"

namespace r7700 {
namespace {

constexpr char kPatchedText[] = "Settings file %s is out of reach !\nError nr.: %d (own table)";
constexpr char kRestrictedSettingsFile[] = "veskotdr.ini";
constexpr WORD kStringLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
// A string-table resource holds entries in blocks of 16 counted UTF-16 texts.
constexpr int kStringsPerBlock = 16;
constexpr DWORD kBoxMs = 60000;
constexpr DWORD kEndMs = 20000;

std::vector<std::wstring> ReadStringBlock(const std::string& program, int block) {
  std::vector<std::wstring> strings;
  HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return strings;
  HRSRC found =
      FindResourceExA(module, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(block), kStringLanguage);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const auto* data = static_cast<const WCHAR*>(loaded != nullptr ? LockResource(loaded) : nullptr);
  const size_t words = found != nullptr ? SizeofResource(module, found) / sizeof(WCHAR) : 0;
  size_t at = 0;
  while (data != nullptr && at < words && strings.size() < kStringsPerBlock) {
    const size_t length = data[at++];
    if (at + length > words) break;
    strings.emplace_back(data + at, length);
    at += length;
  }
  FreeLibrary(module);
  return strings;
}

bool WriteStringBlock(const std::string& program, int block,
                      const std::vector<std::wstring>& strings) {
  std::vector<WCHAR> data;
  for (const std::wstring& text : strings) {
    data.push_back(static_cast<WCHAR>(text.size()));
    data.insert(data.end(), text.begin(), text.end());
  }
  HANDLE update = BeginUpdateResourceA(program.c_str(), FALSE);
  if (update == nullptr) return false;
  const bool updated =
      UpdateResourceA(update, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(block), kStringLanguage,
                      data.data(), static_cast<DWORD>(data.size() * sizeof(WCHAR))) != FALSE;
  return EndUpdateResourceA(update, updated ? FALSE : TRUE) != FALSE && updated;
}

bool PatchStringEntry(const std::string& program, int entry, const std::string& text) {
  const int block = entry / kStringsPerBlock + 1;
  std::vector<std::wstring> strings = ReadStringBlock(program, block);
  if (strings.size() != kStringsPerBlock) return false;
  strings[static_cast<size_t>(entry % kStringsPerBlock)] = std::wstring(text.begin(), text.end());
  return WriteStringBlock(program, block, strings);
}

// As the program loads it: LoadStringA into 256 bytes.
std::string LoadEntry(const std::string& program, int entry) {
  HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return {};
  char text[kMessageFormatBytes] = {};
  LoadStringA(module, static_cast<UINT>(entry), text, sizeof text);
  FreeLibrary(module);
  return text;
}

// Starts the program in folder and answers its ERROR box; true when the
// program then ended with exit status 0.
bool RunProgram(Checks& checks, const std::string& program, const std::string& folder,
                const std::string& wanted) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string command = Cat("\"", program, "\"");
  if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    return checks.Expect(false, "program started");
  }
  HWND box = WaitForDialog("ERROR", kBoxMs);
  if (checks.Expect(box != nullptr, "an ERROR box appears at start")) {
    checks.ExpectText(BoxText(box), wanted, "numbered message");
    PressButton(box, IDOK);
  }
  const bool ended = WaitForSingleObject(process.hProcess, kEndMs) == WAIT_OBJECT_0;
  DWORD status = 1;
  if (!ended) TerminateProcess(process.hProcess, 1);
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return checks.Expect(ended && status == 0, "the program ends with exit status 0");
}

}  // namespace

int CheckNumberedMessage(const std::string& folder) {
  Checks checks;
  const std::string program = folder + "\\r7700update.exe";
  checks.Expect(PatchStringEntry(program, IDS_INI_MISSING, kPatchedText),
                "entry 3 of the program's string table rewritten");
  const std::string entry = LoadEntry(program, IDS_INI_MISSING);
  checks.ExpectText(entry, kPatchedText, "entry 3 loaded back");
  checks.Expect(entry != StringTableEntry(IDS_INI_MISSING),
                "entry 3 differs from the core's table");

  HANDLE held = CreateFileA((folder + "\\product.ini").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (checks.Expect(held != INVALID_HANDLE_VALUE, "product.ini held open without sharing")) {
    char wanted[kMessageFormatBytes] = {};
    std::snprintf(wanted, sizeof wanted, entry.c_str(), kRestrictedSettingsFile, kMsgIniMissing);
    RunProgram(checks, program, folder, wanted);
    CloseHandle(held);
  }
  return checks.Finish("numbered");
}

}  // namespace r7700
