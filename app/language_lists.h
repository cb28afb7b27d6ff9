// The four language lists of the main window and the rule that keeps the
// catalogue's first language in the image unless it is the boot language.
//
// List 1001 (boot language) holds rows 1 to N of LanguageChoices, so its
// position k is row k + 1; lists 1002 to 1004 hold rows 0 ("None") to N.
#pragma once

#include <array>

#include "languages/catalogue.h"
#include "link/control_ids.h"
#include "link/window_surface.h"

namespace r7700 {

// The list of slot k is kLanguageLists[k].
inline constexpr std::array<int, 4> kLanguageLists{IDC_BOOT_LANGUAGE, IDC_SECOND_LANGUAGE,
                                                   IDC_THIRD_LANGUAGE, IDC_FOURTH_LANGUAGE};
// The boot list leaves out row 0, so its positions are one lower than rows.
inline constexpr int kBootListRowOffset = 1;
// The catalogue's first language: always loaded second unless it boots.
inline constexpr int kFirstLanguageRow = 1;

// Selects the row of each slot in its list.
void SelectLanguageSlots(WindowSurface& window, const SelectedLanguages& rows);

// Fills the lists up to the end marker, selects the slots of selected and
// applies the second-language rule.
void FillLanguageLists(WindowSurface& window, const LanguageChoices& choices,
                       SelectedLanguages& selected);

// Unless row 1 is the boot language, the second language is forced to row 1
// and its list disabled; otherwise the list is enabled.
void ApplySecondLanguageRule(WindowSurface& window, SelectedLanguages& selected);

// Sets each slot from the text of its list's selection, looked up by name.
// A list without a selection (the boot list when the settings file named
// "None"), or with a text that names no row, keeps the slot's value, so no
// slot ever holds an index outside LanguageChoices.
void ReadLanguageSelections(WindowSurface& window, const LanguageChoices& choices,
                            SelectedLanguages& selected);

}  // namespace r7700
