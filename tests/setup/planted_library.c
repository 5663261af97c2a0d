/* Stands for a DLL someone left in a downloads folder; loading it is what must not happen. */
#include <windows.h>

__declspec(dllexport) int Planted(void) { return 1; }
