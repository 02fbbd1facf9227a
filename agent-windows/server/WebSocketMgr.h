// The agent's one connection to the management server. For now: the connection target and the
// model-package URL made from the server settings.
#pragma once

#include <mutex>
#include <string>

#include "agent-windows/Singleton.h"

class WebSocketMgr : public Singleton<WebSocketMgr> {
 public:
  WebSocketMgr() = default;

  // Called once at start, before the service runs. "https" (exactly) means TLS, with the
  // folder (default "/tarvik") before "/ws"; any other protocol requests "/ws".
  void SetNetworkInfo(const std::string& host, const std::string& port, const std::string& protocol,
                      const std::string& folder);

  void SetPackageUrl(const std::string& url);
  std::string GetPackageUrl();

  const std::string& GetHost() const { return m_host; }
  const std::string& GetPort() const { return m_port; }
  // The request path of the WebSocket upgrade.
  const std::string& GetTarget() const { return m_target; }
  bool IsTls() const { return m_bTls; }

 private:
  std::string m_host;
  std::string m_port;
  std::string m_target;
  std::mutex m_packageUrlMutex;
  std::string m_packageUrl;
  bool m_bTls = false;
};
