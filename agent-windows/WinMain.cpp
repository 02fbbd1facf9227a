#include "agent-windows/AgentMain.h"
#include "platform/win32/Win32.h"

// The arguments are not used: the mode comes from the whole command line.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return RunAgent(GetCommandLineW()); }
