#include "platform/macos/internal/InputPump.h"

#include <algorithm>

namespace macstandin {

InputPump::InputPump(std::shared_ptr<mchid::HidConnection> connection, std::size_t reportLength,
                     ReportHandler onReport, GoneHandler onGone)
    : m_connection(std::move(connection)),
      m_reportLength(std::max<std::size_t>(reportLength, 1)),
      m_onReport(std::move(onReport)),
      m_onGone(std::move(onGone)),
      m_thread([this] { Run(); }) {}

InputPump::~InputPump() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

bool InputPump::StopRequested() {
  std::lock_guard lock(m_mutex);
  return m_stop;
}

void InputPump::Run() {
  std::vector<std::uint8_t> report(m_reportLength);
  while (!StopRequested()) {
    const auto started = std::chrono::steady_clock::now();
    int read = m_connection->ReadReport(report.data(), report.size(), static_cast<int>(kInputReadSlice.count()));
    if (read < 0) {
      m_onGone();
      return;
    }
    if (read > 0) {
      m_onReport({report.begin(), report.begin() + std::min<std::size_t>(read, report.size())});
      continue;
    }
    // A source that answers an empty read at once would otherwise make this loop spin. The
    // connection serves one call at a time: without a pause, reading again at once would keep a
    // waiting write out for many slices.
    std::unique_lock lock(m_mutex);
    m_wake.wait_until(lock, std::max(started + kInputReadSlice, std::chrono::steady_clock::now() + kWriteWay),
                      [this] { return m_stop; });
  }
}

}  // namespace macstandin
