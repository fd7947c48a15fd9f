// What several pages do alike with the sheet's buttons.
#pragma once

#include "wizard/wizard_page.h"

// The Next button's label on every page before the ready page.
constexpr char kNextLabel[] = "次へ(&N) >";

// A closing page offers Finish only: no Back, no Cancel. message goes into
// the page's static 102.
void ShowClosingPage(WizardPage& page, const char* message);
