#include <filesystem>

#include "agent-macos/log/Log.h"
#include "agent-macos/service/TarvikService.h"
#include "agent-macos/settings/MobileConfig.h"
#include "agent-macos/settings/Preferences.h"
#include "agent-macos/settings/SettingValues.h"
#include "platform/macos/ProcessArguments.h"

namespace {

// Where "UpdateServerIp" connects when the user defaults name no server.
constexpr const char* kDefaultServer = "192.168.1.100";

std::string programPath() {
  char** arguments = *_NSGetArgv();
  return arguments != nullptr && arguments[0] != nullptr ? arguments[0] : "";
}

std::string currentDirectory() {
  std::error_code error;
  return std::filesystem::current_path(error).string();
}

// As the platform writes a list of texts: ["a", "b"].
std::string listText(const std::vector<std::string>& texts) {
  std::string list = "[";
  bool first = true;
  for (const std::string& text : texts) {
    list += (first ? "\"" : ", \"") + text + "\"";
    first = false;
  }
  return list + "]";
}

}  // namespace

void TarvikService::loadConfig() {
  if (loadMobileConfig()) return;
  std::optional<std::string> server = managedText(keyServer);
  if (!server) return;
  Utils::logInfo("MDM 配置的服务器地址: " + *server);
  if (std::optional<std::string> level = managedText(keyLog)) Utils::setLogLevel(logLevelFromText(*level));
  {
    std::lock_guard lock(settingsLock);
    if (!Host.empty() && Host == *server && webSocketStatus == TarvikWebSocketServerStatus::connected) return;
  }
  applyManagedPreferences(*server);
}

void TarvikService::applyManagedPreferences(const std::string& server) {
  webSocketStatus = TarvikWebSocketServerStatus::reconnect;
  const std::optional<std::string> port = managedText(keyPort);
  const std::optional<std::string> protocol = managedText(keyProtocol);
  const std::optional<std::string> folder = managedText(keyFolder);
  std::lock_guard lock(settingsLock);
  Host = server;
  Port = parsePort(port.value_or("")).value_or(443);
  isSSL = !protocol || lowercased(*protocol) == "https";
  Folder = folder.value_or("tarvik");
}

bool TarvikService::loadMobileConfig() {
  const std::vector<std::string> candidates = mobileConfigCandidates(programPath(), currentDirectory());
  const std::optional<LoadedProfile> profile =
      readMobileConfig(candidates, {keyServer, keyPort, keyProtocol, keyFolder, keyLog});
  if (profile) Utils::logInfo("Loaded mobileconfig from: " + profile->path);
  if (!profile || !profile->firstPayload) {
    Utils::logInfo("TarvikConfig.mobileconfig not found in expected paths: " + listText(candidates));
    return false;
  }
  const ProfilePayload& payload = *profile->firstPayload;
  if (!payload.empty) {
    if (std::optional<std::string> level = payload.text(keyLog)) Utils::setLogLevel(logLevelFromText(*level));
  }
  const std::optional<std::string> server = payload.text(keyServer);
  {
    std::lock_guard lock(settingsLock);
    if (!Host.empty() && !payload.empty && server == Host && webSocketStatus == TarvikWebSocketServerStatus::connected)
      return true;
  }
  applyMobileConfig(payload);
  return true;
}

// A profile leaves every key it does not carry as it was.
void TarvikService::applyMobileConfig(const ProfilePayload& payload) {
  const std::optional<std::string> server = payload.text(keyServer);
  Utils::logInfo("MDM 配置的服务器地址: " + server.value_or("unknown"));
  webSocketStatus = TarvikWebSocketServerStatus::reconnect;
  std::lock_guard lock(settingsLock);
  if (server) Host = *server;
  if (std::optional<std::int64_t> port = parsePort(payload.text(keyPort).value_or(""))) Port = *port;
  if (std::optional<std::string> protocol = payload.text(keyProtocol)) isSSL = lowercased(*protocol) == "https";
  if (std::optional<std::string> folder = payload.text(keyFolder)) Folder = *folder;
}

void TarvikService::handleUpdateServerIp() {
  const std::string server = userDefaultsText(keyServer).value_or(kDefaultServer);
  const std::string port = userDefaultsText(keyPort).value_or("443");
  const std::optional<std::string> protocol = userDefaultsText(keyProtocol);
  const std::string folder = userDefaultsText(keyFolder).value_or("tarvik");
  {
    std::lock_guard lock(settingsLock);
    Host = server;
    if (std::optional<std::int64_t> parsed = parsePort(port)) Port = *parsed;
    isSSL = !protocol || lowercased(*protocol) != "http";
    Folder = folder;
  }
  disconnectWebSocket();
}
