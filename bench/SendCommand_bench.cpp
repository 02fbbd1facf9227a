// One SendCommand exchange against a scripted monitor that answers at once.
#include <benchmark/benchmark.h>

#include <memory>

#include "moncontrol/hid/HidApi.h"
#include "moncontrol/transport/HidTransport.h"
#include "moncontrol/transport/Signature.h"
#include "testkit/hiddouble/Replies.h"
#include "testkit/hiddouble/ScriptedHidDevice.h"

namespace {

void BM_SendCommandExchange(benchmark::State& state) {
  auto backend = std::make_shared<testkit::ScriptedHidBackend>();
  auto device = backend->AddDevice(testkit::MonitorCollection());
  device->AnswerEveryRequest(testkit::ReplyStatus(0, {0x6E, 0x88, 0x02, 0x00, 0x10}));
  mchid::SetHidBackend(backend);
  mchid::hid_device* handle = mchid::hid_open_path(device->Collection().path.c_str());

  tagMCCMD_HEADER header{};
  header.dataLength = 4;
  header.cmdID = 0x12345601;
  header.cmdType = MCCMD_TYPE_DDCCI;
  header.param1 = 0x6E;
  header.param2 = 0x51;
  std::uint8_t request[128] = {};
  StoreMccmdHeader(header, request);
  const std::uint8_t getVcp[] = {0x51, 0x82, 0x01, 0x10};
  std::copy(std::begin(getVcp), std::end(getVcp), request + kMccmdHeaderSize);
  SignCmdHeader(request);

  std::uint8_t buffer[128];
  std::int32_t received = 0;
  std::size_t exchanges = 0;
  for (auto _ : state) {
    std::copy(std::begin(request), std::end(request), buffer);
    if (SendCommand(handle, sizeof(buffer), buffer, &received, -1) != 0) {
      state.SkipWithError("exchange failed");
      break;
    }
    benchmark::DoNotOptimize(received);
    if ((++exchanges & 1023) == 0) device->ClearRecords();  // keeps the records bounded
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));

  mchid::hid_close(handle);
  mchid::SetHidBackend(nullptr);
}

BENCHMARK(BM_SendCommandExchange);

}  // namespace
