// The agent's settings file, "TarvikConfig.ini", section "ServerSettings". Read once at start.
#pragma once

#include <string>

// UTF-8 values; a missing key reads as empty.
struct ServerSettings {
  std::string server;
  std::string port;
  std::string protocol;
  std::string folder;
  std::string log;
};

// C:\ProgramData\Quelmo\Tarvik Client\TarvikConfig.ini, making the two folders when missing;
// "\TarvikConfig.ini" when the common application data folder cannot be found.
std::wstring FindSettingsFile();
// The key's value, trimmed and cut to 511 characters.
std::string ReadServerSetting(const std::wstring& file, const wchar_t* key);
ServerSettings ReadServerSettings(const std::wstring& file);
