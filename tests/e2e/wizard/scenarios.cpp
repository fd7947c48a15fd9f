// The scenarios: setup.exe as built, driven like a user would, and what it
// leaves in the prefix. Each runs as its own CTest test in a fresh prefix.
#include <windows.h>
#include <prsht.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "archive/member_header.h"
#include "archive/lh5_decoder.h"
#include "installed_check.h"
#include "installed_names.h"
#include "screen_capture.h"
#include "system_state.h"
#include "user_input.h"
#include "wizard_driver.h"
#include "wizard_texts.h"

namespace {

constexpr int kWelcome = 201, kDestination = 204, kAssociation = 213, kReady = 210, kFinished = 206,
              kAborted = 110;
constexpr int kEdit = 1000, kYes = 1002, kNo = 1003;
constexpr int kMessageText = 0xFFFF;  // the text of a message box
constexpr int kCopyNot = 1002, kCopyUnlessNewer = 1003, kCopyOver = 1004, kCopyAll = 1006;

const std::string kDefaultDirectory = std::string("C:\\") + installed::kDefaultDestinationTail;

// The build tree's copies of what archive 216 and 215 carry.

bool Contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

::testing::AssertionResult Step(SetupRun& run, int button, int page, SetupRun::Via via = SetupRun::Via::Click)
{
    int from = run.PageId();
    if (!run.Press(button, via))
        return ::testing::AssertionFailure() << "button " << button << " not usable on page " << from << ": "
                                             << run.Buttons();
    if (!run.WaitForPage(page))
        return ::testing::AssertionFailure() << "page " << run.PageId() << " after page " << from << " instead of "
                                             << page;
    return ::testing::AssertionSuccess();
}

// The texts a page shows: those of its template and those it sets when shown.
void ExpectPageTexts(SetupRun& run, int page)
{
    const wizard_texts::Page& expected = wizard_texts::PageOf(page);
    for (const wizard_texts::ShownText& shown : expected.shownTexts)
        EXPECT_EQ(run.Text(shown.control), shown.text) << page << ": " << shown.control;
    const std::vector<std::string> texts = ChildTexts(run.Page());
    for (const char* text : expected.templateTexts)
        EXPECT_TRUE(Contains(texts, text)) << page << ": " << text;
}

// The texts and buttons each page shows once activated.
void ExpectWelcome(SetupRun& run)
{
    EXPECT_EQ(run.WaitForButtons(kWelcomeButtons), kWelcomeButtons);
    EXPECT_EQ(WindowText(run.Sheet()), wizard_texts::kTitle);
    ExpectPageTexts(run, kWelcome);
}

void ExpectDestination(SetupRun& run, const std::string& proposal)
{
    EXPECT_EQ(run.WaitForButtons(kInteriorButtons), kInteriorButtons);
    EXPECT_EQ(WindowText(run.Sheet()), wizard_texts::kTitle);
    ExpectPageTexts(run, kDestination);
    EXPECT_EQ(run.Text(kEdit), proposal);
}

void ExpectAssociation(SetupRun& run)
{
    EXPECT_EQ(run.WaitForButtons(kInteriorButtons), kInteriorButtons);
    EXPECT_FALSE(IsChecked(run.Page(), kYes));
    EXPECT_TRUE(IsChecked(run.Page(), kNo));
    ExpectPageTexts(run, kAssociation);
}

void ExpectReady(SetupRun& run)
{
    EXPECT_EQ(run.WaitForButtons(kReadyButtons), kReadyButtons);
    ExpectPageTexts(run, kReady);
}

void ExpectFinished(SetupRun& run)
{
    EXPECT_EQ(run.WaitForButtons(kClosingButtons), kClosingButtons);
    ExpectPageTexts(run, kFinished);
}

void ExpectAborted(SetupRun& run)
{
    EXPECT_EQ(run.WaitForButtons(kClosingButtons), kClosingButtons);
    ExpectPageTexts(run, kAborted);
}

// Esc on a closing page: Cancel is disabled there, so nothing happens.
void ExpectEscapeIgnored(SetupRun& run, int page)
{
    ASSERT_TRUE(PressKey(run.Sheet(), VK_ESCAPE));
    EXPECT_EQ(run.WaitForDialog(1500), nullptr) << "a question after Esc";
    EXPECT_EQ(run.PageId(), page);
}

// Welcome to the ready page, checking and photographing every page; the
// association page, when shown, answered with associate.
::testing::AssertionResult WalkToReady(SetupRun& run, const std::string& proposal, bool associate,
                                       const std::string& destination = "")
{
    if (!run.Start())
        return ::testing::AssertionFailure() << "no wizard window";
    if (!run.WaitForPage(kWelcome))
        return ::testing::AssertionFailure() << "no welcome page";
    ExpectWelcome(run);
    run.Shot("welcome");
    if (auto step = Step(run, PSBTN_NEXT, kDestination); !step)
        return step;
    ExpectDestination(run, proposal);
    if (!destination.empty())
        run.SetText(kEdit, destination);
    run.Shot("destination");
    if (auto step = Step(run, PSBTN_NEXT, kAssociation); !step)
        return step;
    ExpectAssociation(run);
    if (associate && !run.Choose(kYes))
        return ::testing::AssertionFailure() << "Yes not checked";
    run.Shot(associate ? "association_yes" : "association_no");
    if (auto step = Step(run, PSBTN_NEXT, kReady); !step)
        return step;
    ExpectReady(run);
    run.Shot("ready");
    return ::testing::AssertionSuccess();
}

// Presses Install and waits for the finished page or a dialog (returned).
HWND PressInstall(SetupRun& run)
{
    if (!run.Press(PSBTN_NEXT)) {
        ADD_FAILURE() << "Install not usable: " << run.Buttons();
        return nullptr;
    }
    HWND dialog = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return run.PageId() == kFinished || (dialog = run.WaitForDialog(0)) != nullptr; },
                          120000));
    return dialog;
}

::testing::AssertionResult FinishAndExit(SetupRun& run)
{
    if (!run.Press(PSBTN_FINISH))
        return ::testing::AssertionFailure() << "no Finish: " << run.Buttons();
    long code = run.WaitForExit();
    // PropertySheetA's result for Finish.
    if (code != 1)
        return ::testing::AssertionFailure() << "exit code " << code;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult InstallAndFinish(SetupRun& run)
{
    if (HWND dialog = PressInstall(run))
        return ::testing::AssertionFailure() << "dialog during the installation: "
                                             << ItemText(dialog, kMessageText);
    ExpectFinished(run);
    run.Shot("finished");
    return FinishAndExit(run);
}

// Cancel, the question, and the answer; the question box is photographed.
void AnswerCancel(SetupRun& run, int answer, SetupRun::Via via = SetupRun::Via::Click)
{
    ASSERT_TRUE(run.Press(PSBTN_CANCEL, via));
    HWND box = run.WaitForDialog();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ItemText(box, kMessageText), wizard_texts::kCancelQuestion);
    EXPECT_EQ(WindowText(box), wizard_texts::kTitle);  // captioned with the sheet's title
    run.Shot(answer == IDYES ? "cancel_question_yes" : "cancel_question_no", box);
    EXPECT_TRUE(SetupRun::Answer(box, answer));
    EXPECT_TRUE(SetupRun::WaitForDialogGone(box));
}

void CancelToAbortedAndFinish(SetupRun& run)
{
    AnswerCancel(run, IDYES);
    ASSERT_TRUE(run.WaitForPage(kAborted));
    ExpectAborted(run);
    run.Shot("aborted");
    ExpectEscapeIgnored(run, kAborted);
    EXPECT_TRUE(FinishAndExit(run));
}

// The error box of a failed installation: the lead text, a blank line, the
// system's text for the code and the HRESULT line. Returns the code.
unsigned long ExpectInstallError(HWND box)
{
    std::string text = ItemText(box, kMessageText);
    size_t line = text.rfind("HRESULT: 0x");
    EXPECT_NE(line, std::string::npos) << text;
    if (line == std::string::npos)
        return 0;
    unsigned long code = std::strtoul(text.c_str() + line + 11, nullptr, 16);
    char system[1024] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, system,
                   sizeof system, nullptr);
    char hresult[32];
    std::snprintf(hresult, sizeof hresult, "HRESULT: 0x%08lx", code);
    EXPECT_NE(system[0], '\0') << "no system text for " << hresult;
    EXPECT_EQ(text, std::string(wizard_texts::kInstallFailed) + "\n\n" + system + hresult);
    return code;
}

}  // namespace

// A first installation with the proposed directory and the association.
TEST(Wizard, FreshInstallWithAssociation)
{
    SetupRun run("e2e_fresh");
    ASSERT_TRUE(WalkToReady(run, kDefaultDirectory, true));
    ASSERT_TRUE(InstallAndFinish(run));

    ExpectInstalled(kDefaultDirectory, true);
    EXPECT_EQ(LogLines(std::string(kDefaultDirectory) + "INSTALL.LOG"), ExpectedFirstLog(kDefaultDirectory, true));
}

// Back from the association and the ready page: the typed directory gives
// way to the proposal again, the association page opens with No; then an
// installation into a typed directory with a double-byte name, without the
// association.
TEST(Wizard, DeclineAssociationAndGoBack)
{
    SetupRun run("e2e_back");
    ASSERT_TRUE(WalkToReady(run, kDefaultDirectory, true, "D:\\Typed\\Elsewhere"));

    // Ready -> association: No again, although Yes was chosen.
    ASSERT_TRUE(Step(run, PSBTN_BACK, kAssociation, SetupRun::Via::Keys));
    ExpectAssociation(run);
    run.Shot("association_again");
    EXPECT_TRUE(run.Choose(kYes));
    // Association -> destination: the proposal over the typed text.
    ASSERT_TRUE(Step(run, PSBTN_BACK, kDestination, SetupRun::Via::Keys));
    ExpectDestination(run, kDefaultDirectory);
    run.Shot("destination_again");
    ASSERT_TRUE(Step(run, PSBTN_BACK, kWelcome));
    ExpectWelcome(run);
    run.Shot("welcome_again");
    ASSERT_TRUE(Step(run, PSBTN_NEXT, kDestination, SetupRun::Via::Keys));
    ExpectDestination(run, kDefaultDirectory);

    // 表 ends in the byte of "\".
    const std::string directory = "C:\\Apps\\ブレンナ 表示";
    run.SetText(kEdit, directory);
    run.Shot("destination_typed");
    ASSERT_TRUE(Step(run, PSBTN_NEXT, kAssociation, SetupRun::Via::Keys));
    ExpectAssociation(run);
    run.Shot("association_declined");
    ASSERT_TRUE(Step(run, PSBTN_NEXT, kReady));
    ExpectReady(run);
    run.Shot("ready_again");
    ASSERT_TRUE(InstallAndFinish(run));

    ExpectInstalled(directory, false);
    EXPECT_EQ(LogLines(directory + "\\INSTALL.LOG"), ExpectedFirstLog(directory + "\\", false));
    EXPECT_FALSE(DirectoryPresent("C:\\Program Files\\Velmar\\Orvik"));
    EXPECT_FALSE(DirectoryPresent("D:\\Typed"));
}

// Version 5.0 installed in C:\Tools\Orvik: that directory is proposed, and
// what 5.0 left in the Start menu, on the desktop and in the registry goes.
TEST(Wizard, EarlierInstallElsewhere)
{
    const std::string old = "C:\\Tools\\Orvik";
    ASSERT_TRUE(MakeDirectories(old));
    ASSERT_TRUE(WriteFileBytes(old + "\\ORVIK.exe", "version 5.0"));
    ASSERT_TRUE(WriteFileBytes(old + "\\NOTES.TXT", "the user's own file"));
    ASSERT_NO_FATAL_FAILURE(
        SetString(HKEY_LOCAL_MACHINE, installed::kProductKey, "AppName", installed::kProductName));
    ASSERT_NO_FATAL_FAILURE(SetString(HKEY_LOCAL_MACHINE, installed::kProductKey, "AppPath", old + "\\ORVIK.exe"));
    const std::string key50 = std::string(installed::kProductKey) + "\\5.0";
    ASSERT_NO_FATAL_FAILURE(SetString(HKEY_LOCAL_MACHINE, key50, "AppPath", old + "\\ORVIK.exe"));
    const std::string uninstall50 = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvik 5.0";
    ASSERT_NO_FATAL_FAILURE(
        SetString(HKEY_LOCAL_MACHINE, uninstall50, "DisplayName", "ブレンナビューア for Windows Ver5.0"));
    const std::string folder50 = ProgramsFolder() + "\\ブレンナビューア for Windows Ver5.0";
    ASSERT_TRUE(MakeDirectories(folder50 + "\\Extras"));
    ASSERT_TRUE(WriteFileBytes(folder50 + "\\" + installed::kShortcutFile, "link"));
    ASSERT_TRUE(WriteFileBytes(folder50 + "\\Extras\\README.TXT", "text"));
    const std::string desktop50 = DesktopFolder() + "\\ブレンナビューア for Windows Ver5.0.lnk";
    ASSERT_TRUE(WriteFileBytes(desktop50, "link"));
    ASSERT_TRUE(WriteFileBytes(DesktopFolder() + "\\" + installed::kShortcutFile, "old link"));

    SetupRun run("e2e_earlier");
    ASSERT_TRUE(WalkToReady(run, old, false));
    ASSERT_TRUE(InstallAndFinish(run));

    EXPECT_FALSE(DirectoryPresent(folder50));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key50));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, uninstall50));
    EXPECT_FALSE(FilePresent(desktop50));
    EXPECT_EQ(ReadFileBytes(old + "\\NOTES.TXT"), "the user's own file");
    ExpectInstalled(old, false);
    // The product key existed, so it is not the installation's to list.
    auto expected = ExpectedFirstLog(old + "\\", false);
    expected.erase(std::find(expected.begin(), expected.end(), "HKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik"));
    EXPECT_EQ(LogLines(old + "\\INSTALL.LOG"), expected);
}

// The drawing class served by another program: the association page is left
// out both ways, and the test is made anew each time the registration
// changes under the running wizard.
TEST(Wizard, ForeignDrawingServer)
{
    ASSERT_TRUE(MakeDirectories("C:\\Other"));
    ASSERT_TRUE(WriteFileBytes("C:\\Other\\DRAWTOOL.EXE", "another program"));
    ASSERT_TRUE(WriteFileBytes("C:\\Other\\orvik.EXE", "the viewer under another case"));
    ASSERT_NO_FATAL_FAILURE(SetString(HKEY_CLASSES_ROOT, installed::kServerKey, "", "C:\\Other\\DRAWTOOL.EXE"));

    SetupRun run("e2e_foreign");
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForPage(kWelcome));
    ExpectWelcome(run);
    run.Shot("welcome");
    ASSERT_TRUE(Step(run, PSBTN_NEXT, kDestination));
    ExpectDestination(run, kDefaultDirectory);
    run.Shot("destination");
    ASSERT_TRUE(Step(run, PSBTN_NEXT, kReady));
    ExpectReady(run);
    run.Shot("ready_skipped_association");
    ASSERT_TRUE(Step(run, PSBTN_BACK, kDestination));
    ExpectDestination(run, kDefaultDirectory);
    run.Shot("destination_back_from_ready");

    // Registered to a file that is not there: the page is shown.
    ASSERT_NO_FATAL_FAILURE(SetString(HKEY_CLASSES_ROOT, installed::kServerKey, "", "C:\\Other\\MISSING.EXE"));
    ASSERT_TRUE(Step(run, PSBTN_NEXT, kAssociation));
    ExpectAssociation(run);
    run.Shot("association_missing_server");
    ASSERT_TRUE(Step(run, PSBTN_BACK, kDestination));
    ExpectDestination(run, kDefaultDirectory);
    run.Shot("destination_back_from_association");

    // Registered to an orvik.EXE: the viewer's own, the page is shown.
    ASSERT_NO_FATAL_FAILURE(SetString(HKEY_CLASSES_ROOT, installed::kServerKey, "", "C:\\Other\\orvik.EXE"));
    ASSERT_TRUE(Step(run, PSBTN_NEXT, kAssociation));
    ExpectAssociation(run);
    EXPECT_TRUE(run.Choose(kYes));
    run.Shot("association_own_server_yes");
    ASSERT_TRUE(Step(run, PSBTN_NEXT, kReady));
    ExpectReady(run);
    run.Shot("ready");

    // Foreign again: Back skips the page, so does Next.
    ASSERT_NO_FATAL_FAILURE(SetString(HKEY_CLASSES_ROOT, installed::kServerKey, "", "C:\\Other\\DRAWTOOL.EXE"));
    ASSERT_TRUE(Step(run, PSBTN_BACK, kDestination));
    ExpectDestination(run, kDefaultDirectory);
    run.Shot("destination_skipping_back");
    ASSERT_TRUE(Step(run, PSBTN_NEXT, kReady));
    ExpectReady(run);
    run.Shot("ready_again");
    ASSERT_TRUE(InstallAndFinish(run));

    // The Yes given while the page was shown still holds.
    ExpectInstalled(kDefaultDirectory, true);
}

// A destination on a drive that does not exist: the error, the ready page
// kept, a second complete run, then Cancel to the aborted page.
TEST(Wizard, FailingInstallation)
{
    SetupRun run("e2e_failing");
    ASSERT_TRUE(WalkToReady(run, kDefaultDirectory, false, "Q:\\Orvik"));

    HWND box = PressInstall(run);
    ASSERT_NE(box, nullptr);
    // Back, Next and Cancel stay disabled while the error is shown.
    EXPECT_EQ(run.Buttons(), kBusyButtons);
    // Wine reports the missing drive as a missing file or path.
    const unsigned long code = ExpectInstallError(box);
    EXPECT_TRUE(code == 0x80070002ul || code == 0x80070003ul) << std::hex << code;
    run.Shot("error", box);
    ASSERT_TRUE(SetupRun::Answer(box, IDOK));
    ASSERT_TRUE(SetupRun::WaitForDialogGone(box));
    EXPECT_EQ(run.PageId(), kReady);
    ExpectReady(run);
    run.Shot("ready_after_error");

    // The second press starts from the beginning, and again the missing
    // drive is found before the removal of earlier versions: this folder
    // of an earlier version stays.
    const std::string folder50 = ProgramsFolder() + "\\ブレンナビューア for Windows Ver5.0";
    ASSERT_TRUE(MakeDirectories(folder50));
    box = PressInstall(run);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ExpectInstallError(box), code);
    run.Shot("error_again", box);
    EXPECT_TRUE(DirectoryPresent(folder50));
    ASSERT_TRUE(SetupRun::Answer(box, IDOK));
    ASSERT_TRUE(SetupRun::WaitForDialogGone(box));
    ExpectReady(run);
    run.Shot("ready_after_second_error");

    AnswerCancel(run, IDNO);
    EXPECT_EQ(run.PageId(), kReady);
    ExpectReady(run);
    run.Shot("ready_after_no");
    CancelToAbortedAndFinish(run);

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, installed::kProductKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, installed::kUninstallKey));
}

// Cancel on each of the first four pages: No changes nothing, Yes shows the
// aborted page, Finish ends the program. Nothing is installed.
TEST(Wizard, CancelOnEachPage)
{
    const struct
    {
        const char* name;
        int page;
    } pages[] = {{"welcome", kWelcome}, {"destination", kDestination}, {"association", kAssociation},
                 {"ready", kReady}};
    for (const auto& p : pages) {
        SCOPED_TRACE(p.name);
        SetupRun run(std::string("e2e_cancel_") + p.name);
        ASSERT_TRUE(run.Start());
        ASSERT_TRUE(run.WaitForPage(kWelcome));
        ExpectWelcome(run);
        run.Shot("welcome");
        std::string buttons = kWelcomeButtons;
        if (p.page != kWelcome) {
            ASSERT_TRUE(Step(run, PSBTN_NEXT, kDestination));
            ExpectDestination(run, kDefaultDirectory);
            buttons = kInteriorButtons;
            if (p.page == kDestination)
                run.SetText(kEdit, "C:\\Typed");
            run.Shot("destination");
        }
        if (p.page == kAssociation || p.page == kReady) {
            ASSERT_TRUE(Step(run, PSBTN_NEXT, kAssociation));
            ExpectAssociation(run);
            EXPECT_TRUE(run.Choose(kYes));
            run.Shot("association_yes");
        }
        if (p.page == kReady) {
            ASSERT_TRUE(Step(run, PSBTN_NEXT, kReady));
            ExpectReady(run);
            buttons = kReadyButtons;
            run.Shot("ready");
        }

        // Esc on every other page, the Cancel button on the rest.
        AnswerCancel(run, IDNO, p.page == kWelcome || p.page == kAssociation ? SetupRun::Via::Keys
                                                                               : SetupRun::Via::Click);
        EXPECT_EQ(run.PageId(), p.page);
        EXPECT_EQ(run.Buttons(), buttons);
        if (p.page == kDestination) {
            EXPECT_EQ(run.Text(kEdit), "C:\\Typed");
        }
        if (p.page == kAssociation) {
            EXPECT_TRUE(IsChecked(run.Page(), kYes));
        }
        run.Shot("after_no");
        CancelToAbortedAndFinish(run);
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, installed::kProductKey));
    EXPECT_FALSE(DirectoryPresent("C:\\Program Files\\Velmar"));
}

// 300 typed characters: the wizard goes on with the first 259, which cannot
// hold the program's path, so the installation fails before it creates
// anything.
TEST(Wizard, LongTypedDestination)
{
    std::string typed = "C:\\Long\\";
    while (typed.size() < 300)
        typed += "abcdefghij";
    typed.resize(300);

    SetupRun run("e2e_long");
    ASSERT_TRUE(WalkToReady(run, kDefaultDirectory, false, typed));
    HWND box = PressInstall(run);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ExpectInstallError(box), static_cast<unsigned long>(E_FAIL));
    run.Shot("error", box);
    // Enter answers the box as its OK button would.
    ASSERT_TRUE(PressKey(box, VK_RETURN));
    ASSERT_TRUE(SetupRun::WaitForDialogGone(box));
    ExpectReady(run);
    run.Shot("ready_after_error");
    EXPECT_FALSE(DirectoryPresent("C:\\Long"));

    ASSERT_TRUE(Step(run, PSBTN_BACK, kAssociation));
    ExpectAssociation(run);
    run.Shot("association_again");
    ASSERT_TRUE(Step(run, PSBTN_BACK, kDestination));
    ExpectDestination(run, kDefaultDirectory);
    run.Shot("destination_again");
    CancelToAbortedAndFinish(run);
}

namespace {

// The copy-method dialog for ORVIK.DAT: both files' sizes and times, the
// preselected answer.
void ExpectCopyMethodDialog(HWND dialog, DWORD existingSize, const FILETIME& existingTime, DWORD memberSize,
                            const FILETIME& memberTime)
{
    EXPECT_EQ(WindowText(dialog), wizard_texts::kCopyMethodTitle);
    EXPECT_EQ(ItemText(dialog, 1005), "ORVIK.DAT");
    EXPECT_EQ(ItemText(dialog, 1007), std::to_string(existingSize) + " バイト");
    EXPECT_EQ(ItemText(dialog, 1008), DialogTime(existingTime));
    EXPECT_EQ(ItemText(dialog, 1009), std::to_string(memberSize) + " バイト");
    EXPECT_EQ(ItemText(dialog, 1010), DialogTime(memberTime));
    EXPECT_TRUE(IsChecked(dialog, kCopyUnlessNewer));
    EXPECT_FALSE(IsChecked(dialog, kCopyNot));
    EXPECT_FALSE(IsChecked(dialog, kCopyOver));
    EXPECT_FALSE(IsChecked(dialog, kCopyAll));
}

}  // namespace

// Reinstallations over an ORVIK.DAT that the user changed: the copy-method
// dialog, and what each answer does.
TEST(Wizard, ReinstallOverChangedData)
{
    const std::string directory = kDefaultDirectory;
    const std::string data = directory + "ORVIK.DAT";
    const std::string log = directory + "INSTALL.LOG";
    {
        SetupRun run("e2e_copy_first");
        ASSERT_TRUE(WalkToReady(run, kDefaultDirectory, false));
        ASSERT_TRUE(InstallAndFinish(run));
    }
    const std::string member = ReadFileBytes(data);
    const FILETIME memberTime = LastWriteTime(data);
    const std::vector<std::string> firstLog = LogLines(log);
    ASSERT_FALSE(member.empty());
    const std::string changed = "changed by the user\r\n";
    const FILETIME newer = MakeFileTime(2030, 1, 2), older = MakeFileTime(2020, 3, 4);

    struct Answer
    {
        const char* name;
        FILETIME existing;
        int choice;          // radio button, 0 for Cancel
        bool written;        // ORVIK.DAT replaced by the member
    } answers[] = {
        {"cancel", newer, 0, false},
        {"unless_newer_kept", newer, kCopyUnlessNewer, false},
        {"unless_newer_written", older, kCopyUnlessNewer, true},
        {"not_copied", older, kCopyNot, false},
        {"overwritten", newer, kCopyOver, true},
    };
    // Cancel stays on the ready page; the next answer is given in the same run.
    std::unique_ptr<SetupRun> run;
    for (const auto& a : answers) {
        SCOPED_TRACE(a.name);
        ASSERT_TRUE(WriteFileBytes(data, changed));
        ASSERT_TRUE(SetLastWriteTime(data, a.existing));
        if (!run) {
            run.reset(new SetupRun(std::string("e2e_copy_") + a.name));
            ASSERT_TRUE(WalkToReady(*run, "C:\\Program Files\\Velmar\\Orvik", false));
        }
        HWND dialog = PressInstall(*run);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(WindowText(dialog), wizard_texts::kCopyMethodTitle) << ItemText(dialog, kMessageText);
        EXPECT_EQ(run->Buttons(), kBusyButtons);
        ExpectCopyMethodDialog(dialog, static_cast<DWORD>(changed.size()), a.existing,
                               static_cast<DWORD>(member.size()), memberTime);
        if (a.choice == 0) {
            run->Shot("copy_method", dialog);
            ASSERT_TRUE(SetupRun::Answer(dialog, IDCANCEL));
            ASSERT_TRUE(SetupRun::WaitForDialogGone(dialog));
            // Stopped by the user: no error box, the ready page again.
            EXPECT_EQ(run->WaitForDialog(1500), nullptr);
            EXPECT_EQ(run->PageId(), kReady);
            ExpectReady(*run);
            run->Shot("ready_after_cancel");
            // Asked before anything changed: the earlier installation is whole.
            EXPECT_EQ(ReadFileBytes(data), changed);
            EXPECT_EQ(LogLines(log), firstLog);
            EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "DisplayName"),
                      installed::kMenuFolder);
            EXPECT_TRUE(FilePresent(ProgramsFolder() + "\\" + installed::kMenuFolder + "\\" + installed::kShortcutFile));

            // ORVIK.exe in use: the box names the sharing violation, before
            // any question and before anything changes.
            HANDLE held = CreateFileA((directory + "ORVIK.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                      nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
            HWND box = PressInstall(*run);
            CloseHandle(held);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(ExpectInstallError(box), 0x80070020ul);
            run->Shot("error_in_use", box);
            ASSERT_TRUE(SetupRun::Answer(box, IDOK));
            ASSERT_TRUE(SetupRun::WaitForDialogGone(box));
            EXPECT_TRUE(WaitUntil([&] { return run->Buttons() != kBusyButtons; }, 10000));
            ExpectReady(*run);
            EXPECT_EQ(LogLines(log), firstLog);

            // An INSTALL.LOG the uninstaller would not read is no log of this
            // product: named in the box, and left as it is.
            const std::string logBytes = ReadFileBytes(log);
            ASSERT_TRUE(WriteFileBytes(log, logBytes + "[Other]\r\n"));
            box = PressInstall(*run);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(ItemText(box, kMessageText)
                          .find(std::string(wizard_texts::kInstallFailed) + "\n" + log +
                                " はこの製品のインストールの記録ではないため、使用できません。\n\n"),
                      0u)
                << ItemText(box, kMessageText);
            run->Shot("error_not_a_log", box);
            ASSERT_TRUE(SetupRun::Answer(box, IDOK));
            ASSERT_TRUE(SetupRun::WaitForDialogGone(box));
            EXPECT_TRUE(WaitUntil([&] { return run->Buttons() != kBusyButtons; }, 10000));
            EXPECT_EQ(ReadFileBytes(log), logBytes + "[Other]\r\n");
            ASSERT_TRUE(WriteFileBytes(log, logBytes));
            continue;
        }
        ASSERT_TRUE(ClickDlgItem(dialog, a.choice));
        EXPECT_TRUE(WaitUntil([&] { return IsChecked(dialog, a.choice); }));
        run->Shot("copy_method", dialog);
        ASSERT_TRUE(SetupRun::Answer(dialog, IDOK));
        ASSERT_TRUE(SetupRun::WaitForDialogGone(dialog));
        ASSERT_TRUE(run->WaitForPage(kFinished, 60000));
        ExpectFinished(*run);
        run->Shot("finished");
        // The copy-method question must not leave Cancel working here.
        ExpectEscapeIgnored(*run, kFinished);
        ASSERT_TRUE(FinishAndExit(*run));
        run.reset();

        EXPECT_EQ(ReadFileBytes(data), a.written ? member : changed);
        auto lines = LogLines(log);
        EXPECT_TRUE(Contains(lines, directory + "ORVIK.exe"));
        // A kept newer data file is still the installation's: listed.
        EXPECT_TRUE(Contains(lines, data));
    }
}

namespace {

// The stored uninstall command, silent, as "Programs and Features" runs it;
// then the product is gone, the uninstaller's own copy included.
void UninstallAsStored()
{
    const std::string uninstall =
        ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString") + " /S";
    std::string command = uninstall;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &startup, &process))
        << uninstall;
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    // The uninstaller removes its own copy after it has ended.
    EXPECT_TRUE(WaitUntil([] { return !DirectoryPresent(kDefaultDirectory); }, 20000));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, installed::kUninstallKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, installed::kProductKey));
    EXPECT_FALSE(FilePresent(DesktopFolder() + "\\" + installed::kShortcutFile));
    EXPECT_FALSE(DirectoryPresent(ProgramsFolder() + "\\" + installed::kMenuFolder));
}

// A copy of setup.exe at path with one byte of ORVIK.exe's coded data in
// resource 216 flipped, as a bad download leaves it. The resource bytes are
// the build's 216.lzh verbatim, so they are found by content.
bool WriteDamagedSetup(const std::string& path)
{
    std::string image = ReadFileBytes(SetupExePath());
    const std::string archive = ReadFileBytes("T:\\payload\\archives\\216.lzh");
    const size_t at = image.find(archive);
    if (archive.empty() || at == std::string::npos || image.find(archive, at + 1) != std::string::npos)
        return false;
    LzhDecodeStream cursor = {};
    cursor.nextIn = reinterpret_cast<const unsigned char*>(archive.data());
    cursor.availIn = static_cast<uint32_t>(archive.size());
    char name[MAX_PATH];
    MemberInfo info;
    do {
        if (ReadMemberHeader(&cursor, name, sizeof name, &info) != MEMBER_HEADER_OK)
            return false;
        cursor.nextIn += info.compressedSize;
        cursor.availIn -= info.compressedSize;
    } while (std::strcmp(name, "ORVIK.exe") != 0);
    const size_t data = reinterpret_cast<const char*>(cursor.nextIn) - archive.data() - info.compressedSize;
    image[at + data + info.compressedSize / 2] ^= 0x10;
    return MakeDirectories(path.substr(0, path.rfind('\\'))) && WriteFileBytes(path, image);
}

}  // namespace

// A setup.exe with a damaged archive 216 over a working installation: the
// error box with the corrupt-data text, no copy-method question, and the
// earlier installation still works and uninstalls.
TEST(Wizard, DamagedPayloadOverEarlierInstall)
{
    {
        SetupRun run("e2e_damaged_first");
        ASSERT_TRUE(WalkToReady(run, kDefaultDirectory, false));
        ASSERT_TRUE(InstallAndFinish(run));
    }
    const std::string damaged = "C:\\damaged\\setup.exe";
    ASSERT_TRUE(WriteDamagedSetup(damaged));
    const std::string log = std::string(kDefaultDirectory) + "INSTALL.LOG";
    const std::string logBefore = ReadFileBytes(log);

    SetupRun run("e2e_damaged", damaged);
    // The earlier installation's directory is proposed, without separator.
    ASSERT_TRUE(WalkToReady(run, "C:\\Program Files\\Velmar\\Orvik", false));
    HWND box = PressInstall(run);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(WindowText(box), wizard_texts::kCopyMethodTitle);
    EXPECT_EQ(ItemText(box, kMessageText), std::string(wizard_texts::kInstallFailed) +
                                               "\n\nデータが壊れています。\n正常なデータを入手してください。\n"
                                               "ハードウェアが故障している場合もあります。\n\n");
    run.Shot("error", box);
    ASSERT_TRUE(SetupRun::Answer(box, IDOK));
    ASSERT_TRUE(SetupRun::WaitForDialogGone(box));
    EXPECT_EQ(run.WaitForDialog(1500), nullptr);
    ExpectReady(run);
    CancelToAbortedAndFinish(run);

    ExpectInstalled(kDefaultDirectory, false);
    EXPECT_EQ(ReadFileBytes(log), logBefore);

    UninstallAsStored();
}

namespace {

// The screen's pixels in band once painting has settled: two captures alike.
ScreenImage SettledCapture(const RECT& band)
{
    ScreenImage last, image;
    for (int i = 0; i < 20; ++i) {
        Sleep(150);
        if (CaptureScreenArea(band, image) && image.rgb == last.rgb)
            break;
        last = image;
    }
    return image;
}

// The sheet's left band, the watermark's size (164 x 314), as the screen
// shows it once painting has settled: two captures alike.
ScreenImage WatermarkBand(const SetupRun& run, RECT& window)
{
    POINT origin = {0, 0};
    ClientToScreen(run.Sheet(), &origin);
    GetWindowRect(run.Sheet(), &window);
    const RECT band = {origin.x, origin.y, origin.x + 164, origin.y + 314};
    return SettledCapture(band);
}

::testing::AssertionResult SamePixels(const ScreenImage& expected, const ScreenImage& actual)
{
    if (expected.rgb.empty() || expected.width != actual.width || expected.height != actual.height)
        return ::testing::AssertionFailure() << "no band captured";
    size_t differing = 0, first = 0;
    for (size_t i = 0; i < expected.rgb.size(); i += 3) {
        if (std::memcmp(&expected.rgb[i], &actual.rgb[i], 3) != 0 && differing++ == 0)
            first = i / 3;
    }
    if (differing == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differing << " pixels differ, the first at x=" << first % expected.width
                                         << " y=" << first / expected.width;
}

}  // namespace

// The closing pages show the watermark as the welcome page does, whether
// reached from an interior page or straight from the welcome page: the same
// pixels in the same run at the same window position.
TEST(Wizard, ClosingPagesShowTheWatermark)
{
    const struct
    {
        const char* name;
        int page;
    } ways[] = {{"finished", kFinished}, {"aborted_from_welcome", kAborted}};
    for (const auto& w : ways) {
        SCOPED_TRACE(w.name);
        SetupRun run(std::string("e2e_look_") + w.name);
        ASSERT_TRUE(run.Start());
        ASSERT_TRUE(run.WaitForPage(kWelcome));
        run.WaitForButtons(kWelcomeButtons);
        RECT welcomeWindow, closingWindow;
        const ScreenImage welcome = WatermarkBand(run, welcomeWindow);
        run.Shot("welcome");
        if (w.page == kFinished) {
            ASSERT_TRUE(Step(run, PSBTN_NEXT, kDestination));
            ASSERT_TRUE(Step(run, PSBTN_NEXT, kAssociation));
            ASSERT_TRUE(Step(run, PSBTN_NEXT, kReady));
            run.WaitForButtons(kReadyButtons);
            ASSERT_EQ(PressInstall(run), nullptr);
        } else {
            AnswerCancel(run, IDYES);
        }
        ASSERT_TRUE(run.WaitForPage(w.page));
        run.WaitForButtons(kClosingButtons);
        const ScreenImage closing = WatermarkBand(run, closingWindow);
        run.Shot(w.name);
        EXPECT_TRUE(EqualRect(&welcomeWindow, &closingWindow));
        EXPECT_TRUE(SamePixels(welcome, closing));
        EXPECT_TRUE(FinishAndExit(run));
    }
}

// Libraries a user without rights may leave where the elevated programs
// start: beside the downloaded setup.exe (the folder service, and a library
// the system's drawing of the wizard loads), and in %TEMP% while the
// uninstaller's copy runs. With Wine looking for them as Windows does for a
// library that is not a KnownDLL (native first, the test's overrides), none
// is loaded and both runs finish.
TEST(Wizard, PlantedLibrariesAreNotLoaded)
{
    std::string planted = "T:\\" PLANTED_LIBRARY_RELATIVE;
    std::replace(planted.begin(), planted.end(), '/', '\\');
    const std::string downloads = "C:\\users\\Public\\Downloads\\";
    const std::string setup = downloads + "setup.exe";
    ASSERT_TRUE(MakeDirectories(downloads.substr(0, downloads.size() - 1)));
    ASSERT_TRUE(CopyFileA(SetupExePath().c_str(), setup.c_str(), FALSE));
    for (const char* name : {"SHFolder.dll", "msimg32.dll"})
        ASSERT_TRUE(CopyFileA(planted.c_str(), (downloads + name).c_str(), FALSE)) << name;
    {
        SetupRun run("e2e_planted", setup);
        ASSERT_TRUE(WalkToReady(run, kDefaultDirectory, true));
        ASSERT_TRUE(InstallAndFinish(run));
    }
    ExpectInstalled(kDefaultDirectory, true);

    char temp[MAX_PATH] = "";
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    ASSERT_TRUE(CopyFileA(planted.c_str(), (std::string(temp) + "version.dll").c_str(), FALSE));
    UninstallAsStored();

    std::vector<std::string> loaded;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA("C:\\planted\\*.dll", &found);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
        loaded.push_back(found.cFileName);
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    EXPECT_TRUE(loaded.empty()) << "loaded: " << loaded.front();
}

namespace {

// The watermark's band on an exterior page: the sheet's client area down to
// the line above the buttons (control 0x3026 of the system's sheet). The
// system draws the picture from the band's top left at its own size and
// fills the band below a shorter picture with the colour of the picture's
// top-left pixel: the share of the band's bottom row in that colour shows
// whether the picture reaches down to it.
::testing::AssertionResult PictureFillsItsBand(const SetupRun& run)
{
    HWND line = GetDlgItem(run.Sheet(), 0x3026);
    RECT lineRect;
    if (!line || !GetWindowRect(line, &lineRect))
        return ::testing::AssertionFailure() << "no line above the buttons";
    POINT origin = {0, 0};
    ClientToScreen(run.Sheet(), &origin);
    const int height = lineRect.top - 1 - origin.y;
    // The left 164 columns: the 100 % picture's width, and as much of a
    // wider one as Wine's sheet draws.
    const RECT band = {origin.x, origin.y, origin.x + 164, origin.y + height};
    const ScreenImage image = SettledCapture(band);
    if (image.rgb.empty() || image.height != height)
        return ::testing::AssertionFailure() << "band not captured";
    const uint8_t* corner = &image.rgb[0];
    const uint8_t* bottom = &image.rgb[static_cast<size_t>(height - 1) * image.width * 3];
    int flat = 0;
    for (int x = 0; x < image.width; ++x)
        flat += std::memcmp(bottom + 3 * x, corner, 3) == 0;
    if (flat * 2 > image.width)
        return ::testing::AssertionFailure() << "the band's bottom row (of " << height << ") is plain: " << flat
                                             << " of " << image.width << " pixels in the top-left colour";
    return ::testing::AssertionSuccess() << "band of " << height << " rows";
}

}  // namespace

// The wizard on a display at another scale (ORVIK_DISPLAY_DPI: LogPixels of
// the prefix, set before setup.exe starts): every page, the copy-method
// dialog and the cancel question photographed into a folder of the scale's
// own, and the watermark reaching the bottom of its band on both closing
// pages.
TEST(Wizard, EveryPageAtDisplayScale)
{
    char given[16] = "96";
    GetEnvironmentVariableA("ORVIK_DISPLAY_DPI", given, sizeof given);
    const int dpi = std::atoi(given);
    HKEY desktop = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop), ERROR_SUCCESS);
    const DWORD pixels = static_cast<DWORD>(dpi);
    ASSERT_EQ(RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&pixels),
                             sizeof pixels),
              ERROR_SUCCESS);
    RegCloseKey(desktop);
    const std::string folder = ScreensFolder() + "\\" + std::to_string(dpi) + "dpi";
    ASSERT_TRUE(SetEnvironmentVariableA("ORVIK_SCREENS", folder.c_str()));

    {
        SetupRun run("e2e_scale_install");
        ASSERT_TRUE(WalkToReady(run, kDefaultDirectory, false));
        ASSERT_EQ(PressInstall(run), nullptr);
        ExpectFinished(run);
        EXPECT_TRUE(PictureFillsItsBand(run));
        run.Shot("finished");
        ASSERT_TRUE(FinishAndExit(run));
    }

    // Again over a changed data file: the copy-method dialog, cancelled,
    // then the installation cancelled.
    const std::string data = kDefaultDirectory + "ORVIK.DAT";
    ASSERT_TRUE(WriteFileBytes(data, "changed by the user\r\n"));
    ASSERT_TRUE(SetLastWriteTime(data, MakeFileTime(2030, 1, 2)));
    SetupRun run("e2e_scale_cancel");
    ASSERT_TRUE(WalkToReady(run, "C:\\Program Files\\Velmar\\Orvik", false));
    HWND dialog = PressInstall(run);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(WindowText(dialog), wizard_texts::kCopyMethodTitle);
    run.Shot("copy_method", dialog);
    ASSERT_TRUE(SetupRun::Answer(dialog, IDCANCEL));
    ASSERT_TRUE(SetupRun::WaitForDialogGone(dialog));
    ASSERT_TRUE(run.WaitForPage(kReady));
    ExpectReady(run);
    AnswerCancel(run, IDYES);
    ASSERT_TRUE(run.WaitForPage(kAborted));
    ExpectAborted(run);
    EXPECT_TRUE(PictureFillsItsBand(run));
    run.Shot("aborted");
    EXPECT_TRUE(FinishAndExit(run));
}
