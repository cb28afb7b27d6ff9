#include "app/language_lists.h"

namespace r7700 {

void SelectLanguageSlots(WindowSurface& window, const SelectedLanguages& rows) {
  window.ListSelect(kLanguageLists[0], rows[0] - kBootListRowOffset);
  for (size_t k = 1; k < kLanguageLists.size(); ++k) window.ListSelect(kLanguageLists[k], rows[k]);
}

void FillLanguageLists(WindowSurface& window, const LanguageChoices& choices,
                       SelectedLanguages& selected) {
  for (int list : kLanguageLists) window.ListClear(list);
  for (int row = 0; row < kLanguageRows; ++row) {
    const std::string& name = choices.rows[static_cast<size_t>(row)].name;
    if (name.empty()) break;
    if (row >= kBootListRowOffset) window.ListAdd(IDC_BOOT_LANGUAGE, name);
    for (size_t k = 1; k < kLanguageLists.size(); ++k) window.ListAdd(kLanguageLists[k], name);
  }
  SelectLanguageSlots(window, selected);
  ApplySecondLanguageRule(window, selected);
}

void ApplySecondLanguageRule(WindowSurface& window, SelectedLanguages& selected) {
  if (selected[0] != kFirstLanguageRow) {
    selected[1] = kFirstLanguageRow;
    window.ListSelect(IDC_SECOND_LANGUAGE, kFirstLanguageRow);
    window.Enable(IDC_SECOND_LANGUAGE, false);
  } else {
    window.Enable(IDC_SECOND_LANGUAGE, true);
  }
}

void ReadLanguageSelections(WindowSurface& window, const LanguageChoices& choices,
                            SelectedLanguages& selected) {
  for (size_t k = 0; k < kLanguageLists.size(); ++k) {
    const int pos = window.ListSelection(kLanguageLists[k]);
    if (pos < 0) continue;
    std::string text = window.ListItem(kLanguageLists[k], pos);
    // The list text is read into a 20-byte buffer.
    if (text.size() > kLanguageNameChars) text.resize(kLanguageNameChars);
    const int row = FindLanguage(choices, text);
    if (row >= 0) selected[k] = row;
  }
}

}  // namespace r7700
