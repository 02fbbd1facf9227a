// The messages that a management server double receives from now on, each with the span it came
// in (between two looks at the server), for tests that order a message against what else
// happened on the machine's steady clock.
#pragma once

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "testkit/mgmt-server/MgmtServer.h"

namespace agentmactest {

struct Arrival {
  std::size_t index = 0;   // in the server's Messages()
  nlohmann::json message;  // discarded when it is no JSON
  std::chrono::steady_clock::time_point after;  // it came later than this
  std::chrono::steady_clock::time_point by;     // and no later than this
};

class MessageArrivals {
 public:
  explicit MessageArrivals(const testkit::MgmtServer& server)
      : m_server(server), m_looked(std::chrono::steady_clock::now()), m_first(server.Messages().size()) {}

  // The next message that `accept` takes, from where the last wait stopped; each message is
  // offered once, as soon as it is seen. None at the time limit.
  template <typename Accept>
  std::optional<Arrival> WaitFor(Accept accept, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      while (m_offered < m_arrived.size()) {
        const Arrival& arrival = m_arrived[m_offered++];
        if (accept(arrival)) return arrival;
      }
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      Look();
    }
  }

 private:
  void Look() {
    // A message missing at the previous look came after it began.
    const auto begun = std::chrono::steady_clock::now();
    const std::vector<testkit::MgmtMessage> messages = m_server.MessagesSince(m_first + m_arrived.size());
    const auto ended = std::chrono::steady_clock::now();
    for (const testkit::MgmtMessage& m : messages)
      m_arrived.push_back({m_first + m_arrived.size(), nlohmann::json::parse(m.data, nullptr, false), m_looked, ended});
    m_looked = begun;
  }

  const testkit::MgmtServer& m_server;
  std::chrono::steady_clock::time_point m_looked;  // when the last look began
  std::size_t m_first;                             // the first message followed
  std::vector<Arrival> m_arrived;
  std::size_t m_offered = 0;
};

}  // namespace agentmactest
