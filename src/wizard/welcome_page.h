// The first page: welcome (exterior page).
#pragma once

#include "wizard/wizard_page.h"

class WelcomePage : public WizardPage
{
public:
    WelcomePage();

    bool OnActivate() override;
    LRESULT OnNext() override;
};
