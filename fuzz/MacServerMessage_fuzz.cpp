// A text from the management server as the macOS agent handles it: parsed, answered when it
// carries "cmdid", dispatched by "type" (display commands, firmware entries and their arguments,
// refresh requests). There is no connection, so answers go nowhere.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "agent-macos/log/Log.h"
#include "agent-macos/service/TarvikService.h"
#include "fuzz/ScratchFolder.h"

namespace {

TarvikService& Agent() {
  // Never destroyed: its destructor would stop it, which is not what is fuzzed.
  static TarvikService* const agent = [] {
    ::setenv("TARVIK_MAC_ROOT", fuzzing::ScratchFolder("mac_server_message").c_str(), 1);
    // The agent logs every message it handles; errors only, so that the fuzzer is not slowed down.
    Utils::setLogLevel(LogLevel::error);
    return new TarvikService;
  }();
  return *agent;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Agent().handleServerMessage(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
