// Run in a prefix of wine-run's making: is it the prefix wine-run promises
// (ANSI code page 932, no drive Z:, the build tree as T:)? Exit 0 if so.
#include <windows.h>

#include <cstdio>

int main() {
    int faults = 0;
    if (GetACP() != 932) {
        std::printf("ANSI code page %u, not 932\n", GetACP());
        ++faults;
    }
    if (GetDriveTypeA("Z:\\") != DRIVE_NO_ROOT_DIR) {
        std::puts("drive Z: reaches the host");
        ++faults;
    }
    if (GetFileAttributesA("T:\\prefix_check.exe") == INVALID_FILE_ATTRIBUTES) {
        std::puts("T:\\prefix_check.exe is not there");
        ++faults;
    }
    return faults;
}
