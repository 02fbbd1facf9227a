// Datagrams between the processes of the stand-in machine (those of one TARVIK_MAC_ROOT), by
// channel. A receiver binds an abstract Unix datagram socket and leaves a marker file named
// after it in "<root>/private/var/run/tarvik-standin/<channel>/"; a sender sends to every
// marker there and removes those whose socket is gone. Nothing is sent where nobody listens.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace macstandin {

// The largest message a channel carries.
inline constexpr std::size_t kMaxBusMessage = 64 * 1024;

class BusReceiver {
 public:
  // Listens on channel; onMessage runs on the receiver's own thread, one message at a time.
  BusReceiver(const std::string& channel, std::function<void(const std::string&)> onMessage);
  // Stops listening and removes the marker; once it returns onMessage does not run again. Not
  // to be called from onMessage.
  ~BusReceiver();
  BusReceiver(const BusReceiver&) = delete;
  BusReceiver& operator=(const BusReceiver&) = delete;

  // False when the socket or its marker could not be made; then nothing is received.
  bool Listening() const;

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

// Sends message to every receiver of channel, this process's own included; a message longer
// than kMaxBusMessage is not sent.
void BusSend(const std::string& channel, const std::string& message);

}  // namespace macstandin
