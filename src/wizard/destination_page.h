// The destination directory page.
#pragma once

#include "wizard/wizard_page.h"

class DestinationPage : public WizardPage
{
public:
    DestinationPage();
};
