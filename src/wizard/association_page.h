// The question whether drawing files and OLE drawing objects open with the viewer.
#pragma once

#include "wizard/wizard_page.h"

class AssociationPage : public WizardPage
{
public:
    AssociationPage();

    bool OnActivate() override;
    LRESULT OnNext() override;
};
