#include "agent-windows/CaughtException.h"

#include <exception>

#include "foundation/log/Log.h"

void LogCaughtException(const wchar_t* where, const wchar_t* unknown) {
  try {
    throw;
  } catch (const std::exception& e) {
    LogError(L"%s Exception caught: ", where);
    LogError(L"%S", e.what());
  } catch (...) {
    LogError(L"%s Exception caught: %s", where, unknown);
  }
}
