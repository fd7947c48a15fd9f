// The closing page after a confirmed Cancel (exterior page).
#pragma once

#include "wizard/wizard_page.h"

class AbortedPage : public WizardPage
{
public:
    AbortedPage();

    bool OnActivate() override;
};

