#include "agent-windows/server/ReceiveAccumulator.h"

#include <nlohmann/json.hpp>

#include "foundation/log/Log.h"

bool IsCompleteJson(std::string_view text) {
  LogInfo(L"Start IsCompleteJson!");
  if (nlohmann::json::accept(text)) {
    LogInfo(L"IsCompleteJson OK!");
    return true;
  }
  LogInfo(L"IsCompleteJson Error!");
  return false;
}

std::vector<std::string> ReceiveAccumulator::Append(std::string_view message) {
  std::vector<std::string> texts;
  if (!m_pending.empty()) {
    // A message that starts a text of its own means the waiting prefix will never complete.
    std::string_view head = message.substr(0, message.find('\n'));
    if (IsCompleteJson(head) && !IsCompleteJson(m_pending + std::string(head))) {
      LogWarn(L"Received text dropped, it never completed: %zu bytes", m_pending.size());
      m_pending.clear();
    }
  }
  m_pending.append(message);
  if (IsCompleteJson(m_pending)) {
    texts.push_back(std::move(m_pending));
    m_pending.clear();
    return texts;
  }
  std::size_t lineFeed;
  while ((lineFeed = m_pending.find('\n')) != std::string::npos) {
    std::string piece = m_pending.substr(0, lineFeed);
    m_pending.erase(0, lineFeed + 1);
    if (IsCompleteJson(piece)) texts.push_back(std::move(piece));
  }
  if (m_pending.size() > kLimit) {
    LogWarn(L"Received text dropped, it passed %zu bytes without completing", kLimit);
    m_pending.clear();
  }
  return texts;
}
