// The maker's setup program beside the agent, which takes the rest of the product off.
#pragma once

// Starts "Pennorak.exe /uninstall" from the agent's folder, shown; does not wait for it.
void RunModuleUninstaller();
