#include "registration/app_registration.h"

#include <windows.h>

#include "registration/drawing_server.h"
#include "registration/install_log.h"
#include "registration/product.h"
#include "registration/registry_writer.h"
#include "util/path.h"

namespace {

const char* const kAppPathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char* const kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char* const kUninstallEntry = "Orvik 6.0";
// The installation writes nothing there; the uninstaller is told to remove it.
const char* const kUserProductKey = "HKEY_CURRENT_USER\\Software\\Velmar\\Orvik";

}  // namespace

HRESULT RegisterAppPath(const char* destination, const char* executablePath, InstallLog* log)
{
    char key[PATH_BUFFER_SIZE];
    HRESULT result = JoinKeyPath(key, PATH_BUFFER_SIZE, kAppPathsKey, kExecutableName);
    if (result != S_OK) {
        return result;
    }
    result = WriteRegString(HKEY_LOCAL_MACHINE, key, "", executablePath, log);
    if (result != S_OK) {
        return result;
    }
    return WriteRegString(HKEY_LOCAL_MACHINE, key, "Path", destination, log);
}

HRESULT RegisterUninstall(const char* uninstallCommand, InstallLog* log)
{
    char key[PATH_BUFFER_SIZE];
    HRESULT result = JoinKeyPath(key, PATH_BUFFER_SIZE, kUninstallKey, kUninstallEntry);
    if (result != S_OK) {
        return result;
    }
    char displayName[PATH_BUFFER_SIZE];
    result = CopyBounded(displayName, sizeof displayName, kProductName);
    if (result == S_OK) result = AppendBounded(displayName, sizeof displayName, " Ver");
    if (result == S_OK) result = AppendBounded(displayName, sizeof displayName, kProductVersion);
    if (result != S_OK) {
        return result;
    }
    result = WriteRegString(HKEY_LOCAL_MACHINE, key, "DisplayName", displayName, log);
    if (result != S_OK) {
        return result;
    }
    return WriteRegString(HKEY_LOCAL_MACHINE, key, "UninstallString", uninstallCommand, log);
}

HRESULT RegisterApplication(const char* destination, unsigned char associate, InstallLog* log)
{
    char executablePath[PATH_BUFFER_SIZE];
    if (JoinPath(executablePath, destination, kExecutableName) != S_OK) {
        return E_FAIL;
    }
    HRESULT result = WriteRegString(HKEY_LOCAL_MACHINE, kProductKeyPath, "AppPath", executablePath, log);
    if (result != S_OK) {
        return result;
    }
    result = WriteRegString(HKEY_LOCAL_MACHINE, kProductKeyPath, "AppName", kProductName, log);
    if (result != S_OK) {
        return result;
    }

    char versionKey[PATH_BUFFER_SIZE];
    result = JoinKeyPath(versionKey, PATH_BUFFER_SIZE, kProductKeyPath, kProductVersion);
    if (result != S_OK) {
        return result;
    }
    result = WriteRegString(HKEY_LOCAL_MACHINE, versionKey, "AppPath", executablePath, log);
    if (result != S_OK) {
        return result;
    }
    result = WriteRegString(HKEY_LOCAL_MACHINE, versionKey, "AppName", kProductName, log);
    if (result != S_OK) {
        return result;
    }
    result = WriteRegString(HKEY_LOCAL_MACHINE, versionKey, "Path", destination, log);
    if (result != S_OK) {
        return result;
    }

    if (associate != 0) {
        result = RegisterDrawingServer(destination, kExecutableName, ",1", log);
        if (result != S_OK) {
            return result;
        }
    }
    return log != nullptr ? log->Add(LogEntryKind::RegKey, kUserProductKey) : S_OK;
}
