#include "wizard/aborted_page.h"

#include "wizard/page_title.h"
#include "wizard/resource_ids.h"

AbortedPage::AbortedPage()
    : WizardPage(IDD_ABORTED, kWizardTitle, nullptr, nullptr)
{
}
