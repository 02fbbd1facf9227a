// A management server for tests and the demo: a WebSocket endpoint on loopback, plain or TLS
// (a self-signed certificate made when it starts), that records every upgrade and message it
// gets, sends what a test scripts, and serves update packages over HTTP GET.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testkit {

struct MgmtUpgrade {
  std::string path;                            // the request target, query included
  std::map<std::string, std::string> headers;  // names in lower case
};

struct MgmtMessage {
  bool text = true;  // false: a binary message
  std::string data;
  std::size_t upgrade = 0;  // in Upgrades(): the one that opened the connection it came over
};

struct MgmtServerOptions {
  // true: every connection must open with a TLS handshake. false: plain, but a connection that
  // opens with a TLS handshake is still served over TLS, because the agent's package download
  // always uses TLS whatever the configured protocol.
  bool tls = false;
  std::uint16_t port = 0;  // 0: any free loopback port
};

class MgmtServer {
 public:
  // Listening when it returns; throws when the port cannot be bound.
  explicit MgmtServer(MgmtServerOptions options = {});
  ~MgmtServer();  // closes every connection and the listener
  MgmtServer(const MgmtServer&) = delete;
  MgmtServer& operator=(const MgmtServer&) = delete;

  std::uint16_t Port() const;
  // The PEM certificate the TLS listener presents (empty when plain: a plain server answers a
  // TLS client with a certificate of its own that no client is meant to trust).
  std::string CertificatePem() const;

  // Every upgrade request, refused ones included. An accepted upgrade is recorded once its
  // connection is open, so a send right after WaitForUpgrades reaches it.
  std::vector<MgmtUpgrade> Upgrades() const;
  // Every message received, over every connection, in arrival order.
  std::vector<MgmtMessage> Messages() const;
  // The records from index first on (empty when there are no more): for a reader that follows.
  std::vector<MgmtUpgrade> UpgradesSince(std::size_t first) const;
  std::vector<MgmtMessage> MessagesSince(std::size_t first) const;
  // WebSocket connections open now.
  std::size_t OpenConnections() const;
  // Connections that opened with a TLS handshake, whether it completed or the client gave up.
  std::size_t TlsHandshakes() const;
  // The close code of every connection the client closed with a close frame, in the order
  // they closed; 1005 ("no status") for a frame without one. A TCP drop records nothing.
  std::vector<std::uint16_t> CloseCodes() const;

  // Poll until the recorded counts reach n; false at the time limit.
  bool WaitForUpgrades(std::size_t n,
                       std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
  bool WaitForMessages(std::size_t n,
                       std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
  bool WaitForCloseCodes(std::size_t n,
                         std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
  // Poll until a received text contains part; false at the time limit.
  bool WaitForMessageContaining(const std::string& part,
                                std::chrono::milliseconds limit = std::chrono::seconds(20)) const;

  // Scripted sends to every open WebSocket connection; false when none is open.
  bool SendText(const std::string& text);
  // One text message written as several frames, one per part.
  bool SendTextInFrames(const std::vector<std::string>& parts);
  bool SendBinary(const std::string& data);
  // To the open connections whose upgrade carried this "SN" only; false when none is open.
  bool SendTextTo(const std::string& sn, const std::string& text);

  // Closes every TCP connection at once, without a close frame; OpenConnections() is 0 when it
  // returns.
  void DropConnections();
  // While set, upgrade requests are answered "403 Forbidden" and the connection closed.
  void SetRefuseUpgrades(bool refuse);
  // While set, new TCP connections are accepted and then left without an answer.
  void SetSilent(bool silent);

  // GET of any path whose query has "filename=<name>" (URL-encoded) answers 200 with the bytes;
  // an unknown name answers 404.
  void ServePackage(const std::string& name, const std::string& bytes);
  // Every package GET so far: the request target.
  std::vector<std::string> PackageRequests() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace testkit
