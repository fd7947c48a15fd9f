#include "registration/app_registration.h"

#include <windows.h>

#include "ground/path.h"
#include "ground/product_names.h"
#include "installlog/install_log.h"
#include "registration/drawing_server.h"
#include "registration/registry_writer.h"

HRESULT RegisterAppPath(const char* destination, const char* executablePath, InstallLog* log)
{
    char key[PATH_BUFFER_SIZE];
    HRESULT result = JoinKeyPath(key, PATH_BUFFER_SIZE, kAppPathsKeyPath, kExecutableName);
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
    HRESULT result = JoinKeyPath(key, PATH_BUFFER_SIZE, kUninstallListKeyPath, kUninstallEntryName);
    if (result != S_OK) {
        return result;
    }
    result = WriteRegString(HKEY_LOCAL_MACHINE, key, "DisplayName", kMenuFolderName, log);
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
    return log != nullptr ? log->Add(LogEntryKind::RegKey, kUserProductLogLine) : S_OK;
}
