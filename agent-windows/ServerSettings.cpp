#include "agent-windows/ServerSettings.h"

#include "agent-windows/Folders.h"
#include "foundation/text/TextConversion.h"
#include "platform/win32/Win32.h"

namespace {

constexpr DWORD kValueBufferLength = 512;

}  // namespace

std::wstring FindSettingsFile() {
  std::wstring common;
  if (!GetCommonAppDataFolder(&common)) return L"\\TarvikConfig.ini";
  return MakeFolderPath(common, {L"Quelmo", L"Tarvik Client"}) + L"\\TarvikConfig.ini";
}

std::string ReadServerSetting(const std::wstring& file, const wchar_t* key) {
  wchar_t value[kValueBufferLength] = {};
  GetPrivateProfileStringW(L"ServerSettings", key, L"", value, kValueBufferLength, file.c_str());
  return WStringToString(value);
}

ServerSettings ReadServerSettings(const std::wstring& file) {
  ServerSettings settings;
  settings.server = ReadServerSetting(file, L"Server");
  settings.port = ReadServerSetting(file, L"Port");
  settings.protocol = ReadServerSetting(file, L"Protocol");
  settings.folder = ReadServerSetting(file, L"Folder");
  settings.log = ReadServerSetting(file, L"Log");
  return settings;
}
