// An environment variable set (or unset) for as long as the holder lives, then put back as
// it was, so one test's machine does not leak into the next.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace macstandin::testing {

class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const std::optional<std::string>& value) : m_name(std::move(name)) {
    if (const char* previous = std::getenv(m_name.c_str())) m_previous = previous;
    Apply(value);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() { Apply(m_previous); }

 private:
  void Apply(const std::optional<std::string>& value) const {
    if (value) setenv(m_name.c_str(), value->c_str(), 1);
    else unsetenv(m_name.c_str());
  }

  std::string m_name;
  std::optional<std::string> m_previous;
};

}  // namespace macstandin::testing
