#include <algorithm>
#include <string>
#include <vector>

#include "foundation/log/Log.h"
#include "moncontrol/ddcci/vendor/ChildDevInfo.h"
#include "platform/win32/Win32.h"

namespace {

// The field's text up to its first NUL, or all of it when it has none.
template <std::size_t N>
std::wstring FieldText(const char (&field)[N]) {
  const auto length = static_cast<int>(std::find(field, field + N, '\0') - field);
  if (length == 0) return {};
  const int wideLength = MultiByteToWideChar(CP_THREAD_ACP, 0, field, length, nullptr, 0);
  if (wideLength <= 0) return {};
  std::vector<wchar_t> wide(static_cast<std::size_t>(wideLength));
  const int written = MultiByteToWideChar(CP_THREAD_ACP, 0, field, length, wide.data(), wideLength);
  return written > 0 ? std::wstring(wide.data(), static_cast<std::size_t>(written)) : std::wstring();
}

}  // namespace

void LogChildDevInfo(const tagCHILDDEVINFO* info) {
  if (info == nullptr) return;
  LogInfo(L"childDevInfo: type: 0x%x, ispID: 0x%x, fwID: %s, fwVer: %s, sn: %s, ultraData: %s",
          static_cast<unsigned>(info->type), static_cast<unsigned>(info->ispID), FieldText(info->fwID).c_str(),
          FieldText(info->fwVer).c_str(), FieldText(info->sn).c_str(), FieldText(info->ultraData).c_str());
}
