#include "agent-macos/connection/WebSocketTask.h"

#include "agent-macos/connection/WebSocketConnection.h"

std::shared_ptr<WebSocketTask> WebSocketTask::Create(ServerURL url, Headers headers,
                                                     WebSocketTaskLimits limits) {
  auto connection = std::make_shared<WebSocketConnection>(url, std::move(headers), limits);
  return std::shared_ptr<WebSocketTask>(new WebSocketTask(std::move(url), std::move(connection)));
}

WebSocketTask::WebSocketTask(ServerURL url, std::shared_ptr<WebSocketConnection> connection)
    : m_url(std::move(url)), m_connection(std::move(connection)) {}

void WebSocketTask::Resume() { m_connection->Resume(); }

void WebSocketTask::Send(std::string text, SendCompletion completion) {
  m_connection->Send(std::move(text), std::move(completion));
}

void WebSocketTask::Receive(ReceiveCompletion completion) {
  m_connection->Receive(std::move(completion));
}

void WebSocketTask::Cancel(std::uint16_t closeCode) { m_connection->Cancel(closeCode); }

bool WebSocketTask::WaitUntilEnded(std::chrono::milliseconds limit) { return m_connection->WaitUntilEnded(limit); }

void WebSocketTask::Dispatch(std::function<void()> work) {
  m_connection->Dispatch(std::move(work));
}
