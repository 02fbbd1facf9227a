#include "platform/macos/internal/MachineBus.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/macos/internal/FileDescriptor.h"
#include "platform/macos/internal/MacRoot.h"

namespace macstandin {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBusFolder = "/private/var/run/tarvik-standin/";
constexpr const char* kSocketPrefix = "tarvik-bus-";
// A receiver that does not drain its queue must not hold a sender for ever.
constexpr int kSendTimeoutSeconds = 5;

bool IsPlainName(const std::string& channel) {
  return !channel.empty() && channel != "." && channel != ".." && channel.find('/') == std::string::npos &&
         channel.find('\0') == std::string::npos;
}

std::string ChannelFolder(const std::string& channel) { return MacPathToNative(kBusFolder + channel); }

// The abstract address whose name (after the leading NUL) is socketName.
std::optional<sockaddr_un> AbstractAddress(const std::string& socketName, socklen_t& length) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketName.size() + 1 > sizeof(address.sun_path)) return std::nullopt;
  std::memcpy(address.sun_path + 1, socketName.data(), socketName.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + socketName.size());
  return address;
}

std::string UnguessableName() {
  std::random_device entropy;
  std::string name = kSocketPrefix;
  constexpr char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 32; ++i) name += kHex[entropy() % 16];
  return name;
}

}  // namespace

struct BusReceiver::State {
  std::string channel;
  std::function<void(const std::string&)> onMessage;
  FileDescriptor socket;
  FileDescriptor wakeUp;
  std::string marker;  // empty while not listening
  std::thread thread;

  State(std::string name, std::function<void(const std::string&)> callback, int socketFd, int wakeFd)
      : channel(std::move(name)), onMessage(std::move(callback)), socket(socketFd), wakeUp(wakeFd) {}

  bool Bind(const std::string& socketName) {
    socklen_t length = 0;
    auto address = AbstractAddress(socketName, length);
    return address && bind(socket.Get(), reinterpret_cast<const sockaddr*>(&*address), length) == 0;
  }

  bool MakeMarker(const std::string& socketName) {
    const fs::path folder = ChannelFolder(channel);
    std::error_code error;
    fs::create_directories(folder, error);
    // Every process of the machine, whoever runs it, may listen on any channel.
    fs::permissions(folder.parent_path(), fs::perms::all, error);
    fs::permissions(folder, fs::perms::all, error);
    const std::string path = (folder / socketName).string();
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    close(fd);
    marker = path;
    return true;
  }

  void Serve() {
    std::vector<char> buffer(kMaxBusMessage);
    pollfd waits[2] = {{socket.Get(), POLLIN, 0}, {wakeUp.Get(), POLLIN, 0}};
    for (;;) {
      if (poll(waits, 2, -1) < 0) {
        if (errno == EINTR) continue;
        std::fprintf(stderr, "bus channel %s: poll failed: %s\n", channel.c_str(), std::strerror(errno));
        return;
      }
      if (waits[1].revents != 0) return;
      if (waits[0].revents == 0) continue;
      const ssize_t got = recv(socket.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC);
      if (got < 0) continue;
      if (static_cast<std::size_t>(got) > buffer.size()) {
        std::fprintf(stderr, "bus channel %s: dropped a message of %zd bytes\n", channel.c_str(), got);
        continue;
      }
      onMessage(std::string(buffer.data(), static_cast<std::size_t>(got)));
    }
  }
};

BusReceiver::BusReceiver(const std::string& channel, std::function<void(const std::string&)> onMessage)
    : m_state(std::make_unique<State>(channel, std::move(onMessage), socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0),
                                      eventfd(0, EFD_CLOEXEC))) {
  State& state = *m_state;
  if (!IsPlainName(channel)) {
    std::fprintf(stderr, "bus channel \"%s\" is not a plain name\n", channel.c_str());
    return;
  }
  if (state.socket.Get() < 0 || state.wakeUp.Get() < 0) return;
  const std::string socketName = UnguessableName();
  if (!state.Bind(socketName) || !state.MakeMarker(socketName)) {
    std::fprintf(stderr, "bus channel %s: cannot listen: %s\n", channel.c_str(), std::strerror(errno));
    return;
  }
  state.thread = std::thread([&state] { state.Serve(); });
}

BusReceiver::~BusReceiver() {
  State& state = *m_state;
  if (!state.marker.empty()) unlink(state.marker.c_str());
  if (state.thread.joinable()) {
    const std::uint64_t one = 1;
    if (write(state.wakeUp.Get(), &one, sizeof one) < 0) {
      std::fprintf(stderr, "bus channel %s: cannot wake the receiver\n", state.channel.c_str());
    }
    state.thread.join();
  }
}

bool BusReceiver::Listening() const { return m_state->thread.joinable(); }

void BusSend(const std::string& channel, const std::string& message) {
  if (!IsPlainName(channel)) return;
  if (message.size() > kMaxBusMessage) {
    std::fprintf(stderr, "bus channel %s: a message of %zu bytes is too long to send\n", channel.c_str(),
                 message.size());
    return;
  }
  std::error_code error;
  fs::directory_iterator markers(ChannelFolder(channel), error);
  if (error) return;  // nobody ever listened on this machine
  const FileDescriptor sender(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (sender.Get() < 0) return;
  const timeval timeout{kSendTimeoutSeconds, 0};
  setsockopt(sender.Get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  for (const fs::directory_entry& entry : markers) {
    const std::string socketName = entry.path().filename().string();
    if (!socketName.starts_with(kSocketPrefix)) continue;
    socklen_t length = 0;
    const auto address = AbstractAddress(socketName, length);
    if (!address) continue;
    if (sendto(sender.Get(), message.data(), message.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&*address),
               length) >= 0) {
      continue;
    }
    if (errno == ECONNREFUSED || errno == ENOENT) {
      // Its receiver ended without cleaning up.
      fs::remove(entry.path(), error);
    } else {
      std::fprintf(stderr, "bus channel %s: not delivered to %s: %s\n", channel.c_str(), socketName.c_str(),
                   std::strerror(errno));
    }
  }
}

}  // namespace macstandin
