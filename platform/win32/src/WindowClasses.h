// The window classes registered in this process.
#pragma once

#include "platform/win32/api/Types.h"
#include "platform/win32/api/Window.h"

namespace win32 {

// The procedure of the class of that name, null when there is none.
WNDPROC ClassProcedure(LPCWSTR className);

}  // namespace win32
