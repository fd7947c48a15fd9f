// The end-to-end driver of setup.exe.
//   e2e_driver [gtest options]  the scenarios (one per CTest test, each in a
//                               fresh prefix)
//   e2e_driver walk [SETUP_EXE] one walk through the wizard to the finished
//                               page with the proposed directory and the
//                               association, a screenshot of every page
//                               (of another setup.exe when given)
//   e2e_driver report           where the product is installed, from the
//                               registry
// walk and report print key=value lines in code page 932.
#include <windows.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "system_state.h"
#include "wizard_driver.h"

namespace {

constexpr int kWelcome = 201, kDestination = 204, kAssociation = 213, kReady = 210, kFinished = 206,
              kAborted = 110;

void Report()
{
    std::printf("destination=%s\n", ReadString(HKEY_LOCAL_MACHINE, "Software\\Velmar\\Orvik\\6.0", "Path").c_str());
    std::printf("uninstall=%s\n",
                ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvik 6.0",
                          "UninstallString")
                    .c_str());
}

int Fail(const char* what)
{
    std::fprintf(stderr, "walk: %s\n", what);
    return 2;
}

int Walk(const char* executable)
{
    SetupRun run(executable ? "walk" : "run", executable ? executable : SetupExePath());
    if (!run.Start())
        return Fail("the wizard did not appear");
    if (!run.WaitForPage(kWelcome))
        return Fail("no welcome page");
    run.WaitForButtons(kWelcomeButtons);
    run.Shot("welcome");
    run.Press(PSBTN_NEXT);
    if (!run.WaitForPage(kDestination))
        return Fail("no destination page");
    run.WaitForButtons(kInteriorButtons);
    run.Shot("destination");
    std::printf("proposed=%s\n", run.Text(1000).c_str());
    run.Press(PSBTN_NEXT);
    if (!WaitUntil([&] { return run.PageId() == kAssociation || run.PageId() == kReady; }))
        return Fail("neither the association nor the ready page");
    if (run.PageId() == kAssociation) {
        run.WaitForButtons(kInteriorButtons);
        run.Choose(1002);
        run.Shot("association");
        run.Press(PSBTN_NEXT);
        if (!run.WaitForPage(kReady))
            return Fail("no ready page");
    }
    run.WaitForButtons(kReadyButtons);
    run.Shot("ready");
    run.Press(PSBTN_NEXT);

    // The installation: the finished page, or a dialog on the way.
    for (;;) {
        HWND dialog = nullptr;
        if (!WaitUntil([&] { return run.PageId() == kFinished || (dialog = run.WaitForDialog(0)) != nullptr; },
                       180000))
            return Fail("the installation did not end");
        if (!dialog)
            break;
        if (WindowText(dialog) == "コピー方法の確認") {
            // The preselected answer: keep a newer file that is there.
            run.Shot("copy_method", dialog);
            SetupRun::Answer(dialog, IDOK);
            SetupRun::WaitForDialogGone(dialog);
            continue;
        }
        run.Shot("error", dialog);
        std::printf("error=%s\n", ItemText(dialog, 0xFFFF).c_str());
        SetupRun::Answer(dialog, IDOK);
        SetupRun::WaitForDialogGone(dialog);
        run.ClickCancel();
        HWND question = run.WaitForDialog();
        if (question)
            SetupRun::Answer(question, IDYES);
        run.WaitForPage(kAborted);
        run.WaitForButtons(kClosingButtons);
        run.Shot("aborted");
        run.Press(PSBTN_FINISH);
        std::printf("exit=%ld\n", run.WaitForExit());
        return 1;
    }
    run.WaitForButtons(kClosingButtons);
    run.Shot("finished");
    run.Press(PSBTN_FINISH);
    long code = run.WaitForExit();
    Report();
    std::printf("exit=%ld\n", code);
    return code == -1 ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "walk") == 0)
        return Walk(argc == 3 ? argv[2] : nullptr);
    if (argc == 2 && std::strcmp(argv[1], "report") == 0) {
        Report();
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
