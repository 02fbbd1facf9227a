#include "agent-macos/connection/ConnectionIo.h"

#include <boost/asio/executor_work_guard.hpp>
#include <thread>

namespace {

[[noreturn]] void Serve(boost::asio::io_context& io) {
  const auto work = boost::asio::make_work_guard(io);
  for (;;) {
    try {
      io.run();
    } catch (...) {
      // A completion that throws loses only itself, not every connection's I/O.
    }
  }
}

}  // namespace

boost::asio::io_context& ConnectionIoContext() {
  static boost::asio::io_context* const io = [] {
    auto* context = new boost::asio::io_context(1);
    std::thread([context] { Serve(*context); }).detach();
    return context;
  }();
  return *io;
}
