#include "agent-macos/connection/WebSocketTask.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/websocket.hpp>
#include <future>
#include <latch>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "testkit/mgmt-server/MgmtServer.h"

namespace {

namespace net = boost::asio;
namespace websocket = boost::beast::websocket;
using tcp = boost::asio::ip::tcp;
using Result = WebSocketTask::ReceiveResult;
using std::chrono::milliseconds;

// A safety net only: every wait ends as soon as the task does what it should.
constexpr auto kLimit = std::chrono::seconds(20);
// For the time limits a test is not about: reaching one fails the test at kLimit.
constexpr milliseconds kNever = std::chrono::hours(1);
constexpr milliseconds kShort{200};
constexpr std::uint16_t kGoingAway = 1001;
constexpr std::size_t kMaxMessage = WebSocketTaskLimits{}.maxMessageSize;

testkit::MgmtServerOptions Options(bool tls) {
  testkit::MgmtServerOptions options;
  options.tls = tls;
  return options;
}

WebSocketTaskLimits Limits(milliseconds connect, milliseconds tlsHandshake, milliseconds upgrade,
                           milliseconds close = kNever) {
  WebSocketTaskLimits limits;
  limits.connect = connect;
  limits.tlsHandshake = tlsHandshake;
  limits.upgrade = upgrade;
  limits.close = close;
  return limits;
}

std::string Address(const std::string& scheme, std::uint16_t port,
                    const std::string& host = "127.0.0.1") {
  return scheme + "://" + host + ":" + std::to_string(port) + "/tarvik/ws";
}

std::shared_ptr<WebSocketTask> MakeTask(const std::string& address,
                                        WebSocketTask::Headers headers = {},
                                        WebSocketTaskLimits limits = {}) {
  return WebSocketTask::Create(ParseWebSocketURL(address).value(), std::move(headers), limits);
}

std::string Describe(const Result& result) {
  if (result.error) return "error " + *result.error;
  return (result.text ? "text " : "data ") + result.data;
}

template <class T>
std::optional<T> Within(std::future<T>& future) {
  if (future.wait_for(kLimit) != std::future_status::ready) return std::nullopt;
  return future.get();
}

// What a completion was given, and the thread it ran on.
template <class Value>
struct Completed {
  Value value;
  std::thread::id thread;
};
using SendDone = Completed<std::optional<std::string>>;
using ReceiveDone = Completed<Result>;

std::future<SendDone> SendOnce(WebSocketTask& task, std::string text) {
  auto done = std::make_shared<std::promise<SendDone>>();
  task.Send(std::move(text), [done](const std::optional<std::string>& error) {
    done->set_value({error, std::this_thread::get_id()});
  });
  return done->get_future();
}

std::future<ReceiveDone> ReceiveOnce(WebSocketTask& task) {
  auto done = std::make_shared<std::promise<ReceiveDone>>();
  task.Receive([done](const Result& result) {
    done->set_value({result, std::this_thread::get_id()});
  });
  return done->get_future();
}

// Keeps one receive pending as the agent does, arming the next from each completion, until
// `wanted` messages came or a receive failed.
struct ReceiveChain {
  std::size_t wanted;
  std::function<void()> onEach;
  std::vector<Result> got;
  std::promise<std::vector<Result>> done;
};

void Arm(const std::shared_ptr<WebSocketTask>& task, const std::shared_ptr<ReceiveChain>& chain) {
  task->Receive([task, chain](const Result& result) {
    if (chain->onEach) chain->onEach();
    chain->got.push_back(result);
    if (result.error || chain->got.size() == chain->wanted) {
      chain->done.set_value(std::move(chain->got));
      return;
    }
    Arm(task, chain);
  });
}

std::future<std::vector<Result>> ReceiveMessages(const std::shared_ptr<WebSocketTask>& task,
                                                 std::size_t wanted,
                                                 std::function<void()> onEach = {}) {
  auto chain = std::make_shared<ReceiveChain>();
  chain->wanted = wanted;
  chain->onEach = std::move(onEach);
  std::future<std::vector<Result>> done = chain->done.get_future();
  Arm(task, chain);
  return done;
}

std::vector<std::string> TextsAt(const testkit::MgmtServer& server) {
  std::vector<std::string> texts;
  for (const testkit::MgmtMessage& message : server.Messages()) texts.push_back(message.data);
  return texts;
}

struct UpgradeCase {
  const char* name;
  bool tls;
  const char* scheme;
  const char* host;
};

class WebSocketTaskUpgradeTest : public ::testing::TestWithParam<UpgradeCase> {};

// The TLS server's certificate is self-signed: the task accepts it.
TEST_P(WebSocketTaskUpgradeTest, UpgradesToTheTargetWithTheFieldsAndCarriesBothKindsOfMessage) {
  const UpgradeCase& c = GetParam();
  testkit::MgmtServer server(Options(c.tls));
  auto task = MakeTask(Address(c.scheme, server.Port(), c.host), {{"SN", "Mac-07"}});
  task->Resume();
  ASSERT_TRUE(server.WaitForUpgrades(1));
  testkit::MgmtUpgrade upgrade = server.Upgrades().at(0);
  EXPECT_EQ(upgrade.path, "/tarvik/ws");
  EXPECT_EQ(upgrade.headers["sn"], "Mac-07");
  EXPECT_EQ(upgrade.headers["host"], std::string(c.host) + ":" + std::to_string(server.Port()));
  EXPECT_EQ(server.TlsHandshakes(), c.tls ? 1u : 0u);

  auto received = ReceiveMessages(task, 3);
  const std::string bytes("\x00\xff{", 3);
  ASSERT_TRUE(server.SendText(R"({"type":"RefreshAllStatus","cmdid":7})"));
  ASSERT_TRUE(server.SendBinary(bytes));
  ASSERT_TRUE(server.SendTextInFrames({R"({"type":)", R"("reportResponseOk"})"}));
  std::optional<std::vector<Result>> got = Within(received);
  ASSERT_TRUE(got);
  std::vector<std::string> described;
  for (const Result& result : *got) described.push_back(Describe(result));
  EXPECT_EQ(described, (std::vector<std::string>{R"(text {"type":"RefreshAllStatus","cmdid":7})",
                                                 "data " + bytes,
                                                 R"(text {"type":"reportResponseOk"})"}));

  auto sent = SendOnce(*task, R"({"type":"displayStatusReport"})");
  std::optional<SendDone> done = Within(sent);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->value, std::nullopt);
  ASSERT_TRUE(server.WaitForMessages(1));
  EXPECT_TRUE(server.Messages().at(0).text);
  EXPECT_EQ(TextsAt(server), std::vector<std::string>{R"({"type":"displayStatusReport"})"});
  task->Cancel(kGoingAway);
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, WebSocketTaskUpgradeTest,
                         ::testing::Values(UpgradeCase{"Plain", false, "ws", "127.0.0.1"},
                                           UpgradeCase{"TlsToAnAddress", true, "wss", "127.0.0.1"},
                                           UpgradeCase{"TlsToAName", true, "wss", "localhost"}),
                         [](const auto& info) { return info.param.name; });

TEST(WebSocketTaskFieldsTest, ALineBreakInAFieldValueCannotAddAField) {
  testkit::MgmtServer server;
  auto task = MakeTask(Address("ws", server.Port()), {{"SN", "Mac\r\nX-Injected: 1"}});
  task->Resume();
  ASSERT_TRUE(server.WaitForUpgrades(1));
  std::map<std::string, std::string> headers = server.Upgrades().at(0).headers;
  EXPECT_EQ(headers["sn"], "Mac  X-Injected: 1");
  EXPECT_EQ(headers.count("x-injected"), 0u);
  task->Cancel(kGoingAway);
}

// Watches what runs on a task's executor: completions and dispatched work must never overlap,
// nor run on a thread that calls the task.
class ExecutorWatch {
 public:
  void AddCaller() {
    std::lock_guard lock(m_mutex);
    m_callers.insert(std::this_thread::get_id());
  }

  void Ran() {
    if (m_inside.exchange(true)) ++m_overlaps;
    {
      std::lock_guard lock(m_mutex);
      m_ranOn.insert(std::this_thread::get_id());
    }
    std::this_thread::yield();  // gives an overlap the time to show
    m_inside = false;
  }

  int Overlaps() const { return m_overlaps; }
  bool RanOnACaller() const {
    std::lock_guard lock(m_mutex);
    for (std::thread::id id : m_ranOn)
      if (m_callers.count(id) > 0) return true;
    return false;
  }

 private:
  mutable std::mutex m_mutex;
  std::set<std::thread::id> m_callers;
  std::set<std::thread::id> m_ranOn;
  std::atomic<bool> m_inside{false};
  std::atomic<int> m_overlaps{0};
};

class WebSocketTaskSendTest : public ::testing::Test {
 protected:
  testkit::MgmtServer m_server;
};

TEST_F(WebSocketTaskSendTest, SendsMadeBeforeTheUpgradeGoOutAfterItInCallOrder) {
  auto task = MakeTask(Address("ws", m_server.Port()));
  std::vector<std::string> texts;
  std::vector<std::future<SendDone>> sent;
  for (int i = 0; i < 6; ++i) {
    texts.push_back("message " + std::to_string(i));
    // Half before Resume, half while the upgrade is on its way.
    if (i == 3) task->Resume();
    sent.push_back(SendOnce(*task, texts.back()));
  }
  for (std::future<SendDone>& one : sent) {
    std::optional<SendDone> done = Within(one);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->value, std::nullopt);
  }
  ASSERT_TRUE(m_server.WaitForMessages(texts.size()));
  EXPECT_EQ(TextsAt(m_server), texts);
  task->Cancel(kGoingAway);
}

TEST_F(WebSocketTaskSendTest, SendsFromManyThreadsGoOutWholeAndInEachThreadsOrder) {
  constexpr int kThreads = 8;
  constexpr int kEach = 40;
  constexpr std::size_t kFromServer = 20;
  // Many span several frames, so a write that interleaved with another would show.
  auto text = [](int thread, int i) {
    const std::size_t padding = static_cast<std::size_t>(i * 1543 + thread * 97) % 9000;
    return std::to_string(thread) + "/" + std::to_string(i) + "/" +
           std::string(padding, static_cast<char>('a' + thread));
  };
  std::map<std::string, std::pair<int, int>> origin;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kEach; ++i) origin[text(t, i)] = {t, i};

  auto task = MakeTask(Address("ws", m_server.Port()));
  task->Resume();
  ASSERT_TRUE(m_server.WaitForUpgrades(1));

  struct Shared {
    ExecutorWatch watch;
    std::mutex mutex;
    std::vector<std::vector<int>> completed = std::vector<std::vector<int>>(kThreads);
    std::atomic<int> failures{0};
    std::atomic<int> left{kThreads * kEach};
    std::promise<void> allSent;
  };
  auto shared = std::make_shared<Shared>();
  shared->watch.AddCaller();
  // The server talks meanwhile: reads and writes share the stream.
  auto received = ReceiveMessages(task, kFromServer, [shared] { shared->watch.Ran(); });
  for (std::size_t i = 0; i < kFromServer; ++i)
    ASSERT_TRUE(m_server.SendText("from the server " + std::to_string(i)));

  std::latch start(kThreads);
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      shared->watch.AddCaller();
      start.arrive_and_wait();
      for (int i = 0; i < kEach; ++i) {
        task->Send(text(t, i), [shared, t, i](const std::optional<std::string>& error) {
          shared->watch.Ran();
          if (error) ++shared->failures;
          {
            std::lock_guard lock(shared->mutex);
            shared->completed[t].push_back(i);
          }
          if (--shared->left == 0) shared->allSent.set_value();
        });
        if (i % 10 == 0) task->Dispatch([shared] { shared->watch.Ran(); });
      }
    });
  }
  for (std::thread& sender : senders) sender.join();

  std::future<void> allSent = shared->allSent.get_future();
  ASSERT_EQ(allSent.wait_for(kLimit), std::future_status::ready);
  std::optional<std::vector<Result>> got = Within(received);
  ASSERT_TRUE(got);
  ASSERT_EQ(got->size(), kFromServer);
  for (std::size_t i = 0; i < kFromServer; ++i)
    EXPECT_EQ(Describe(got->at(i)), "text from the server " + std::to_string(i));

  EXPECT_EQ(shared->failures, 0);
  const std::vector<int> inOrder = [] {
    std::vector<int> all(kEach);
    for (int i = 0; i < kEach; ++i) all[static_cast<std::size_t>(i)] = i;
    return all;
  }();
  {
    std::lock_guard lock(shared->mutex);
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(shared->completed[t], inOrder) << "thread " << t;
  }

  ASSERT_TRUE(m_server.WaitForMessages(kThreads * kEach));
  std::vector<int> next(kThreads, 0);
  for (const testkit::MgmtMessage& message : m_server.Messages()) {
    auto found = origin.find(message.data);
    ASSERT_NE(found, origin.end()) << "not sent whole: " << message.data.substr(0, 40);
    EXPECT_TRUE(message.text);
    auto [thread, i] = found->second;
    EXPECT_EQ(i, next[thread]++) << "thread " << thread;
  }
  EXPECT_EQ(shared->watch.Overlaps(), 0);
  EXPECT_FALSE(shared->watch.RanOnACaller());
  task->Cancel(kGoingAway);
}

std::uint16_t PortWithoutListener() {
  net::io_context io;
  tcp::acceptor acceptor(io, {net::ip::address_v4::loopback(), 0});
  return acceptor.local_endpoint().port();  // free again when the acceptor closes
}

struct FailureCase {
  const char* name;
  bool tls;
  WebSocketTaskLimits limits;
  // Readies the server; gives the port the task connects to.
  std::function<std::uint16_t(testkit::MgmtServer&)> prepare;
  bool opens;         // the upgrade completes and the server then drops the connection
  const char* cause;  // part of the error's text
};

class WebSocketTaskFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(WebSocketTaskFailureTest, FailsThePendingReceiveAndEverySendAfterIt) {
  const FailureCase& c = GetParam();
  testkit::MgmtServer server(Options(c.tls));
  const std::uint16_t port = c.prepare(server);
  auto task = MakeTask(Address(c.tls ? "wss" : "ws", port), {}, c.limits);
  auto early = SendOnce(*task, "early");
  task->Resume();
  auto received = ReceiveOnce(*task);
  if (c.opens) {
    ASSERT_TRUE(server.WaitForMessages(1));
    server.DropConnections();
  }

  std::optional<ReceiveDone> failure = Within(received);
  ASSERT_TRUE(failure);
  ASSERT_TRUE(failure->value.error);
  const std::string error = *failure->value.error;
  EXPECT_NE(error.find(c.cause), std::string::npos) << error;
  std::optional<SendDone> first = Within(early);
  ASSERT_TRUE(first);
  if (c.opens) {
    EXPECT_EQ(first->value, std::nullopt);
  } else {
    EXPECT_EQ(first->value, error) << "a send waiting for the upgrade gets its error";
  }

  auto late = SendOnce(*task, "late");
  auto again = ReceiveOnce(*task);
  std::optional<SendDone> lateDone = Within(late);
  std::optional<ReceiveDone> againDone = Within(again);
  ASSERT_TRUE(lateDone && againDone);
  EXPECT_EQ(lateDone->value, error);
  EXPECT_EQ(againDone->value.error, error);
  EXPECT_NE(lateDone->thread, std::this_thread::get_id());
  EXPECT_NE(againDone->thread, std::this_thread::get_id());
  EXPECT_EQ(TextsAt(server), c.opens ? std::vector<std::string>{"early"}
                                     : std::vector<std::string>{});
}

std::uint16_t Silent(testkit::MgmtServer& server) {
  server.SetSilent(true);
  return server.Port();
}

INSTANTIATE_TEST_SUITE_P(
    Failures, WebSocketTaskFailureTest,
    ::testing::Values(
        FailureCase{"RefusedUpgrade", false, {},
                    [](testkit::MgmtServer& server) {
                      server.SetRefuseUpgrades(true);
                      return server.Port();
                    },
                    false, "declined"},
        FailureCase{"NobodyListening", false, {},
                    [](testkit::MgmtServer&) { return PortWithoutListener(); }, false, "refused"},
        FailureCase{"SilentServerHoldsTheUpgrade", false, Limits(kNever, kNever, kShort), Silent,
                    false, "timeout"},
        FailureCase{"SilentServerHoldsTheTlsHandshake", true, Limits(kNever, kShort, kNever),
                    Silent, false, "timeout"},
        FailureCase{"DroppedWhenOpen", false, {},
                    [](testkit::MgmtServer& server) { return server.Port(); }, true, ""}),
    [](const auto& info) { return info.param.name; });

TEST(WebSocketTaskBadInputTest, AMessageOverTheLimitOrTextThatIsNotUtf8EndsTheConnection) {
  struct Case {
    const char* what;
    bool text;
    std::string data;
    const char* cause;  // empty: received
  };
  const std::vector<Case> cases = {
      {"data of the largest size", false, std::string(kMaxMessage, '\x01'), ""},
      {"data a byte larger", false, std::string(kMaxMessage + 1, '\x01'), "exceeded"},
      {"text a byte larger", true, std::string(kMaxMessage + 1, 'x'), "exceeded"},
      {"text that is not UTF-8", true, "{\"type\":\"\xff\xfe\"}", "utf8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testkit::MgmtServer server;
    auto task = MakeTask(Address("ws", server.Port()));
    task->Resume();
    ASSERT_TRUE(server.WaitForUpgrades(1));
    auto received = ReceiveMessages(task, 2);
    ASSERT_TRUE(c.text ? server.SendText(c.data) : server.SendBinary(c.data));
    server.SendText("next");

    std::optional<std::vector<Result>> got = Within(received);
    ASSERT_TRUE(got);
    if (*c.cause == '\0') {
      ASSERT_EQ(got->size(), 2u);
      EXPECT_EQ(got->at(0).error, std::nullopt);
      EXPECT_EQ(got->at(0).text, c.text);
      EXPECT_TRUE(got->at(0).data == c.data) << "received " << got->at(0).data.size() << " bytes";
      EXPECT_EQ(Describe(got->at(1)), "text next");
    } else {
      ASSERT_EQ(got->size(), 1u);
      ASSERT_TRUE(got->at(0).error);
      EXPECT_NE(got->at(0).error->find(c.cause), std::string::npos) << *got->at(0).error;
      auto late = SendOnce(*task, "late");
      std::optional<SendDone> done = Within(late);
      ASSERT_TRUE(done);
      EXPECT_EQ(done->value, got->at(0).error);
    }
    task->Cancel(kGoingAway);
  }
}

TEST(WebSocketTaskCancelTest, CancelClosesWithItsCodeAndFailsWhatWaits) {
  testkit::MgmtServer server;
  auto task = MakeTask(Address("ws", server.Port()));
  task->Resume();
  ASSERT_TRUE(server.WaitForUpgrades(1));
  auto pending = ReceiveOnce(*task);

  // From several threads at once, as the monitor loop, a settings command and the stop may.
  std::latch start(4);
  std::vector<std::thread> cancellers;
  for (int i = 0; i < 4; ++i) {
    cancellers.emplace_back([&] {
      start.arrive_and_wait();
      task->Cancel(kGoingAway);
    });
  }
  for (std::thread& canceller : cancellers) canceller.join();
  auto late = SendOnce(*task, "late");
  task.reset();  // the agent drops its reference at once

  std::optional<ReceiveDone> failed = Within(pending);
  std::optional<SendDone> lateDone = Within(late);
  ASSERT_TRUE(failed && lateDone);
  EXPECT_EQ(failed->value.error, WebSocketTask::kCancelled);
  EXPECT_EQ(lateDone->value, WebSocketTask::kCancelled);
  ASSERT_TRUE(server.WaitForCloseCodes(1));
  EXPECT_EQ(server.CloseCodes(), std::vector<std::uint16_t>{kGoingAway});
  EXPECT_TRUE(server.Messages().empty());
}

TEST(WebSocketTaskCancelTest, CancelAbandonsAConnectThatHasNotFinished) {
  struct Case {
    const char* what;
    bool resume;
  };
  for (const Case& c : {Case{"before Resume", false}, Case{"while the upgrade waits", true}}) {
    SCOPED_TRACE(c.what);
    testkit::MgmtServer server;
    server.SetSilent(true);
    auto task = MakeTask(Address("ws", server.Port()), {}, Limits(kNever, kNever, kNever));
    if (c.resume) task->Resume();
    auto early = SendOnce(*task, "early");
    auto pending = ReceiveOnce(*task);
    task->Cancel(kGoingAway);
    task->Resume();  // too late: nothing opens

    std::optional<SendDone> sent = Within(early);
    std::optional<ReceiveDone> received = Within(pending);
    ASSERT_TRUE(sent && received);
    EXPECT_EQ(sent->value, WebSocketTask::kCancelled);
    EXPECT_EQ(received->value.error, WebSocketTask::kCancelled);
  }
}

// A WebSocket server for one client that greets it and then only listens to raw bytes: it
// never answers a close frame. What it heard is ready once the client's TCP end came, or
// empty when none came within kLimit.
class UnansweringPeer {
 public:
  static constexpr const char* kHello = "hello";

  UnansweringPeer() {
    m_port = m_acceptor.local_endpoint().port();
    m_thread = std::thread([this] { Serve(); });
  }
  ~UnansweringPeer() { m_thread.join(); }

  std::uint16_t Port() const { return m_port; }
  std::future<std::optional<std::string>> Heard() { return m_heard.get_future(); }

 private:
  void Serve() {
    m_acceptor.async_accept([this](boost::beast::error_code ec, tcp::socket socket) {
      if (ec) return;
      m_ws.emplace(std::move(socket));
      m_ws->async_accept([this](boost::beast::error_code accepted) {
        if (accepted) return;
        m_ws->text(true);
        m_ws->async_write(net::buffer(std::string_view(kHello)),
                          [this](boost::beast::error_code written, std::size_t) {
                            if (!written) Listen();
                          });
      });
    });
    m_io.run_for(kLimit);
    m_heard.set_value(m_ended ? std::optional(m_bytes) : std::nullopt);
  }

  void Listen() {
    m_ws->next_layer().async_read_some(
        net::buffer(m_chunk), [this](boost::beast::error_code ec, std::size_t n) {
          m_bytes.append(m_chunk.data(), n);
          if (ec) {
            m_ended = true;
            return;
          }
          Listen();
        });
  }

  net::io_context m_io;
  tcp::acceptor m_acceptor{m_io, {net::ip::address_v4::loopback(), 0}};
  std::uint16_t m_port = 0;
  std::optional<websocket::stream<tcp::socket>> m_ws;
  std::array<char, 256> m_chunk{};
  std::string m_bytes;
  bool m_ended = false;
  std::promise<std::optional<std::string>> m_heard;
  std::thread m_thread;
};

TEST(WebSocketTaskCancelTest, ACloseThePeerNeverAnswersEndsTheConnectionAtItsLimit) {
  UnansweringPeer peer;
  std::future<std::optional<std::string>> heard = peer.Heard();
  auto task =
      MakeTask(Address("ws", peer.Port()), {}, Limits(kNever, kNever, kNever, /*close=*/kShort));
  task->Resume();
  auto hello = ReceiveOnce(*task);
  std::optional<ReceiveDone> greeted = Within(hello);
  ASSERT_TRUE(greeted);
  ASSERT_EQ(Describe(greeted->value), std::string("text ") + UnansweringPeer::kHello);

  auto pending = ReceiveOnce(*task);
  EXPECT_FALSE(task->WaitUntilEnded(std::chrono::milliseconds(0)));
  task->Cancel(kGoingAway);
  std::optional<ReceiveDone> failed = Within(pending);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->value.error, WebSocketTask::kCancelled);
  EXPECT_TRUE(task->WaitUntilEnded(std::chrono::seconds(30)));

  const std::optional<std::string> bytes = heard.get();
  ASSERT_TRUE(bytes) << "the connection outlived the close's limit";
  // One masked close frame carrying the code and no reason.
  ASSERT_EQ(bytes->size(), 8u);
  EXPECT_EQ(static_cast<unsigned char>((*bytes)[0]), 0x88);
  EXPECT_EQ(static_cast<unsigned char>((*bytes)[1]), 0x80 | 2);
  const auto unmasked = [&](std::size_t i) {
    return static_cast<unsigned char>((*bytes)[6 + i] ^ (*bytes)[2 + i]);
  };
  EXPECT_EQ(unmasked(0) << 8 | unmasked(1), kGoingAway);
}

}  // namespace
