// The thread that brings an open, scheduled device's input reports from its connection.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "moncontrol/hid/HidBackend.h"

namespace macstandin {

// Each read waits at most this long, so that a stop is noticed soon.
inline constexpr std::chrono::milliseconds kInputReadSlice{50};
// The pause after an empty read that lets a write waiting for the connection go first.
inline constexpr std::chrono::milliseconds kWriteWay{2};

class InputPump {
 public:
  using ReportHandler = std::function<void(std::vector<std::uint8_t> report)>;
  using GoneHandler = std::function<void()>;

  // Reads reports of up to reportLength bytes, handing each to onReport; a failing read means
  // the device has gone: onGone runs and the pump ends. Both run on the pump's thread.
  InputPump(std::shared_ptr<mchid::HidConnection> connection, std::size_t reportLength, ReportHandler onReport,
            GoneHandler onGone);
  // Stops the pump and waits for its thread; at most one read slice.
  ~InputPump();

  InputPump(const InputPump&) = delete;
  InputPump& operator=(const InputPump&) = delete;

 private:
  void Run();
  bool StopRequested();

  const std::shared_ptr<mchid::HidConnection> m_connection;
  const std::size_t m_reportLength;
  const ReportHandler m_onReport;
  const GoneHandler m_onGone;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_stop = false;
  std::thread m_thread;  // last: it starts once everything above is set
};

}  // namespace macstandin
