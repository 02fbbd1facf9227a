// Sends control commands to a running monsim program (server/ControlCommands.h lists them).
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace monsim {

class ControlClient {
 public:
  explicit ControlClient(std::string socketPath) : m_socketPath(std::move(socketPath)) {}
  // The command's answer. Throws std::runtime_error when monsim cannot be reached or gives
  // no answer.
  nlohmann::json Send(const nlohmann::json& command) const;

 private:
  std::string m_socketPath;
};

}  // namespace monsim
