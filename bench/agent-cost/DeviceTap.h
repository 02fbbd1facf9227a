// A relay between the agent and monsim's device socket that notes when each VCP set request
// crosses it. That is where the monitor's write really happens for the agent: once its
// request frame is on the socket, nothing of the agent is left on the path.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "testkit/monsim/server/UnixListener.h"

namespace agentcost {

using WallClock = std::chrono::system_clock;

struct VcpWrite {
  std::string monitorId;
  std::uint8_t code = 0;
  std::uint16_t value = 0;
  WallClock::time_point at;
};

class DeviceTap {
 public:
  // Listens on tapSocket; each connection is relayed to a connection of its own to monsim.
  DeviceTap(const std::string& tapSocket, std::string monsimSocket);
  // Cuts the relayed connections (a read without limit may be waiting in monsim), then stops.
  ~DeviceTap();
  DeviceTap(const DeviceTap&) = delete;
  DeviceTap& operator=(const DeviceTap&) = delete;

  // The first set of the code to the value on that monitor at or after `since`; nullopt when
  // none came within the limit.
  std::optional<VcpWrite> WaitForWrite(const std::string& monitorId, std::uint8_t code, std::uint16_t value,
                                       WallClock::time_point since, std::chrono::milliseconds limit);

 private:
  void Relay(int client);
  std::optional<int> ConnectUpstream();
  void Disconnect(int upstream);
  void Note(const std::vector<unsigned char>& frame, WallClock::time_point at, std::string& monitorId);

  const std::string m_monsimSocket;
  std::mutex m_mutex;
  std::condition_variable m_written;
  std::vector<VcpWrite> m_writes;
  std::set<int> m_upstreams;
  bool m_closing = false;
  monsim::UnixListener m_listener;  // last: its sessions use the members above
};

}  // namespace agentcost
