#include "agent-windows/server/WebSocketMgr.h"

#include "foundation/log/Log.h"

void WebSocketMgr::SetNetworkInfo(const std::string& host, const std::string& port,
                                  const std::string& protocol, const std::string& folder) {
  std::string prefix = folder;
  std::string target = "/ws";
  if (protocol == "https") {
    m_bTls = true;
    if (prefix.empty()) prefix = "/tarvik";
    target = prefix + "/ws";
  }
  m_host = host;
  m_port = port;
  m_target = target;
  LogInfo(L"SetNetworkInfo host : %S ", m_host.c_str());
  LogInfo(L"SetNetworkInfo port : %S ", m_port.c_str());
  LogInfo(L"SetNetworkInfo url : %S ", m_target.c_str());
  SetPackageUrl(protocol + "://" + host + ":" + port + prefix +
                "/model/package/getModelPackageByModelName?filename=");
}

void WebSocketMgr::SetPackageUrl(const std::string& url) {
  std::lock_guard<std::mutex> lock(m_packageUrlMutex);
  m_packageUrl = url;
}

std::string WebSocketMgr::GetPackageUrl() {
  std::lock_guard<std::mutex> lock(m_packageUrlMutex);
  return m_packageUrl;
}
