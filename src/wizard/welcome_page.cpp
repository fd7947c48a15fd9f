#include "wizard/welcome_page.h"

#include "wizard/page_title.h"
#include "wizard/resource_ids.h"

WelcomePage::WelcomePage()
    : WizardPage(IDD_WELCOME, kWizardTitle, nullptr, nullptr)
{
}
