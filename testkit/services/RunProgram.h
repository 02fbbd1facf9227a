// Runs a program to its end, within a time limit, and keeps what it wrote.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace testkit {

struct ProgramResult {
  int exitCode = -1;  // -1: killed at the time limit or not started
  std::string output;
  std::string error;
};

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::pair<std::string, std::string>>& environment = {},
                         std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace testkit
