// The closing page after a successful installation (exterior page).
#pragma once

#include "wizard/wizard_page.h"

class FinishedPage : public WizardPage
{
public:
    FinishedPage();

    bool OnActivate() override;
};
