// The four language lists of the main window and the rule that keeps the
// catalogue's first language in the image unless it is the boot language.
//
// List 1001 (boot language) holds rows 1 to N of LanguageChoices, so its
// position k is row k + 1; lists 1002 to 1004 hold rows 0 ("None") to N.
#pragma once

#include "languages/catalogue.h"
#include "link/window_surface.h"

namespace r7700 {

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
