#include "wizard/ready_page.h"

#include "ground/path.h"
#include "ground/product_names.h"
#include "install/install_product.h"
#include "window/message_box.h"
#include "wizard/destination_choice.h"
#include "wizard/page_title.h"
#include "wizard/resource_ids.h"
#include "wizard/wizard_sheet.h"

namespace {

void EnableSheetButtons(HWND sheet, BOOL enable)
{
    EnableWindow(GetDlgItem(sheet, kBackButton), enable);
    EnableWindow(GetDlgItem(sheet, kNextButton), enable);
    EnableWindow(GetDlgItem(sheet, IDCANCEL), enable);
}

}  // namespace

ReadyPage::ReadyPage()
    : WizardPage(IDD_READY, kWizardTitle,
                 "インストールの開始",
                 "インストールを開始する準備ができました")
{
}

bool ReadyPage::OnActivate()
{
    HWND sheet = SheetWindow();
    SetWizardButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT);
    SetDlgItemTextA(sheet, kNextButton, "インストール(&I)");
    return true;
}

LRESULT ReadyPage::OnNext()
{
    HWND sheet = SheetWindow();
    const WizardSettings& settings = Sheet()->Settings();

    // The installation blocks this thread: the disabled buttons and the wait
    // cursor are all the user sees until it ends.
    EnableSheetButtons(sheet, FALSE);
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    InstallReport report;
    HRESULT result = InstallProduct(sheet, settings.destination, settings.associate ? 1 : 0, &report);
    SetCursor(previous);
    if (result == S_OK)
        return 0;  // the finished page sets its own buttons

    // The user who stopped in a dialog of the installation knows already.
    // A file that could not be put back is named, so the user can find it.
    const char* original = report.preservedOriginal[0] != '\0' ? report.preservedOriginal : nullptr;
    char logPath[PATH_BUFFER_SIZE];
    const bool logRefused = (result == kLogIsLink || result == kLogNotALog) &&
                            JoinPath(logPath, settings.destination, kLogFileName) == S_OK;
    if (logRefused && result == kLogIsLink)
        ShowError(Window(), result,
                  "インストールできませんでした。\n%s はリンクのため、使用できません。"
                  "リンクを削除してから、もう一度試してください。",
                  logPath);
    else if (logRefused)
        ShowError(Window(), result,
                  "インストールできませんでした。\n%s はこの製品のインストールの記録ではないため、使用できません。",
                  logPath);
    else if (result != E_ABORT && original != nullptr)
        ShowError(Window(), result, "インストールできませんでした。\n元のファイルは %s にあります。", original);
    else if (result != E_ABORT)
        ShowError(Window(), result, "インストールできませんでした。");
    EnableSheetButtons(sheet, TRUE);
    return -1;
}

LRESULT ReadyPage::OnBack()
{
    // Asked again: the registration may have changed meanwhile.
    return IsForeignDrawingServer() ? IDD_DESTINATION : 0;
}
