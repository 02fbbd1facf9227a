// The console user's local application data folder, seen from the service.
#pragma once

#include <string>

// False, after an error line, when there is no console user or its token cannot be used.
bool GetInteractiveUserAppDataPath(std::wstring& path);
