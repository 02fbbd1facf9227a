// Unsolicited messages that monitors send again and again, as when someone keeps turning a
// knob on one. Each timer has its own thread and runs on real time: it paces a simulator that
// runs beside the code under test.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "testkit/monsim/Messages.h"

namespace monsim {

class Simulator;

class MessageTimers {
 public:
  explicit MessageTimers(Simulator& simulator);
  ~MessageTimers();  // ends every timer
  MessageTimers(const MessageTimers&) = delete;
  MessageTimers& operator=(const MessageTimers&) = delete;

  // The first message goes out one interval from now.
  void Start(const std::string& id, const DeviceMessage& message, std::chrono::milliseconds interval);
  // Ends the monitor's timers, waiting for them; false when it had none.
  bool Stop(const std::string& id);

 private:
  class Timer;

  Simulator& m_simulator;
  std::mutex m_mutex;
  std::multimap<std::string, std::unique_ptr<Timer>> m_timers;
};

}  // namespace monsim
