// The setup wizard: the sheet with its six pages in sheet order.
#pragma once

#include "wizard/aborted_page.h"
#include "wizard/association_page.h"
#include "wizard/destination_page.h"
#include "wizard/finished_page.h"
#include "wizard/ready_page.h"
#include "wizard/welcome_page.h"
#include "wizard/wizard_sheet.h"

class SetupWizard : public WizardSheet
{
public:
    SetupWizard();

private:
    // Declared in sheet order: construction order is page order.
    WelcomePage m_welcome;
    DestinationPage m_destination;
    AssociationPage m_association;
    ReadyPage m_ready;
    FinishedPage m_finished;
    AbortedPage m_aborted;
};
