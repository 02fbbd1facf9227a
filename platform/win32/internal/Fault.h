// Lets a test make a stand-in call fail: TARVIK_WIN32_FAIL holds a comma-separated list of
// function names (for instance "OpenProcessToken,GetExitCodeProcess"); a listed call fails
// with ERROR_ACCESS_DENIED.
#pragma once

namespace win32 {

// True (and the last error set) when the test asked this call to fail.
bool InjectedFailure(const char* function);

}  // namespace win32
