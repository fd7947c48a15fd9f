/* A library left where a program might look for it by name. It leaves a
   mark under C:\planted named after the file it was loaded from, and has
   none of the functions of the library it stands in for. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    char path[MAX_PATH], mark[MAX_PATH + 16];
    const char* name;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH || !GetModuleFileNameA(instance, path, sizeof path))
        return TRUE;
    name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\')
            name = p + 1;
    CreateDirectoryA("C:\\planted", NULL);
    wsprintfA(mark, "C:\\planted\\%s", name);
    CloseHandle(CreateFileA(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    return TRUE;
}
