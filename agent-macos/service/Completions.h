// Runs the completions of the agent's connections for as long as the agent exists: a connection
// may complete after the agent object that started it is gone.
#pragma once

#include <mutex>

#include "agent-macos/service/TarvikService.h"

class TarvikService::Completions {
 public:
  explicit Completions(TarvikService* service) : m_service(service) {}

  template <typename Handler>
  void run(Handler&& handler) {
    std::lock_guard lock(m_lock);
    if (m_service != nullptr) handler(*m_service);
  }
  // Waits for a completion that is running; none runs afterwards.
  void close() {
    std::lock_guard lock(m_lock);
    m_service = nullptr;
  }

 private:
  std::mutex m_lock;
  TarvikService* m_service;
};
