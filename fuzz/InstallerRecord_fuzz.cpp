// The installer's progress pipe as the pipe thread reads it, one message at a time.
//
// Input: one set-up byte, then messages, each a length byte and that many bytes (fewer at the
// input's end). The set-up byte's bit 0 begins an update whose installer was started, bit 1
// leaves another firmware command waiting behind it. A message of at most one record is read
// into a zeroed record and handled; a longer one ends the installer's connection, as the
// reader's failed read does, and the next message comes from an installer that connects anew.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "agent-windows/pipe/InstallerMessages.h"
#include "agent-windows/pipe/InstallerProgressMessage.h"
#include "agent-windows/update/InstallQueue.h"
#include "fuzz/AgentWorld.h"

namespace {

constexpr std::uint8_t kUpdateRunning = 1;
constexpr std::uint8_t kCommandWaiting = 2;

constexpr char kFirmwareCommand[] =
    R"({"cmdid":1,"type":"firmwareUpdateCommand","monitorList":[{"index":0,"serialNumber":"S",)"
    R"("updatePackageInfo":{"packageUrl":"fw.bin","packageSize":10,"userId":3}}]})";

void SetUpUpdates(std::uint8_t setup) {
  if ((setup & kUpdateRunning) == 0) return;
  if (const std::optional<UpdateId> update = QueueWhileUpdating(kFirmwareCommand)) MarkInstallerStarting(*update);
  if ((setup & kCommandWaiting) != 0) QueueWhileUpdating(kFirmwareCommand);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzworld::MakeAgentWorld("installer_record");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  fuzzworld::ResetAgentWorld();
  SetUpUpdates(data[0]);
  OnInstallerConnected();
  const std::uint8_t* end = data + size;
  for (const std::uint8_t* next = data + 1; next != end;) {
    const std::size_t declared = *next++;
    const std::size_t length = std::min(declared, static_cast<std::size_t>(end - next));
    if (length <= kInstallerMessageSize) {
      std::array<std::uint8_t, kInstallerMessageSize> record{};
      std::copy_n(next, length, record.begin());
      OnInstallerMessage(ReadInstallerProgressMessage(record.data(), record.size()));
    } else {
      OnInstallerConnected();
    }
    next += length;
  }
  return 0;
}
