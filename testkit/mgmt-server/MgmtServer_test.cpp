#include "testkit/mgmt-server/MgmtServer.h"

#include <gtest/gtest.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

namespace testkit {

bool operator==(const MgmtMessage& a, const MgmtMessage& b) {
  return a.text == b.text && a.data == b.data;
}

void PrintTo(const MgmtMessage& m, std::ostream* os) {
  *os << (m.text ? "text " : "binary ") << ::testing::PrintToString(m.data);
}

namespace {

namespace beast = boost::beast;
namespace http = boost::beast::http;
namespace websocket = boost::beast::websocket;
namespace net = boost::asio;
namespace ssl = boost::asio::ssl;
using tcp = net::ip::tcp;
using Headers = std::vector<std::pair<std::string, std::string>>;

// Every client operation has this much time before it counts as an error, so a fault in the
// server fails a test instead of hanging it.
constexpr auto kLimit = std::chrono::seconds(20);

// What the agent's upgrade request carries.
const Headers kAgentHeaders = {
    {"User-Agent", "MyCustomUserAgent"}, {"Host", "tarvik-agent.invalid"}, {"SN", "PC-07"}};

// Runs the client's I/O context until the operation started by start completes.
template <class Start>
beast::error_code Await(net::io_context& io, Start&& start) {
  std::optional<beast::error_code> result;
  start([&result](beast::error_code ec, auto&&...) { result = ec; });
  io.restart();
  while (!result && io.run_one() > 0) {
  }
  return result.value_or(net::error::operation_aborted);
}

bool IsTimeout(const beast::error_code& ec) { return ec == beast::error::timeout; }

tcp::endpoint Loopback(std::uint16_t port) { return {net::ip::address_v4::loopback(), port}; }

// Trusts exactly the certificate the server presents, host name included.
void TrustOnly(ssl::context& context, const std::string& pem) {
  context.add_certificate_authority(net::buffer(pem));
  context.set_verify_mode(ssl::verify_peer);
}

template <class Ssl>
beast::error_code TlsHandshake(net::io_context& io, Ssl& stream, bool verify) {
  SSL_set_tlsext_host_name(stream.native_handle(), "localhost");
  if (verify) stream.set_verify_callback(ssl::host_name_verification("localhost"));
  beast::get_lowest_layer(stream).expires_after(kLimit);
  return Await(io,
               [&](auto handler) { stream.async_handshake(ssl::stream_base::client, handler); });
}

// A WebSocket client over plain TCP, or over TLS that verifies the server's own certificate.
class WsClient {
 public:
  using PlainWs = websocket::stream<beast::tcp_stream>;
  using TlsWs = websocket::stream<beast::ssl_stream<beast::tcp_stream>>;

 private:
  net::io_context m_io;
  ssl::context m_ssl{ssl::context::tls_client};
  std::optional<PlainWs> m_plain;
  std::optional<TlsWs> m_tls;

  template <class F>
  auto With(F f) {
    if (m_tls) return f(*m_tls);
    return f(*m_plain);
  }

 public:
  beast::error_code Connect(const MgmtServer& server) {
    std::string pem = server.CertificatePem();
    beast::error_code ec;
    if (pem.empty()) {
      m_plain.emplace(m_io);
      m_plain->next_layer().connect(Loopback(server.Port()), ec);
      return ec;
    }
    TrustOnly(m_ssl, pem);
    m_tls.emplace(m_io, m_ssl);
    beast::get_lowest_layer(*m_tls).connect(Loopback(server.Port()), ec);
    if (ec) return ec;
    return TlsHandshake(m_io, m_tls->next_layer(), true);
  }

  beast::error_code Upgrade(const std::string& path, const Headers& headers = kAgentHeaders,
                            websocket::response_type* response = nullptr) {
    return With([&](auto& ws) {
      ws.set_option(websocket::stream_base::decorator([headers](websocket::request_type& request) {
        for (const auto& [name, value] : headers) request.set(name, value);
      }));
      beast::get_lowest_layer(ws).expires_after(kLimit);
      websocket::response_type ignored;
      websocket::response_type& res = response ? *response : ignored;
      return Await(m_io,
                   [&](auto handler) { ws.async_handshake(res, "localhost", path, handler); });
    });
  }

  beast::error_code Open(const MgmtServer& server, const std::string& path = "/ws") {
    beast::error_code ec = Connect(server);
    return ec ? ec : Upgrade(path);
  }

  beast::error_code Write(const std::string& data, bool text = true) {
    return With([&](auto& ws) {
      ws.text(text);
      beast::get_lowest_layer(ws).expires_after(kLimit);
      return Await(m_io, [&](auto handler) { ws.async_write(net::buffer(data), handler); });
    });
  }

  beast::error_code Read(MgmtMessage& message) {
    return With([&](auto& ws) {
      beast::flat_buffer buffer;
      beast::get_lowest_layer(ws).expires_after(kLimit);
      beast::error_code ec = Await(m_io, [&](auto handler) { ws.async_read(buffer, handler); });
      message = {ws.got_text(), beast::buffers_to_string(buffer.data())};
      return ec;
    });
  }

  beast::error_code Close(const websocket::close_reason& reason) {
    return With([&](auto& ws) {
      beast::get_lowest_layer(ws).expires_after(kLimit);
      return Await(m_io, [&](auto handler) { ws.async_close(reason, handler); });
    });
  }

  // Goes away the Windows agent's way: no close frame.
  void CloseTcp() {
    With([](auto& ws) {
      beast::get_lowest_layer(ws).close();
      return 0;
    });
  }

  PlainWs& Plain() { return *m_plain; }
  net::io_context& Io() { return m_io; }
};

// A TCP connection that speaks whatever bytes a test gives it. A read that runs out of time
// leaves the connection open, so the test can go on reading it.
class RawClient {
 public:
  beast::error_code Connect(std::uint16_t port) {
    beast::error_code ec;
    m_socket.connect(Loopback(port), ec);
    return ec;
  }
  beast::error_code Send(const std::string& bytes) {
    return Within(kLimit,
                  [&](auto handler) { net::async_write(m_socket, net::buffer(bytes), handler); });
  }
  // What the server answers, up to its close, and how the connection ended.
  beast::error_code ReadToEnd(std::string& answer, std::chrono::milliseconds limit = kLimit) {
    for (;;) {
      char chunk[4096];
      std::size_t got = 0;
      beast::error_code ec = Within(limit, [&](auto handler) {
        m_socket.async_read_some(net::buffer(chunk),
                                 [&got, handler](beast::error_code e, std::size_t n) mutable {
                                   got = n;
                                   handler(e);
                                 });
      });
      answer.append(chunk, got);
      if (ec) return ec;
    }
  }

 private:
  template <class Start>
  beast::error_code Within(std::chrono::milliseconds limit, Start&& start) {
    bool late = false;
    net::steady_timer timer(m_io, limit);
    timer.async_wait([&](beast::error_code ec) {
      if (ec) return;
      late = true;
      m_socket.cancel();
    });
    beast::error_code ec = Await(m_io, std::forward<Start>(start));
    timer.cancel();
    m_io.restart();
    m_io.run();  // lets the cancelled timer finish before it goes out of scope
    return late ? beast::error_code(beast::error::timeout) : ec;
  }

  net::io_context m_io;
  tcp::socket m_socket{m_io};
};

enum class Transport { Plain, TlsVerified, TlsUnverified };

struct HttpResult {
  beast::error_code ec;
  unsigned status = 0;
  std::string body;
};

template <class Stream>
HttpResult Get(net::io_context& io, Stream& stream, const std::string& target) {
  HttpResult result;
  http::request<http::empty_body> request(http::verb::get, target, 11);
  request.set(http::field::host, "localhost");
  request.set(http::field::user_agent, "A WinHTTP Example Program/1.0");
  beast::get_lowest_layer(stream).expires_after(kLimit);
  result.ec = Await(io, [&](auto handler) { http::async_write(stream, request, handler); });
  if (result.ec) return result;
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(16 * 1024 * 1024);
  result.ec = Await(io, [&](auto handler) { http::async_read(stream, buffer, parser, handler); });
  result.status = parser.get().result_int();
  result.body = parser.get().body();
  return result;
}

HttpResult HttpGet(const MgmtServer& server, const std::string& target, Transport transport) {
  net::io_context io;
  HttpResult failed;
  if (transport == Transport::Plain) {
    beast::tcp_stream stream(io);
    stream.connect(Loopback(server.Port()), failed.ec);
    return failed.ec ? failed : Get(io, stream, target);
  }
  ssl::context context(ssl::context::tls_client);
  bool verify = transport == Transport::TlsVerified;
  if (verify) TrustOnly(context, server.CertificatePem());
  beast::ssl_stream<beast::tcp_stream> stream(io, context);
  beast::get_lowest_layer(stream).connect(Loopback(server.Port()), failed.ec);
  if (!failed.ec) failed.ec = TlsHandshake(io, stream, verify);
  return failed.ec ? failed : Get(io, stream, target);
}

template <class Predicate>
bool PollUntil(Predicate done) {
  auto deadline = std::chrono::steady_clock::now() + kLimit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

MgmtServerOptions Options(bool tls, std::uint16_t port = 0) {
  MgmtServerOptions options;
  options.tls = tls;
  options.port = port;
  return options;
}

// The WebSocket behaviour, over plain TCP and over TLS with the client verifying the server's
// certificate for "localhost".
class MgmtServerWebSocketTest : public ::testing::TestWithParam<bool> {
 protected:
  MgmtServer m_server{Options(GetParam())};
};

TEST_P(MgmtServerWebSocketTest, RecordsTheUpgradeAndEveryMessageInArrivalOrder) {
  WsClient first;
  ASSERT_FALSE(first.Connect(m_server));
  ASSERT_FALSE(first.Upgrade("/tarvik/ws?from=test"));
  ASSERT_TRUE(m_server.WaitForUpgrades(1));
  EXPECT_EQ(m_server.OpenConnections(), 1u);

  MgmtUpgrade upgrade = m_server.Upgrades().at(0);
  EXPECT_EQ(upgrade.path, "/tarvik/ws?from=test");
  EXPECT_EQ(upgrade.headers["user-agent"], "MyCustomUserAgent");
  EXPECT_EQ(upgrade.headers["host"], "tarvik-agent.invalid");
  EXPECT_EQ(upgrade.headers["sn"], "PC-07");
  EXPECT_EQ(upgrade.headers["upgrade"], "websocket");

  WsClient second;
  ASSERT_FALSE(second.Open(m_server));
  ASSERT_TRUE(m_server.WaitForUpgrades(2));
  EXPECT_EQ(m_server.Upgrades().at(1).path, "/ws");

  // Messages from both connections, one after the other; a binary one with a NUL inside, and
  // one far larger than a single read.
  const std::string large(300 * 1024, 'x');
  const std::vector<std::pair<WsClient*, MgmtMessage>> sent = {
      {&first, {true, R"({"type":"displayStatusReport"})"}},
      {&second, {false, std::string("\x01\x00\x02", 3)}},
      {&first, {true, large}},
      {&second, {true, "last"}},
  };
  for (std::size_t i = 0; i < sent.size(); ++i) {
    ASSERT_FALSE(sent[i].first->Write(sent[i].second.data, sent[i].second.text));
    ASSERT_TRUE(m_server.WaitForMessages(i + 1));
  }
  std::vector<MgmtMessage> expected;
  for (const auto& [client, message] : sent) expected.push_back(message);
  EXPECT_EQ(m_server.Messages(), expected);
  EXPECT_TRUE(m_server.WaitForMessageContaining("displayStatus"));
  EXPECT_EQ(m_server.MessagesSince(3), std::vector<MgmtMessage>{expected[3]});
  EXPECT_TRUE(m_server.MessagesSince(4).empty());
}

TEST_P(MgmtServerWebSocketTest, ScriptedMessagesReachEveryOpenConnectionWhole) {
  WsClient first, second;
  ASSERT_FALSE(first.Open(m_server));
  ASSERT_FALSE(second.Open(m_server));
  ASSERT_TRUE(m_server.WaitForUpgrades(2));

  ASSERT_TRUE(m_server.SendText(R"({"type":"RefreshAllStatus","cmdid":7})"));
  ASSERT_TRUE(m_server.SendBinary(std::string("\x00\xff", 2)));
  ASSERT_TRUE(m_server.SendTextInFrames({R"({"type":)", R"("displayCommand",)", R"("cmdid":8})"}));
  ASSERT_TRUE(m_server.SendText("after the frames"));

  const std::vector<MgmtMessage> expected = {
      {true, R"({"type":"RefreshAllStatus","cmdid":7})"},
      {false, std::string("\x00\xff", 2)},
      {true, R"({"type":"displayCommand","cmdid":8})"},
      {true, "after the frames"},
  };
  for (WsClient* client : {&first, &second}) {
    for (const MgmtMessage& want : expected) {
      MgmtMessage got;
      ASSERT_FALSE(client->Read(got));
      EXPECT_EQ(got, want);
    }
  }
}

// Two agents on one server, told apart by the "SN" of their upgrades: each message names the
// upgrade of its connection, and a send to one SN reaches that agent's connections only.
TEST_P(MgmtServerWebSocketTest, MessagesAndAddressedSendsKeepToTheirAgent) {
  WsClient windows, mac, macAgain;
  ASSERT_FALSE(windows.Open(m_server));
  ASSERT_TRUE(m_server.WaitForUpgrades(1));
  const Headers macHeaders = {{"SN", "Demo Mac"}};
  for (WsClient* client : {&mac, &macAgain}) {
    ASSERT_FALSE(client->Connect(m_server));
    ASSERT_FALSE(client->Upgrade("/tarvik/ws", macHeaders));
  }
  ASSERT_TRUE(m_server.WaitForUpgrades(3));

  ASSERT_FALSE(mac.Write("from the mac"));
  ASSERT_TRUE(m_server.WaitForMessages(1));
  ASSERT_FALSE(windows.Write("from windows"));
  ASSERT_TRUE(m_server.WaitForMessages(2));
  // The upgrades in the order the clients opened: windows, mac, macAgain.
  const std::vector<MgmtMessage> messages = m_server.Messages();
  EXPECT_EQ(messages.at(0).upgrade, 1u);
  EXPECT_EQ(messages.at(1).upgrade, 0u);

  EXPECT_TRUE(m_server.SendTextTo("Demo Mac", "mac only"));
  EXPECT_FALSE(m_server.SendTextTo("Demo", "nobody"));
  ASSERT_TRUE(m_server.SendText("everyone"));
  for (WsClient* client : {&mac, &macAgain}) {
    for (const char* want : {"mac only", "everyone"}) {
      MgmtMessage got;
      ASSERT_FALSE(client->Read(got));
      EXPECT_EQ(got.data, want);
    }
  }
  MgmtMessage got;
  ASSERT_FALSE(windows.Read(got));
  EXPECT_EQ(got.data, "everyone");
}

TEST_P(MgmtServerWebSocketTest, ALostConnectionIsNoticedAndSendsFailWithoutOne) {
  EXPECT_FALSE(m_server.SendText("nobody"));
  EXPECT_FALSE(m_server.SendBinary("nobody"));
  EXPECT_FALSE(m_server.SendTextInFrames({"no", "body"}));

  WsClient client;
  ASSERT_FALSE(client.Open(m_server));
  ASSERT_TRUE(m_server.WaitForUpgrades(1));
  client.CloseTcp();
  ASSERT_TRUE(PollUntil([&] { return m_server.OpenConnections() == 0; }));
  EXPECT_FALSE(m_server.SendText("gone"));
}

TEST_P(MgmtServerWebSocketTest, RecordsTheCodeOfEveryCloseFrameInOrderAndNothingForADrop) {
  WsClient dropped, goingAway, withoutCode;
  for (WsClient* client : {&dropped, &goingAway, &withoutCode}) ASSERT_FALSE(client->Open(m_server));
  ASSERT_TRUE(m_server.WaitForUpgrades(3));

  dropped.CloseTcp();
  ASSERT_TRUE(PollUntil([&] { return m_server.OpenConnections() == 2; }));
  ASSERT_FALSE(goingAway.Close(websocket::close_code::going_away));
  ASSERT_TRUE(m_server.WaitForCloseCodes(1));
  ASSERT_FALSE(withoutCode.Close(websocket::close_reason{}));
  ASSERT_TRUE(m_server.WaitForCloseCodes(2));
  EXPECT_EQ(m_server.CloseCodes(), (std::vector<std::uint16_t>{1001, 1005}));
  EXPECT_EQ(m_server.OpenConnections(), 0u);
}

TEST_P(MgmtServerWebSocketTest, DropClosesEveryConnectionAtOnceAndNewOnesAreServed) {
  // A connection still before its request is dropped too. It connects first: connections
  // are accepted in order, so it is the server's by the time the others are open.
  RawClient idle;
  ASSERT_FALSE(idle.Connect(m_server.Port()));
  WsClient first, second;
  ASSERT_FALSE(first.Open(m_server));
  ASSERT_FALSE(second.Open(m_server));
  ASSERT_TRUE(m_server.WaitForUpgrades(2));

  m_server.DropConnections();
  EXPECT_EQ(m_server.OpenConnections(), 0u);

  for (WsClient* client : {&first, &second}) {
    MgmtMessage message;
    beast::error_code ec = client->Read(message);
    EXPECT_TRUE(ec) << "the connection should have been closed";
    EXPECT_FALSE(IsTimeout(ec)) << ec.message();
  }
  std::string answer;
  beast::error_code ec = idle.ReadToEnd(answer);
  EXPECT_FALSE(IsTimeout(ec)) << ec.message();

  WsClient again;
  ASSERT_FALSE(again.Open(m_server));
  ASSERT_TRUE(m_server.WaitForUpgrades(3));
  EXPECT_EQ(m_server.OpenConnections(), 1u);
  EXPECT_TRUE(m_server.SendText("welcome back"));
  MgmtMessage message;
  ASSERT_FALSE(again.Read(message));
  EXPECT_EQ(message.data, "welcome back");
}

TEST_P(MgmtServerWebSocketTest, RefusedUpgradesGet403AndAreStillRecorded) {
  m_server.SetRefuseUpgrades(true);
  WsClient refused;
  ASSERT_FALSE(refused.Connect(m_server));
  websocket::response_type response;
  EXPECT_TRUE(refused.Upgrade("/ws", kAgentHeaders, &response));
  EXPECT_EQ(response.result(), http::status::forbidden);
  ASSERT_TRUE(m_server.WaitForUpgrades(1));
  EXPECT_EQ(m_server.Upgrades().at(0).headers["sn"], "PC-07");
  EXPECT_EQ(m_server.OpenConnections(), 0u);

  m_server.SetRefuseUpgrades(false);
  WsClient accepted;
  ASSERT_FALSE(accepted.Open(m_server));
  ASSERT_TRUE(m_server.WaitForUpgrades(2));
  EXPECT_EQ(m_server.OpenConnections(), 1u);
}

TEST_P(MgmtServerWebSocketTest, ANewServerOnTheStoppedOnesPortTakesTheReconnect) {
  auto server = std::make_unique<MgmtServer>(Options(GetParam()));
  const std::uint16_t port = server->Port();
  WsClient old;
  ASSERT_FALSE(old.Open(*server));
  ASSERT_TRUE(server->WaitForUpgrades(1));

  // Stopping with a connection open must not wait for it, and must close it.
  server.reset();
  MgmtMessage message;
  beast::error_code ec = old.Read(message);
  EXPECT_TRUE(ec);
  EXPECT_FALSE(IsTimeout(ec)) << ec.message();

  server = std::make_unique<MgmtServer>(Options(GetParam(), port));
  EXPECT_EQ(server->Port(), port);
  WsClient fresh;
  ASSERT_FALSE(fresh.Open(*server));
  ASSERT_TRUE(server->WaitForUpgrades(1));
  EXPECT_EQ(server->OpenConnections(), 1u);
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, MgmtServerWebSocketTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tls" : "Plain"; });

// The agent reassembles a message the server splits over frames: the split must really be
// there on the wire.
TEST(MgmtServerFramesTest, TextInFramesIsOneMessageOfOneFramePerPart) {
  MgmtServer server;
  WsClient client;
  ASSERT_FALSE(client.Open(server));
  ASSERT_TRUE(server.WaitForUpgrades(1));
  const std::vector<std::string> parts = {R"({"type":)", R"("RefreshAllStatus")", "}"};
  ASSERT_TRUE(server.SendTextInFrames(parts));

  // Below the WebSocket layer: a server frame is unmasked; these payloads are under 126 bytes.
  beast::tcp_stream& tcpStream = client.Plain().next_layer();
  auto readExactly = [&](net::mutable_buffer buffer) {
    tcpStream.expires_after(kLimit);
    return Await(client.Io(), [&](auto handler) { net::async_read(tcpStream, buffer, handler); });
  };
  for (std::size_t i = 0; i < parts.size(); ++i) {
    unsigned char head[2];
    ASSERT_FALSE(readExactly(net::buffer(head)));
    const bool fin = (head[0] & 0x80) != 0;
    const int opcode = head[0] & 0x0f;
    EXPECT_EQ(fin, i + 1 == parts.size()) << "frame " << i;
    EXPECT_EQ(opcode, i == 0 ? 1 : 0) << "frame " << i << ": text first, continuations after";
    ASSERT_EQ(head[1] & 0x80, 0) << "a server must not mask";
    std::string payload(head[1] & 0x7f, '\0');
    ASSERT_FALSE(readExactly(net::buffer(payload)));
    EXPECT_EQ(payload, parts[i]);
  }
}

TEST(MgmtServerSilentTest, ASilentServerAcceptsButNeverAnswersAndDropReachesItsConnections) {
  MgmtServer server;
  server.SetSilent(true);
  RawClient silent;
  ASSERT_FALSE(silent.Connect(server.Port()));
  ASSERT_FALSE(silent.Send(
      "GET /ws HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n"));
  std::string answer;
  EXPECT_TRUE(IsTimeout(silent.ReadToEnd(answer, std::chrono::milliseconds(300))));
  EXPECT_EQ(answer, "");
  EXPECT_TRUE(server.Upgrades().empty());

  server.SetSilent(false);
  WsClient client;
  ASSERT_FALSE(client.Open(server));
  ASSERT_TRUE(server.WaitForUpgrades(1));

  server.DropConnections();
  beast::error_code ec = silent.ReadToEnd(answer);
  EXPECT_FALSE(IsTimeout(ec)) << ec.message();
  EXPECT_EQ(answer, "");
}

TEST(MgmtServerBadInputTest, BadRequestsAreClosedAndTheServerGoesOn) {
  struct Case {
    const char* what;
    bool tlsServer;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"not HTTP", false, "GARBAGE\x01\x02\r\n\r\n"},
      {"endless header", false,
       "GET /ws HTTP/1.1\r\nX-Long: " + std::string(64 * 1024, 'a') + "\r\n\r\n"},
      {"a body far over the limit", false,
       "POST /ws HTTP/1.1\r\nContent-Length: 10000000\r\n\r\n" + std::string(128 * 1024, 'b')},
      {"plain HTTP to the TLS listener", true, "GET /ws HTTP/1.1\r\nHost: x\r\n\r\n"},
      {"a broken TLS hello", true, std::string("\x16\x03\x01\x00\x05hello", 10)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MgmtServer server(Options(c.tlsServer));
    RawClient bad;
    ASSERT_FALSE(bad.Connect(server.Port()));
    bad.Send(c.bytes);  // the server may close before it has all of it
    std::string answer;
    beast::error_code ec = bad.ReadToEnd(answer);
    EXPECT_FALSE(IsTimeout(ec)) << "the server should close: " << ec.message();
    EXPECT_EQ(answer.find("101"), std::string::npos) << answer;

    WsClient good;
    ASSERT_FALSE(good.Open(server));
    ASSERT_TRUE(server.WaitForUpgrades(1));
    EXPECT_EQ(server.Upgrades().size(), 1u);
  }
}

TEST(MgmtServerPackageTest, ServesKnownPackagesByTheirDecodedNameAnd404sTheRest) {
  const std::string folder = "/tarvik/model/package/getModelPackageByModelName?filename=";
  std::string installer = "MZ" + std::string(200 * 1024, '\0');
  installer[1000] = 'q';
  struct Case {
    const char* what;
    bool tlsServer;
    Transport transport;
    std::string target;
    unsigned status;
    std::string body;
    bool recorded;
  };
  const std::vector<Case> cases = {
      {"plain", false, Transport::Plain, folder + "pkg%20v2.exe", 200, installer, true},
      {"TLS to a plain server, as the agent's download does", false, Transport::TlsUnverified,
       folder + "pkg%20v2.exe", 200, installer, true},
      {"TLS server, verified", true, Transport::TlsVerified, folder + "pkg%20v2.exe", 200,
       installer, true},
      {"another folder, other parameters first", false, Transport::Plain,
       "/model/package/getModelPackageByModelName?x=1&filename=pkg%20v2.exe", 200, installer, true},
      {"'+' is not a space", false, Transport::Plain, folder + "a+b.zip", 200, "zip", true},
      {"UTF-8 name", false, Transport::Plain, folder + "caf%C3%A9.zip", 200, "utf8", true},
      {"unknown name", false, Transport::Plain, folder + "missing.exe", 404, "", true},
      {"raw space is no match for %20", false, Transport::Plain, folder + "pkg+v2.exe", 404, "",
       true},
      {"broken encoding", false, Transport::Plain, folder + "pkg%2", 404, "", false},
      {"no filename", false, Transport::Plain, "/model/package/getModelPackageByModelName", 404, "",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MgmtServer server(Options(c.tlsServer));
    server.ServePackage("pkg v2.exe", installer);
    server.ServePackage("a+b.zip", "zip");
    server.ServePackage("caf\xC3\xA9.zip", "utf8");
    HttpResult result = HttpGet(server, c.target, c.transport);
    ASSERT_FALSE(result.ec) << result.ec.message();
    EXPECT_EQ(result.status, c.status);
    if (c.status == 200) {
      EXPECT_TRUE(result.body == c.body) << "body of " << result.body.size() << " bytes";
    }
    EXPECT_EQ(server.PackageRequests(),
              c.recorded ? std::vector<std::string>{c.target} : std::vector<std::string>{});
  }
}

TEST(MgmtServerTlsHandshakeTest, CountsConnectionsThatOpenWithTlsWhetherOrNotTheyComplete) {
  MgmtServer server(Options(false));
  server.ServePackage("p.exe", "MZ");
  const std::string target = "/model/package/getModelPackageByModelName?filename=p.exe";

  ASSERT_FALSE(HttpGet(server, target, Transport::Plain).ec);
  EXPECT_EQ(server.TlsHandshakes(), 0u);

  {  // a client that trusts no certificate gives up inside the handshake
    net::io_context io;
    ssl::context context(ssl::context::tls_client);
    context.set_verify_mode(ssl::verify_peer);
    beast::ssl_stream<beast::tcp_stream> stream(io, context);
    beast::error_code ec;
    beast::get_lowest_layer(stream).connect(Loopback(server.Port()), ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_TRUE(TlsHandshake(io, stream, true));
  }
  EXPECT_EQ(server.TlsHandshakes(), 1u);

  ASSERT_FALSE(HttpGet(server, target, Transport::TlsUnverified).ec);
  EXPECT_EQ(server.TlsHandshakes(), 2u);
  EXPECT_EQ(server.PackageRequests().size(), 2u);
}

}  // namespace
}  // namespace testkit
