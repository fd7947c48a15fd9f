// The page that runs the installation.
#pragma once

#include "wizard/wizard_page.h"

class ReadyPage : public WizardPage
{
public:
    ReadyPage();

    bool OnActivate() override;
    // Installs; the finished page on success, else the error and this page again.
    LRESULT OnNext() override;
    LRESULT OnBack() override;
};
