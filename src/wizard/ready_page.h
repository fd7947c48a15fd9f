// The page that runs the installation.
#pragma once

#include "wizard/wizard_page.h"

class ReadyPage : public WizardPage
{
public:
    ReadyPage();
};
