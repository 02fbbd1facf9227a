// The one header through which product code reaches the Windows API.
// On Windows it is the real SDK; here it is the stand-in layer of this folder,
// which declares exactly the calls the product makes.
#pragma once

#ifdef _WIN32
// The status codes come whole from ntstatus.h, not the few that windows.h defines.
#define WIN32_NO_STATUS
// Before windows.h, which would otherwise bring the old winsock.h that Asio cannot work with.
#include <winsock2.h>
#include <windows.h>
#undef WIN32_NO_STATUS
#include <ntstatus.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wtsapi32.h>
#include <evntprov.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
#include <winhttp.h>
#include <dbghelp.h>
#include <dbt.h>
#include <powrprof.h>
#else
#include "platform/win32/api/Types.h"
#include "platform/win32/api/Errors.h"
#include "platform/win32/api/Strings.h"
#include "platform/win32/api/Folders.h"
#include "platform/win32/api/Wait.h"
#include "platform/win32/api/Token.h"
#include "platform/win32/api/Session.h"
#include "platform/win32/api/Process.h"
#include "platform/win32/api/System.h"
#include "platform/win32/api/Files.h"
#include "platform/win32/api/Security.h"
#include "platform/win32/api/Mutex.h"
#include "platform/win32/api/Service.h"
#include "platform/win32/api/Profile.h"
#include "platform/win32/api/EventTrace.h"
#include "platform/win32/api/Resource.h"
#include "platform/win32/api/Thread.h"
#include "platform/win32/api/Memory.h"
#include "platform/win32/api/Crypt.h"
#include "platform/win32/api/WinTrust.h"
#include "platform/win32/api/WinHttp.h"
#include "platform/win32/api/Pipes.h"
#include "platform/win32/api/ThreadPool.h"
#include "platform/win32/api/Exceptions.h"
#include "platform/win32/api/DbgHelp.h"
#include "platform/win32/api/Window.h"
#endif

#include "platform/win32/NativePath.h"
