#include "extraction/copy_method_dialog.h"

#include "ground/path.h"
#include "ground/result.h"
#include "window/center_window.h"
#include "window/window_object.h"

namespace {

// Local of one AskCopyMethod call; the caller's variables change only on OK.
class CopyMethodDialog : public DialogWindow
{
public:
    CopyMethodDialog(CopyMode copyMode, bool doNotAsk, const char* memberPath, const WIN32_FIND_DATAA* member,
                     const WIN32_FIND_DATAA* existing)
        : m_copyMode(copyMode), m_doNotAsk(doNotAsk), m_memberPath(memberPath), m_member(member),
          m_existing(existing)
    {
    }

    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    CopyMode ChosenMode() const { return m_copyMode; }
    bool ChosenDoNotAsk() const { return m_doNotAsk; }

private:
    void OnInitDialog(HWND window);
    void OnOk(HWND window);

    CopyMode m_copyMode;
    bool m_doNotAsk;
    const char* m_memberPath;
    const WIN32_FIND_DATAA* m_member;
    const WIN32_FIND_DATAA* m_existing;
};

void SetSizeText(HWND window, int id, DWORD size)
{
    char text[PATH_BUFFER_SIZE];
    FormatBounded(text, sizeof text, "%lu バイト", static_cast<unsigned long>(size));
    SetDlgItemTextA(window, id, text);
}

void SetTimeText(HWND window, int id, const FILETIME& time)
{
    char text[PATH_BUFFER_SIZE];
    FormatFileTime(&time, text);
    SetDlgItemTextA(window, id, text);
}

void CopyMethodDialog::OnInitDialog(HWND window)
{
    SetDlgItemTextA(window, kCopyMemberPath, m_memberPath);
    SetSizeText(window, kCopyExistingSize, m_existing->nFileSizeLow);
    SetTimeText(window, kCopyExistingTime, m_existing->ftLastWriteTime);
    SetSizeText(window, kCopyMemberSize, m_member->nFileSizeLow);
    SetTimeText(window, kCopyMemberTime, m_member->ftLastWriteTime);

    switch (m_copyMode) {
    case CopyMode::Skip:
        CheckDlgButton(window, kCopySkip, BST_CHECKED);
        break;
    case CopyMode::ReplaceUnlessNewer:
        CheckDlgButton(window, kCopyUnlessNewer, BST_CHECKED);
        break;
    case CopyMode::Replace:
        CheckDlgButton(window, kCopyReplace, BST_CHECKED);
        break;
    default:
        break;  // no choice preselected
    }
    CheckDlgButton(window, kCopyForAll, m_doNotAsk ? BST_CHECKED : BST_UNCHECKED);
    CenterOnOwner(window, GetParent(window));
}

void CopyMethodDialog::OnOk(HWND window)
{
    EndDialog(window, IDOK);
    if (IsDlgButtonChecked(window, kCopySkip) == BST_CHECKED) {
        m_copyMode = CopyMode::Skip;
    } else if (IsDlgButtonChecked(window, kCopyUnlessNewer) == BST_CHECKED) {
        m_copyMode = CopyMode::ReplaceUnlessNewer;
    } else if (IsDlgButtonChecked(window, kCopyReplace) == BST_CHECKED) {
        m_copyMode = CopyMode::Replace;
    }
    m_doNotAsk = IsDlgButtonChecked(window, kCopyForAll) == BST_CHECKED;
}

bool CopyMethodDialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        result = TRUE;  // the system sets the focus
        return true;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOk(window);
            result = 0;
            return true;
        case IDCANCEL:  // also Esc and the caption's Close
            EndDialog(window, IDCANCEL);
            result = 0;
            return true;
        default:
            return false;
        }
    default:
        return false;
    }
}

}  // namespace

INT_PTR AskCopyMethod(HWND owner, const char* memberPath, const WIN32_FIND_DATAA* member,
                      const WIN32_FIND_DATAA* existing, CopyMode* copyMode, bool* doNotAsk)
{
    CopyMethodDialog dialog(*copyMode, *doNotAsk, memberPath, member, existing);
    const INT_PTR answer = dialog.RunModalDialog(owner, kCopyMethodTemplate);
    if (answer == IDOK) {
        *copyMode = dialog.ChosenMode();
        *doNotAsk = dialog.ChosenDoNotAsk();
    }
    return answer;
}

void FormatFileTime(const FILETIME* time, char* text)
{
    text[0] = '\0';
    FILETIME local;
    SYSTEMTIME broken;
    if (!FileTimeToLocalFileTime(time, &local) || !FileTimeToSystemTime(&local, &broken)) {
        return;
    }
    char part[64];
    if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &broken, nullptr, part, sizeof part) > 0) {
        AppendBounded(text, PATH_BUFFER_SIZE, part);
    }
    AppendBounded(text, PATH_BUFFER_SIZE, " ");
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &broken, nullptr, part, sizeof part) > 0) {
        AppendBounded(text, PATH_BUFFER_SIZE, part);
    }
}
