// A module with a PE header of the build's architecture and nothing else: the
// installer's tests register it in place of the server.
#include <windows.h>

extern "C" __declspec(dllexport) int setupTestModuleMarker()
{
    return 1;
}
