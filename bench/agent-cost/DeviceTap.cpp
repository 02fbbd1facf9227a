#include "bench/agent-cost/DeviceTap.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "moncontrol/hid/linux/SimulatorProtocol.h"

namespace agentcost {
namespace {

using mchid::simproto::FrameReader;
using mchid::simproto::Op;

// A DDC/CI set request as the host sends it: source address, length 4, opcode 3, then the
// code and the value (high byte first).
constexpr std::array<unsigned char, 3> kSetVcpHead{0x51, 0x84, 0x03};

// "monsim/<id>/<collection>" names the monitor <id>.
std::string MonitorIdOf(const std::string& path) {
  const std::size_t first = path.find('/');
  const std::size_t last = path.rfind('/');
  if (first == std::string::npos || last <= first) return {};
  return path.substr(first + 1, last - first - 1);
}

}  // namespace

DeviceTap::DeviceTap(const std::string& tapSocket, std::string monsimSocket)
    : m_monsimSocket(std::move(monsimSocket)), m_listener(tapSocket, [this](int client) { Relay(client); }) {}

DeviceTap::~DeviceTap() {
  std::lock_guard lock(m_mutex);
  m_closing = true;
  for (int upstream : m_upstreams) ::shutdown(upstream, SHUT_RDWR);
}

std::optional<VcpWrite> DeviceTap::WaitForWrite(const std::string& monitorId, std::uint8_t code, std::uint16_t value,
                                                WallClock::time_point since, std::chrono::milliseconds limit) {
  std::unique_lock lock(m_mutex);
  std::optional<VcpWrite> found;
  m_written.wait_for(lock, limit, [&] {
    auto match = std::find_if(m_writes.begin(), m_writes.end(), [&](const VcpWrite& w) {
      return w.monitorId == monitorId && w.code == code && w.value == value && w.at >= since;
    });
    if (match != m_writes.end()) found = *match;
    return found.has_value();
  });
  return found;
}

void DeviceTap::Relay(int client) {
  std::optional<int> upstream = ConnectUpstream();
  if (!upstream) return;
  std::string monitorId;
  std::vector<unsigned char> frame;
  // One request, then its response: the protocol never has two requests in flight.
  while (mchid::simproto::ReceiveFrame(client, frame)) {
    Note(frame, WallClock::now(), monitorId);
    if (!mchid::simproto::SendFrame(*upstream, frame) || !mchid::simproto::ReceiveFrame(*upstream, frame) ||
        !mchid::simproto::SendFrame(client, frame))
      break;
  }
  Disconnect(*upstream);
}

std::optional<int> DeviceTap::ConnectUpstream() {
  const int upstream = mchid::simproto::ConnectUnixSocket(m_monsimSocket);
  if (upstream < 0) return std::nullopt;
  std::lock_guard lock(m_mutex);
  if (m_closing) {
    ::close(upstream);
    return std::nullopt;
  }
  m_upstreams.insert(upstream);
  return upstream;
}

void DeviceTap::Disconnect(int upstream) {
  std::lock_guard lock(m_mutex);
  m_upstreams.erase(upstream);
  ::close(upstream);
}

void DeviceTap::Note(const std::vector<unsigned char>& frame, WallClock::time_point at, std::string& monitorId) {
  FrameReader in(frame);
  const auto op = static_cast<Op>(in.U8());
  if (op == Op::Open) {
    monitorId = MonitorIdOf(in.Text());
    return;
  }
  if (op != Op::WriteReport) return;
  const std::vector<unsigned char> report = in.Bytes();
  auto head = std::search(report.begin(), report.end(), kSetVcpHead.begin(), kSetVcpHead.end());
  if (!in.Ok() || report.end() - head < static_cast<std::ptrdiff_t>(kSetVcpHead.size() + 3)) return;
  head += kSetVcpHead.size();
  const auto value = static_cast<std::uint16_t>(head[1] << 8 | head[2]);
  std::lock_guard lock(m_mutex);
  m_writes.push_back({monitorId, head[0], value, at});
  m_written.notify_all();
}

}  // namespace agentcost
