/* An SHFolder.dll that loads but has no SHGetFolderPathA, found before the
   system's because it lies beside the program. */
#include <windows.h>

__declspec(dllexport) int OrvikTestPlaceholder(void)
{
    return 0;
}
