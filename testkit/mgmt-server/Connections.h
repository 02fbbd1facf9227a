// Every live socket of one server, so that a drop or the server's end reaches all of them at
// once. Used on the server's I/O thread only.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testkit/mgmt-server/MgmtServer.h"

namespace testkit::mgmt {

class Recorder;

// A scripted message: one part is one WebSocket message, several parts are the frames of one.
struct Outgoing {
  bool text = true;
  std::vector<std::string> parts;
};

class Connection {
 public:
  virtual ~Connection() = default;
  // Closes the TCP socket without a goodbye; pending operations end with an error.
  virtual void Abort() = 0;
};

class WebSocketConnection : public Connection {
 public:
  virtual void Send(std::shared_ptr<const Outgoing> message) = 0;
};

class Connections {
 public:
  explicit Connections(Recorder& recorder) : m_recorder(recorder) {}

  // A socket that is not (yet) an open WebSocket. After CloseForGood it is aborted at once.
  void Add(const std::shared_ptr<Connection>& connection);
  void Remove(Connection* connection);
  // Moves a connection whose upgrade completed to the open WebSockets and records the upgrade;
  // its index among the upgrades, none when the server is ending and the connection was aborted.
  std::optional<std::size_t> Opened(const std::shared_ptr<WebSocketConnection>& connection, MgmtUpgrade upgrade);
  // Counts an open WebSocket as closed, once however often it is called.
  void Closed(WebSocketConnection* connection);

  void SendToAll(const std::shared_ptr<const Outgoing>& message);
  // To the open connections whose upgrade carried this "SN"; how many there were.
  std::size_t SendTo(const std::string& sn, const std::shared_ptr<const Outgoing>& message);
  void AbortAll();
  // AbortAll, and every later Add aborts: the server is ending.
  void CloseForGood();

 private:
  Recorder& m_recorder;
  std::map<Connection*, std::shared_ptr<Connection>> m_pending;
  struct Open {
    std::shared_ptr<WebSocketConnection> connection;
    std::string sn;
  };
  std::map<WebSocketConnection*, Open> m_open;
  bool m_ending = false;
};

}  // namespace testkit::mgmt
