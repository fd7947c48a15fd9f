#include "wizard/finished_page.h"

#include "wizard/page_title.h"
#include "wizard/resource_ids.h"

FinishedPage::FinishedPage()
    : WizardPage(IDD_FINISHED, kWizardTitle, nullptr, nullptr)
{
}
