// setdown.exe: removes what INSTALL.LOG lists, the product's own files and
// registrations, then the log, the uninstall entry, itself and the
// installation directory.
//
//   setdown.exe "<dir>\setdown.exe" "<dir>\INSTALL.LOG" [/S]
//
// /S: no questions and no message boxes. Only what lies where the setup
// puts things, and the product's keys while they lead to this installation,
// are removed; other lines of the log, and items behind a junction or
// symbolic link, are named and left alone. Exit codes: 0 everything of the
// installation removed (files of the user's own may keep their directory),
// 1 the user declined, 2 bad command line or log (nothing deleted), 3
// unfinished: some items could not be removed, and the uninstall entry, App
// Paths, the log and the uninstaller stay so that the uninstall entry's
// command line can finish it later, 4 finished but for the uninstaller,
// which goes at the next restart.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "ground/folder_paths.h"
#include "ground/process_hardening.h"
#include "ground/product_names.h"
#include "ground/whole_file.h"
#include "installlog/log_reader.h"
#include "removal_plan.h"
#include "removal_win32.h"
#include "self_removal_win32.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitDeclined = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitIncomplete = 3;
constexpr int kExitDoneAtRestart = 4;

// Items listed by name in the final message; more are counted.
constexpr size_t kListedItems = 15;

const char kCaption[] = "ブレンナビューア for Windows Ver6.0 のアンインストール";
const char kQuestion[] = "ブレンナビューア for Windows Ver6.0 をアンインストールしますか?";
const char kDoneText[] = "ブレンナビューア for Windows Ver6.0 をアンインストールしました。";

bool silent = false;

// The text of a message box, growing on the heap.
struct Message {
    char* text = nullptr;
    size_t length = 0;
    size_t capacity = 0;

    void Add(const char* part)
    {
        size_t n = std::strlen(part);
        // Room for the part and its terminator.
        if (!GrowArray(reinterpret_cast<void**>(&text), &capacity, length + n, 1))
            return;
        std::memcpy(text + length, part, n + 1);
        length += n;
    }
    void Add(const char* a, const char* b, const char* c = "")
    {
        Add(a);
        Add(b);
        Add(c);
    }
    ~Message() { std::free(text); }
};

void Tell(const Message& message, UINT icon)
{
    if (!silent)
        MessageBoxA(nullptr, message.text ? message.text : "", kCaption, MB_OK | icon);
}

void AddSystemText(Message* message, DWORD error)
{
    char buffer[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, buffer,
                                  sizeof(buffer), nullptr);
    while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r' || buffer[length - 1] == ' '))
        --length;
    buffer[length] = '\0';
    char code[32];
    wsprintfA(code, "エラー %lu", error);
    if (length)
        message->Add(buffer, " (", code);
    message->Add(length ? ")" : code);
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
    case LogProblem::TooLong:
        return "Windows では使えない長さの名前です。";
    case LogProblem::OutOfMemory:
        return "メモリが足りません。";
    case LogProblem::None:
        break;
    }
    return "";
}

// Writes the log back: the uninstall entry could not be removed after all.
void RestoreLog(const char* path, const char* bytes, size_t size)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
}

void AddList(Message* message, const TextList& items)
{
    for (size_t i = 0; i < items.count && i < kListedItems; ++i)
        message->Add("\n", items.items[i]);
    if (items.count > kListedItems) {
        char more[64];
        wsprintfA(more, "\nほか %u 項目", static_cast<unsigned>(items.count - kListedItems));
        message->Add(more);
    }
}

// Whether the installation directory (never a root) holds anything but
// the uninstaller once the log has gone.
bool HoldsOtherFiles(const char* directory, const char* self)
{
    bool rootOnly = true;
    char pattern[MAX_PATH];
    if (!IsPlainPath(directory, &rootOnly) || rootOnly || !JoinText(pattern, sizeof(pattern), directory, "\\*"))
        return false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool other = false;
    do {
        char path[MAX_PATH];
        if (std::strcmp(data.cFileName, ".") && std::strcmp(data.cFileName, "..") &&
            !(JoinText(path, sizeof(path), directory, "\\", data.cFileName) && EqualsIgnoreCase(path, self)))
            other = true;
    } while (!other && FindNextFileA(find, &data));
    FindClose(find);
    return other;
}

// The system's own folders are never the installation's to remove, even
// when the product was installed into one that is empty now.
bool IsSystemFolder(const char* directory)
{
    static const int kFolders[] = {0x02, 0x05, 0x10, 0x17, 0x19, 0x1a, 0x1c, 0x23,
                                   0x24, 0x25, 0x26, 0x28, 0x2a, 0x2b, 0x2e};
    PathForms dir, folder;
    RealPathForms(directory, &dir);
    char path[MAX_PATH];
    for (int id : kFolders) {
        if (GetFolderPath(nullptr, id, nullptr, 0, path) == S_OK && path[0]) {
            RealPathForms(path, &folder);
            if (SameItem(dir, folder))
                return true;
        }
    }
    for (int which = 0; which < 2; ++which) {
        UINT length = which ? GetSystemDirectoryA(path, sizeof(path)) : GetWindowsDirectoryA(path, sizeof(path));
        if (length && length < sizeof(path)) {
            RealPathForms(path, &folder);
            if (SameItem(dir, folder))
                return true;
        }
    }
    return false;
}

struct Run {
    char logPath[MAX_PATH];
    char directory[MAX_PATH];  // a root keeps its separator
    char self[MAX_PATH];       // this program
    char installed[MAX_PATH];  // the installation's uninstaller
    char* bytes = nullptr;
    size_t size = 0;
    InstallationPlaces places;
    InstallLogContents contents;
    RemovalPlan plan;
    RemovalOutcome outcome;

    ~Run()
    {
        FreeLogContents(&contents);
        FreePlan(&plan);
        FreeOutcome(&outcome);
        std::free(bytes);
    }
};

int Uninstall(Run* run)
{
    if (!silent && MessageBoxA(nullptr, kQuestion, kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return kExitDeclined;

    // Everything is read and checked before the first deletion.
    Message message;
    WholeFile log;
    DWORD error = ReadWholeFile(run->logPath, kMaxLogSize, &log);
    run->bytes = log.bytes;
    run->size = log.size;
    // The log goes just before App Paths and the uninstall entry: a run
    // stopped dead in between leaves those, this program and no log. Then
    // there is nothing to read, and the finish is planned from an empty log;
    // should more of the installation be found, nothing is done after all.
    const bool logMissing = !run->bytes && error == ERROR_FILE_NOT_FOUND;
    if (logMissing) {
        run->bytes = static_cast<char*>(std::malloc(1));
        run->size = 0;
    }
    if (!run->bytes) {
        message.Add("インストール ログ \"", run->logPath, "\" を読み込めませんでした。\n");
        AddSystemText(&message, error);
        message.Add("\n\n何も削除していません。");
        Tell(message, MB_ICONERROR);
        return kExitBadInput;
    }
    char* parsed = static_cast<char*>(std::malloc(run->size + 1));
    if (parsed)
        std::memcpy(parsed, run->bytes, run->size);
    LogError problem;
    if (!parsed || !ParseInstallLog(parsed, run->size, &run->contents, &problem)) {
        message.Add("インストール ログ \"", run->logPath, "\" が正しくありません。\n");
        if (problem.line) {
            char where[32];
            wsprintfA(where, "%d 行目: ", problem.line);
            message.Add(where);
        }
        message.Add(parsed ? ProblemText(problem.problem) : ProblemText(LogProblem::OutOfMemory));
        if (parsed && problem.text && problem.text[0])
            message.Add("\n", problem.text);
        message.Add("\n\n何も削除していません。");
        Tell(message, MB_ICONERROR);
        std::free(parsed);
        return kExitBadInput;
    }

    // The log, the installation's uninstaller, this program and the
    // directory go last, whatever the log says of them.
    FindInstallationPlaces(run->directory, &run->places);
    bool rootDir = false;
    IsPlainPath(run->directory, &rootDir);
    JoinText(run->installed, sizeof(run->installed), run->directory, rootDir ? "" : "\\", kUninstallerFileName);
    const char* kept[] = {run->logPath, run->self, run->installed, run->directory};
    SystemView view = RealSystem();
    if (!PlanRemoval(run->contents, run->places, view, kept, 4, &run->plan)) {
        message.Add(ProblemText(LogProblem::OutOfMemory), "\n\n何も削除していません。");
        Tell(message, MB_ICONERROR);
        std::free(parsed);
        return kExitBadInput;
    }
    if (logMissing && (run->plan.files.count || run->plan.dirs.count || run->plan.keys.count)) {
        message.Add("インストール ログ \"", run->logPath, "\" を読み込めませんでした。\n");
        AddSystemText(&message, ERROR_FILE_NOT_FOUND);
        message.Add("\n\n何も削除していません。");
        Tell(message, MB_ICONERROR);
        std::free(parsed);
        return kExitBadInput;
    }
    RemovalOutcome& outcome = run->outcome;
    ExecuteRemoval(run->plan, run->places, &outcome);

    // Run from elsewhere, this program is not the installation's: that one
    // goes like any other file.
    PathForms selfForms, installedForms;
    RealPathForms(run->self, &selfForms);
    RealPathForms(run->installed, &installedForms);
    bool selfInstalled = SameFile(run->self, run->installed) || SameItem(selfForms, installedForms);
    if (!selfInstalled) {
        if (LinkOnTheWay(run->installed, run->places))
            AppendText(&outcome.links, run->installed);
        else if (!Gone(error = DeleteListedFile(run->installed)))
            AddFailure(&outcome, run->installed, error);
    }

    // Last, and only when all else has gone: the log, then App Paths and
    // the uninstall entry. Should one of those two stay after all, the log
    // is written back, so that the entry's command can finish later.
    const KeyList& finishing = run->plan.finishing;
    const RegKeyName* entry = nullptr;
    for (size_t i = 0; i < finishing.count; ++i) {
        if (EqualsIgnoreCase(finishing.items[i].path, kUninstallKeyPath))
            entry = &finishing.items[i];
    }
    HKEY entryKey;
    if (!outcome.failureCount && entry) {
        // Checked before the log goes: without the right to delete the
        // entry, nothing more is done.
        LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, KEY_READ | DELETE, &entryKey);
        if (status == ERROR_SUCCESS)
            RegCloseKey(entryKey);
        else
            AddFailure(&outcome, kUninstallKeyPath, static_cast<DWORD>(status));
    }
    bool keepDirectory = rootDir || IsSystemFolder(run->directory);
    bool childStarted = false;
    // The copy leaves the uninstaller alone while the log is there.
    if (!outcome.failureCount && selfInstalled)
        childStarted = StartSelfRemoval(run->self, run->logPath, keepDirectory ? "" : run->directory, silent);
    if (!outcome.failureCount) {
        // Behind a link the log is not the installation's either; the copy
        // then leaves the uninstaller there too.
        if (LinkOnTheWay(run->logPath, run->places))
            AppendText(&outcome.links, run->logPath);
        else if (!Gone(error = DeleteListedFile(run->logPath)))
            AddFailure(&outcome, run->logPath, error);
    }
    for (size_t i = 0; i < finishing.count && !outcome.failureCount; ++i) {
        const RegKeyName& key = finishing.items[i];
        if (&key != entry && !Gone(error = RemoveOwnKey(key)))
            AddFailure(&outcome, key.path, error);
    }
    if (!outcome.failureCount && entry && !Gone(error = RemoveOwnKey(*entry)))
        AddFailure(&outcome, kUninstallKeyPath, error);
    if (outcome.failureCount && GetFileAttributesA(run->logPath) == INVALID_FILE_ATTRIBUTES)
        RestoreLog(run->logPath, run->bytes, run->size);

    if (run->plan.notOurs.count) {
        message.Add("\n\n次の項目はこのインストールで作られたものではないため、削除していません。\n");
        AddList(&message, run->plan.notOurs);
    }
    if (outcome.links.count) {
        message.Add("\n\n次の項目はリンクの先にあるため、削除していません。\n");
        AddList(&message, outcome.links);
    }
    if (outcome.failureCount) {
        Message report;
        report.Add("次の項目を削除できませんでした。使っているプログラムを終了してから、もう一度アンインストールしてください。\n");
        for (size_t i = 0; i < outcome.failureCount && i < kListedItems; ++i) {
            report.Add("\n", outcome.failures[i].item, "\n    ");
            AddSystemText(&report, outcome.failures[i].error);
        }
        if (outcome.failureCount > kListedItems) {
            char more[64];
            wsprintfA(more, "\nほか %u 項目", static_cast<unsigned>(outcome.failureCount - kListedItems));
            report.Add(more);
        }
        report.Add("\n\nアンインストールを後で終えられるように、アンインストール情報、", run->logPath, " と ");
        report.Add(run->installed, " を残しました。", message.text ? message.text : "");
        Tell(report, MB_ICONWARNING);
        std::free(parsed);
        return kExitIncomplete;
    }

    int code = kExitDone;
    bool logGone = GetFileAttributesA(run->logPath) == INVALID_FILE_ATTRIBUTES;
    if (selfInstalled && !childStarted && logGone) {
        if (RemoveAtRestart(run->self)) {
            if (!keepDirectory)
                RemoveAtRestart(run->directory);
            message.Add("\n\n次の項目は次回の再起動時に削除されます。\n", run->self);
            code = kExitDoneAtRestart;
        } else {
            message.Add("\n\n", run->self, " は削除できませんでした。手動で削除してください。");
            code = kExitIncomplete;
        }
    } else if (!selfInstalled && !keepDirectory) {
        RemoveDirectoryA(run->directory);
    }
    if (HoldsOtherFiles(run->directory, run->installed))
        AppendText(&outcome.keptDirs, run->directory);
    if (outcome.keptDirs.count) {
        message.Add("\n\n次のフォルダーには、インストールで作られたものではないファイルがあるため、フォルダーを残しました。\n");
        AddList(&message, outcome.keptDirs);
    }
    Message done;
    done.Add(kDoneText, message.text ? message.text : "");
    Tell(done, MB_ICONINFORMATION);
    std::free(parsed);
    return code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HardenProcess();
    char buffer[4096];
    const char* args[8];
    int count = SplitCommandLine(GetCommandLineA(), buffer, sizeof(buffer), args, 8);
    if (count >= 2 && EqualsIgnoreCase(args[1], kSelfRemovalOption))
        return RunSelfRemoval(args + 2, count - 2);

    Run run;
    const char* logPath = nullptr;
    bool extra = count < 0;
    for (int i = 1; i < count; ++i) {
        if (EqualsIgnoreCase(args[i], "/S"))
            silent = true;
        else if (!logPath)
            logPath = args[i];
        else
            extra = true;
    }
    DWORD length = GetModuleFileNameA(nullptr, run.self, sizeof(run.self));
    bool ok = logPath && !extra && IsAbsoluteFilePath(logPath) && length && length < sizeof(run.self) &&
              JoinText(run.logPath, sizeof(run.logPath), logPath) &&
              ParentDirectory(run.logPath, run.directory, sizeof(run.directory));
    if (ok) {
        // A drive or share root keeps its separator, so that it never reads
        // as a current directory.
        char withSeparator[MAX_PATH];
        bool rootOnly = false;
        if (JoinText(withSeparator, sizeof(withSeparator), run.directory, "\\") &&
            IsPlainPath(withSeparator, &rootOnly) && rootOnly)
            JoinText(run.directory, sizeof(run.directory), withSeparator);
    }
    if (!ok) {
        Message usage;
        usage.Add("使い方: setdown.exe \"INSTALL.LOG の完全なパス\" [/S]");
        Tell(usage, MB_ICONERROR);
        return kExitBadInput;
    }
    return Uninstall(&run);
}
