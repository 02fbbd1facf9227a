#include "bench/agent-cost/StampedOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace agentcost {

StampedOutput::StampedOutput(const std::string& path) {
  if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("cannot make the FIFO " + path);
  m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (m_fd < 0) throw std::runtime_error("cannot open the FIFO " + path);
}

StampedOutput::~StampedOutput() {
  if (m_reader.joinable()) m_reader.join();
  ::close(m_fd);
}

void StampedOutput::Follow() {
  // Blocking from now on: a read without a writer would end at once.
  ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
  m_reader = std::thread([this] { Read(); });
}

std::vector<LogLine> StampedOutput::Lines() const {
  std::lock_guard lock(m_mutex);
  return m_lines;
}

void StampedOutput::Read() {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    const auto at = WallClock::now();
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t start = 0;
    std::lock_guard lock(m_mutex);
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
      m_lines.push_back({at, pending.substr(start, end - start)});
    pending.erase(0, start);
  }
}

}  // namespace agentcost
