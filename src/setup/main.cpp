// Entry of setup.exe: prepares COM, the common controls and the module
// record, runs the wizard modally and exits with the property sheet's result.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "ground/process_hardening.h"
#include "setup/comctl_version.h"
#include "window/app_module.h"
#include "wizard/setup_wizard.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    HardenProcess();
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    g_appModule.Init(instance);

    INT_PTR result = 0;
    if (CheckCommonControls("comctl32.dll")) {
        SetupWizard sheet;
        result = sheet.RunModal(GetActiveWindow());
    }

    g_appModule.Term();
    CoUninitialize();
    return static_cast<int>(result);
}
