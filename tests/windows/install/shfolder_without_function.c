/* An SHFolder.dll that loads but has no SHGetFolderPathA; the test puts it
   in the place of the system's. */
#include <windows.h>

__declspec(dllexport) int OrvikTestPlaceholder(void)
{
    return 0;
}
