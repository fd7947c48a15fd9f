#include "installlog/registry_root.h"

HKEY RootHandle(RegRoot root)
{
    switch (root) {
    case RegRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case RegRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    }
    return nullptr;
}

bool LogRootOf(HKEY handle, RegRoot* root)
{
    static const RegRoot kRoots[] = {RegRoot::LocalMachine, RegRoot::ClassesRoot, RegRoot::CurrentUser};
    for (RegRoot r : kRoots) {
        if (RootHandle(r) == handle) {
            *root = r;
            return true;
        }
    }
    return false;
}
