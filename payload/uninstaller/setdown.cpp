// setdown.exe: removes what INSTALL.LOG lists, the product's own
// registrations, then the log, itself and the installation directory.
//
//   setdown.exe "<dir>\setdown.exe" "<dir>\INSTALL.LOG" [/S]
//
// /S: no questions and no message boxes. Only what lies where the setup
// puts things, and the product's keys while they lead to this installation,
// are removed; other lines of the log are named and left alone. Exit codes:
// 0 everything of the installation removed (files of the user's own may
// keep their directory), 1 the user declined, 2 bad command line or log
// (nothing deleted), 3 unfinished: some items could not be removed, and the
// uninstall entry, App Paths, the log and the uninstaller stay so that the
// uninstall entry's command line can finish it later.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "registration/product_names.h"
#include "removal_plan.h"
#include "removal_win32.h"
#include "self_removal_win32.h"
#include "uninstall_log.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitDeclined = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitIncomplete = 3;

// Items listed by name in the final message; more are counted.
constexpr size_t kListedFailures = 15;

const char kCaption[] = "ブレンナビューア for Windows Ver6.0 のアンインストール";
const char kQuestion[] = "ブレンナビューア for Windows Ver6.0 をアンインストールしますか?";
const char kDoneText[] = "ブレンナビューア for Windows Ver6.0 をアンインストールしました。";

bool silent = false;

void Tell(const std::string& text, UINT icon)
{
    if (!silent)
        MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | icon);
}

std::string SystemText(DWORD error)
{
    char buffer[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, buffer,
                                  sizeof(buffer), nullptr);
    while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r' || buffer[length - 1] == ' '))
        --length;
    char code[32];
    std::snprintf(code, sizeof(code), "エラー %lu", error);
    return length ? std::string(buffer, length) + " (" + code + ")" : std::string(code);
}

const char* ProblemText(LogProblem problem)
{
    switch (problem) {
    case LogProblem::TooLarge:
        return "ファイルが大きすぎます。";
    case LogProblem::NulByte:
        return "テキストではない行があります。";
    case LogProblem::UnknownSection:
        return "不明なセクションです。";
    case LogProblem::EntryBeforeSection:
        return "セクションの前に項目があります。";
    case LogProblem::NotAbsolutePath:
        return "完全なパスではありません。";
    case LogProblem::UnknownRootKey:
        return "HKEY_LOCAL_MACHINE、HKEY_CLASSES_ROOT、HKEY_CURRENT_USER 以外のキーです。";
    case LogProblem::RootKey:
        return "ルート キーは削除できません。";
    case LogProblem::MalformedKey:
        return "キーの名前が正しくありません。";
    case LogProblem::None:
        break;
    }
    return "";
}

bool ReadWholeFile(const std::string& path, std::string* bytes, DWORD* error)
{
    SetLastError(0);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= static_cast<LONGLONG>(kMaxLogSize);
    if (ok) {
        bytes->resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes->empty() ||
             (ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &read, nullptr) && read == bytes->size());
    }
    *error = ok ? ERROR_SUCCESS : (GetLastError() ? GetLastError() : ERROR_FILE_TOO_LARGE);
    CloseHandle(file);
    return ok;
}

std::string ModulePath()
{
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    if (length == 0 || length >= sizeof(buffer))
        return std::string();
    return std::string(buffer, length);
}

// The directory of the log; a drive or share root keeps its separator, so
// that it never reads as a current directory.
std::string InstallationDirectory(const std::string& logPath)
{
    std::string directory = ParentDirectory(logPath);
    std::string root;
    std::vector<std::string> parts;
    if (SplitPlainPath(directory + "\\", &root, &parts) && parts.empty())
        directory += "\\";
    return directory;
}

// Lines of the final message; more than fit are counted.
std::string ListItems(const std::vector<std::string>& items)
{
    std::string text;
    for (size_t i = 0; i < items.size() && i < kListedFailures; ++i)
        text += "\n" + items[i];
    if (items.size() > kListedFailures) {
        char more[64];
        std::snprintf(more, sizeof(more), "\nほか %u 項目", static_cast<unsigned>(items.size() - kListedFailures));
        text += more;
    }
    return text;
}

// Whether the installation directory (never a root) holds anything but
// the uninstaller once the log has gone.
bool HoldsOtherFiles(const std::string& directory, const std::string& self)
{
    std::string root;
    std::vector<std::string> parts;
    if (!SplitPlainPath(directory, &root, &parts) || parts.empty())
        return false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool other = false;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != ".." && !EqualsIgnoreCase(directory + "\\" + name, self))
            other = true;
    } while (!other && FindNextFileA(find, &data));
    FindClose(find);
    return other;
}

int Uninstall(const std::string& logPath)
{
    if (!silent && MessageBoxA(nullptr, kQuestion, kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return kExitDeclined;

    // Everything is read and checked before the first deletion.
    std::string bytes;
    DWORD error = ERROR_SUCCESS;
    if (!ReadWholeFile(logPath, &bytes, &error)) {
        Tell("インストール ログ \"" + logPath + "\" を読み込めませんでした。\n" + SystemText(error) +
                 "\n\n何も削除していません。",
             MB_ICONERROR);
        return kExitBadInput;
    }
    InstallLogContents contents;
    LogError problem;
    if (!ParseInstallLog(bytes, &contents, &problem)) {
        char where[64];
        std::snprintf(where, sizeof(where), "%d 行目: ", problem.line);
        Tell("インストール ログ \"" + logPath + "\" が正しくありません。\n" + (problem.line ? where : "") +
                 ProblemText(problem.problem) + (problem.text.empty() ? "" : "\n" + problem.text) +
                 "\n\n何も削除していません。",
             MB_ICONERROR);
        return kExitBadInput;
    }
    std::string directory = InstallationDirectory(logPath);
    std::string self = ModulePath();
    RemovalPlan plan = PlanRemoval(contents, FindInstallationPlaces(directory), RealSystem(),
                                   {logPath, self, directory});
    RemovalOutcome outcome = ExecuteRemoval(plan);

    std::string notes;
    if (!plan.notOurs.empty())
        notes += "\n\n次の項目はこのインストールで作られたものではないため、削除していません。\n" + ListItems(plan.notOurs);
    if (!outcome.failures.empty()) {
        std::vector<std::string> items;
        for (const RemovalFailure& failure : outcome.failures)
            items.push_back(failure.item + "\n    " + SystemText(failure.error));
        Tell("次の項目を削除できませんでした。使っているプログラムを終了してから、もう一度アンインストールしてください。\n" +
                 ListItems(items) +
                 "\n\nアンインストールを後で終えられるように、アンインストール情報、" + logPath + " と " + self +
                 " を残しました。" + notes,
             MB_ICONWARNING);
        return kExitIncomplete;
    }

    SetLastError(0);
    if (!DeleteFileA(logPath.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        Tell("インストール ログ \"" + logPath + "\" を削除できませんでした。\n" + SystemText(GetLastError()),
             MB_ICONWARNING);
        return kExitIncomplete;
    }
    std::vector<std::string> kept = outcome.keptDirs;
    if (HoldsOtherFiles(directory, self))
        kept.push_back(directory);
    if (!kept.empty())
        notes += "\n\n次のフォルダーには、インストールで作られたものではないファイルがあるため、フォルダーを残しました。\n" +
                 ListItems(kept);
    if (self.empty() || !StartSelfRemoval(self, directory))
        notes += "\n\n" + self + " は削除できませんでした。手動で削除してください。";
    Tell(kDoneText + notes, MB_ICONINFORMATION);
    return kExitDone;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::vector<std::string> args = SplitCommandLine(GetCommandLineA());
    if (!args.empty())
        args.erase(args.begin());
    if (!args.empty() && EqualsIgnoreCase(args[0], kSelfRemovalOption))
        return RunSelfRemoval(std::vector<std::string>(args.begin() + 1, args.end()));

    std::string logPath;
    bool extra = false;
    for (const std::string& arg : args) {
        if (EqualsIgnoreCase(arg, "/S"))
            silent = true;
        else if (logPath.empty())
            logPath = arg;
        else
            extra = true;
    }
    if (logPath.empty() || extra || !IsAbsoluteFilePath(logPath.c_str())) {
        Tell("使い方: setdown.exe \"INSTALL.LOG の完全なパス\" [/S]", MB_ICONERROR);
        return kExitBadInput;
    }
    return Uninstall(logPath);
}
