#include "wizard/setup_wizard.h"

SetupWizard::SetupWizard()
{
    AddPageObject(m_welcome);
    AddPageObject(m_destination);
    AddPageObject(m_association);
    AddPageObject(m_ready);
    AddPageObject(m_finished);
    AddPageObject(m_aborted);
}
