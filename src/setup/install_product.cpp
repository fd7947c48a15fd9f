#include "setup/install_product.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "archive/extract.h"
#include "cleanup/remove_earlier.h"
#include "registration/app_registration.h"
#include "registration/install_log.h"
#include "registration/product_names.h"
#include "registration/shortcuts.h"
#include "registration/folder_paths.h"
#include "util/path.h"

namespace {

constexpr int kUninstallerArchive = 215;
constexpr int kProductArchive = 216;

// "<uninstaller>" "<log>": the uninstall entry's command line.
HRESULT BuildUninstallCommand(char* command, size_t size, const char* uninstaller, const char* logPath)
{
    HRESULT result = CopyBounded(command, size, "\"");
    if (result == S_OK)
        result = AppendBounded(command, size, uninstaller);
    if (result == S_OK)
        result = AppendBounded(command, size, "\" \"");
    if (result == S_OK)
        result = AppendBounded(command, size, logPath);
    if (result == S_OK)
        result = AppendBounded(command, size, "\"");
    return result;
}

HRESULT VerifyPayload()
{
    HRESULT result = VerifyArchiveResource(kUninstallerArchive);
    if (result != S_OK)
        return result;
    return VerifyArchiveResource(kProductArchive);
}

// Everything that runs while the log is open: both archives, the shortcuts
// and the registry, stopping at the first failure.
HRESULT ExtractAndRegister(HWND owner, const char* destination, unsigned char associate,
                           const char* executablePath, const char* uninstallCommand, InstallLog* log)
{
    // 7. The uninstaller always replaces an older one and stays out of the
    // log: it deletes itself last.
    ExtractContext context;
    context.owner = owner;
    context.copyMode = CopyMode::Replace;
    context.doNotAsk = true;
    context.log = nullptr;
    HRESULT result = ExtractArchiveResource(&context, kUninstallerArchive, destination);
    if (result != S_OK)
        return result;

    // 8. The product: differing files are put to the user, and what is
    // written is logged.
    context.owner = owner;
    context.copyMode = CopyMode::ReplaceUnlessNewer;
    context.doNotAsk = false;
    context.log = log;
    result = ExtractArchiveResource(&context, kProductArchive, destination);
    if (result != S_OK)
        return result;

    // 9. Start-menu folder and shortcuts.
    result = CreateShortcuts(owner, destination, log);
    if (result != S_OK)
        return result;
    // 10. App Paths entry.
    result = RegisterAppPath(destination, executablePath, log);
    if (result != S_OK)
        return result;
    // 11. Uninstall entry.
    result = RegisterUninstall(uninstallCommand, log);
    if (result != S_OK)
        return result;
    // 12. The product's keys, the drawing class when chosen, the per-user
    // log line.
    return RegisterApplication(destination, associate, log);
}

}  // namespace

HRESULT InstallProduct(HWND owner, const char* destination, unsigned char associate)
{
    // A relative or malformed destination would install somewhere else and
    // register paths that name nothing; refused before anything changes.
    if (!IsFullDirectoryPath(destination))
        return E_INVALIDARG;

    // 1. Checked first so that a system without the folder service is left
    // exactly as it was.
    if (LoadFolderPathFunction() == nullptr)
        return E_FAIL;

    // A damaged payload must not cost the user a working earlier
    // installation: both archives are checked whole before anything changes.
    HRESULT result = VerifyPayload();
    if (result != S_OK)
        return result;

    // 2. Earlier installations.
    result = RemoveEarlierVersions(owner, kProductKeyPath);
    if (result != S_OK)
        return result;

    // 3. Paths.
    char executablePath[PATH_BUFFER_SIZE];
    char logPath[PATH_BUFFER_SIZE];
    char uninstallerPath[PATH_BUFFER_SIZE];
    if (JoinPath(executablePath, destination, kExecutableName) != S_OK ||
        JoinPath(logPath, destination, kLogFileName) != S_OK ||
        JoinPath(uninstallerPath, destination, kUninstallerFileName) != S_OK)
        return E_FAIL;

    // 4. Command line.
    char uninstallCommand[PATH_BUFFER_SIZE];
    result = BuildUninstallCommand(uninstallCommand, sizeof uninstallCommand, uninstallerPath, logPath);
    if (result != S_OK)
        return result;

    // 5. The destination and its parents exist before the log does, so they
    // are never listed in it.
    result = CreateParentDirectories(logPath, nullptr);
    if (result != S_OK)
        return result;

    // 6. Text mode: every line of the log ends with CR LF. "w" truncates the
    // log of an earlier attempt.
    errno = 0;
    _doserrno = 0;
    SetLastError(0);
    FILE* stream = std::fopen(logPath, "w");
    if (stream == nullptr) {
        unsigned long error = _doserrno != 0 ? _doserrno : GetLastError();
        return ResultFromWin32(static_cast<uint32_t>(error));
    }
    InstallLog log(stream);

    result = ExtractAndRegister(owner, destination, associate, executablePath, uninstallCommand, &log);

    // 13. Closed whatever happened, so the log lists what a failed
    // installation created as far as it went.
    if (std::fclose(stream) != 0 && result == S_OK)
        result = E_FAIL;
    return result;
}
