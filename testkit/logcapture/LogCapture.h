// Records the lines written through the log front-end while it is alive, with their levels,
// by standing in for spdlog's default logger.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

namespace testkit {

struct LogLine {
  spdlog::level::level_enum level;
  std::string text;
  bool operator==(const LogLine&) const = default;
};

class LogCapture {
 public:
  LogCapture() : m_previous(spdlog::default_logger()), m_sink(std::make_shared<Sink>()) {
    auto logger = std::make_shared<spdlog::logger>("log_capture", m_sink);
    logger->set_level(spdlog::level::trace);
    spdlog::set_default_logger(logger);
  }
  ~LogCapture() { spdlog::set_default_logger(m_previous); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LogLine> Lines() const { return m_sink->Lines(); }
  std::vector<std::string> Errors() const {
    std::vector<std::string> errors;
    for (const LogLine& line : Lines())
      if (line.level == spdlog::level::err) errors.push_back(line.text);
    return errors;
  }
  void Clear() { m_sink->Clear(); }

 private:
  class Sink : public spdlog::sinks::base_sink<std::mutex> {
   public:
    std::vector<LogLine> Lines() {
      std::lock_guard<std::mutex> lock(this->mutex_);
      return m_lines;
    }
    void Clear() {
      std::lock_guard<std::mutex> lock(this->mutex_);
      m_lines.clear();
    }

   protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
      m_lines.push_back({message.level, std::string(message.payload.data(), message.payload.size())});
    }
    void flush_() override {}

   private:
    std::vector<LogLine> m_lines;
  };

  std::shared_ptr<spdlog::logger> m_previous;
  std::shared_ptr<Sink> m_sink;
};

}  // namespace testkit
