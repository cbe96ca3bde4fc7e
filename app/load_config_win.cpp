// The image's load configuration. Its one setting here is the flags the
// loader uses for the DLLs the program imports: from the system folder
// only. Without it, a DLL placed beside the program under the name of one it
// imports (a browser's download folder is the usual place) would be loaded
// into the elevated process before any of the program's code runs. The
// linker points the image's load-configuration entry at this symbol.
#include <windows.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// Reserved1 is the field newer headers call DependentLoadFlags.
extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used;
extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = {
    sizeof(IMAGE_LOAD_CONFIG_DIRECTORY64), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    LOAD_LIBRARY_SEARCH_SYSTEM32,          0, 0, 0, 0};
