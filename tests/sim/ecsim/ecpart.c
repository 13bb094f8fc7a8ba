/* A DLL that the controller library ecsim_part.dll imports from its own folder. */
#include <windows.h>

/* No flag of its own: the library's answer stays as ecsim.dll gives it. */
__declspec(dllexport) DWORD __cdecl EcPartFlags(void) { return 0; }
