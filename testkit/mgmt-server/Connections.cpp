#include "testkit/mgmt-server/Connections.h"

#include "testkit/mgmt-server/Recorder.h"

namespace testkit::mgmt {

void Connections::Add(const std::shared_ptr<Connection>& connection) {
  if (m_ending) {
    connection->Abort();
    return;
  }
  m_pending[connection.get()] = connection;
}

void Connections::Remove(Connection* connection) { m_pending.erase(connection); }

std::optional<std::size_t> Connections::Opened(const std::shared_ptr<WebSocketConnection>& connection,
                                               MgmtUpgrade upgrade) {
  m_pending.erase(connection.get());
  if (m_ending) {
    connection->Abort();
    return std::nullopt;
  }
  auto sn = upgrade.headers.find("sn");
  m_open[connection.get()] = {connection, sn == upgrade.headers.end() ? std::string() : sn->second};
  return m_recorder.AddAcceptedUpgrade(std::move(upgrade));
}

void Connections::Closed(WebSocketConnection* connection) {
  m_pending.erase(connection);
  if (m_open.erase(connection) > 0) m_recorder.ConnectionClosed();
}

void Connections::SendToAll(const std::shared_ptr<const Outgoing>& message) {
  // Send may fail and close synchronously; iterate over a copy.
  auto open = m_open;
  for (auto& [raw, each] : open) each.connection->Send(message);
}

std::size_t Connections::SendTo(const std::string& sn, const std::shared_ptr<const Outgoing>& message) {
  auto open = m_open;
  std::size_t sent = 0;
  for (auto& [raw, each] : open) {
    if (each.sn != sn) continue;
    each.connection->Send(message);
    ++sent;
  }
  return sent;
}

void Connections::AbortAll() {
  auto pending = std::move(m_pending);
  auto open = std::move(m_open);
  m_pending.clear();
  m_open.clear();
  for (auto& [raw, connection] : pending) connection->Abort();
  for (auto& [raw, each] : open) {
    each.connection->Abort();
    m_recorder.ConnectionClosed();
  }
}

void Connections::CloseForGood() {
  m_ending = true;
  AbortAll();
}

}  // namespace testkit::mgmt
