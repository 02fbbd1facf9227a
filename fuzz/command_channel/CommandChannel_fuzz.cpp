// The monitor's replies and unsolicited messages, as the library's public calls read them
// over an open device. The first input byte picks the call, the second is its argument; the
// rest is the monitor's side (see FuzzedMonitor.h).
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <spdlog/spdlog.h>

#include "fuzz/ScratchFolder.h"
#include "fuzz/command_channel/FuzzedMonitor.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/api/FunctionCallApi.h"
#include "moncontrol/api/IicApi.h"
#include "moncontrol/api/LibraryState.h"
#include "moncontrol/api/VersionsApi.h"
#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/MonitorFeatureApi.h"
#include "moncontrol/ddcci/VcpByVectorApi.h"
#include "moncontrol/ddcci/vendor/VendorApi.h"
#include "moncontrol/transport/HidTransport.h"
#include "moncontrol/transport/ListenerRecord.h"
#include "moncontrol/transport/ListenerThread.h"
#include "testkit/hiddouble/Replies.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Harness {
  testkit::FakeClock clock;
  fuzzing::FuzzedMonitor monitor{clock};
  mchid::hid_device* handle = nullptr;
};

Harness* g_harness = nullptr;
volatile std::uint8_t g_sink;

// Reads every byte the library says it delivered, so that a count beyond the buffer shows.
void Touch(const std::uint8_t* bytes, std::size_t count) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
  g_sink = sum;
}

void TouchAndFree(std::uint8_t* handed, std::size_t count) {
  if (handed != nullptr) Touch(handed, count);
  std::free(handed);
}

void RunSendCommand(mchid::hid_device* handle, std::uint8_t arg) {
  // The buffer is exactly as long as the caller says.
  const std::size_t bufLen = kMccmdHeaderSize + 4u * arg;
  const Bytes request = SignedRequest(0x01020304, 0x6E, 0x51, Bytes(arg % 8, 0x5A));  // fits: arg % 8 <= 4 * arg
  Bytes buffer(bufLen);
  std::copy(request.begin(), request.end(), buffer.begin());
  std::int32_t received = 0;
  if (SendCommand(handle, static_cast<std::int32_t>(bufLen), buffer.data(), &received, 1000) == 0)
    Touch(buffer.data(), static_cast<std::size_t>(received));
}

void RunVcpReads(mchid::hid_device* handle, std::uint8_t arg) {
  std::int32_t current = 0;
  std::int32_t maximum = 0;
  GetVCPFeatureL(handle, arg, &current, &maximum);
  GetVCPFeatureDaisyChain(handle, arg & 3, 0x10, &current, &maximum);
}

void RunVectorRead(mchid::hid_device* handle, std::uint8_t arg) {
  GetVCPFeatureByVector(handle, (arg & 1) != 0 ? kVcpExtendedSelect : arg, arg);
  std::int32_t current = 0;
  std::int32_t maximum = 0;
  GetMonitorFeature(handle, arg, &current, &maximum);
}

void RunCapabilities(mchid::hid_device* handle, std::uint8_t) {
  std::vector<char> out(kCapabilitiesMaxLength);
  std::uint32_t length = 0;
  GetCapabilities(handle, &length, out.data());
  Touch(reinterpret_cast<const std::uint8_t*>(out.data()), length);
}

void RunPassThrough(mchid::hid_device* handle, std::uint8_t arg) {
  const std::uint8_t frame[] = {0x51, 0x82, 0x01, arg, static_cast<std::uint8_t>(0x6E ^ 0x51 ^ 0x82 ^ 0x01 ^ arg)};
  Bytes reply(kPassThroughMaxFrame + 1);
  std::uint32_t replyLength = 0;
  if (SEND_CMD_DDCCI(handle, sizeof frame, &replyLength, frame, reply.data()) == 0) Touch(reply.data(), replyLength);
}

void RunVendorCommand(mchid::hid_device* handle, std::uint8_t arg) {
  std::uint32_t size = 0;
  const std::uint8_t payload[] = {arg, 0x01};
  TouchAndFree(CallDdcciCmd(handle, &size, arg, sizeof payload, payload), size);
  std::int32_t payloadLength = sizeof payload;
  TouchAndFree(CallPassUartCommand(handle, &size, &payloadLength, payload), size);
}

void RunMonitorQueries(mchid::hid_device* handle, std::uint8_t arg) {
  std::uint8_t errorCode = 0;
  CallGetMonitorCount(handle, arg);
  CallGetMonitorStatus(handle, arg, &errorCode);
  CallNotifyAllFwTransFinished(handle, arg);
}

void RunTableCommands(mchid::hid_device* handle, std::uint8_t arg) {
  // One table per input: each read goes on through twenty failed chunks.
  std::uint32_t size = 1024;
  std::uint8_t* table = nullptr;
  switch (arg % 3) {
    case 0: table = CallGetMonitorInfo(handle, arg); break;
    case 1: table = CallGetChildInfo(handle, 0, arg); break;
    default: table = CallDdcciReadTableCmd(handle, &size, (arg & 4) != 0 ? 0xA2 : 0xA1, 0, arg); break;
  }
  TouchAndFree(table, size);
}

void RunReadTable(mchid::hid_device* handle, std::uint8_t arg) {
  std::uint32_t capacity = 8u * arg;
  Bytes buffer(capacity);
  const std::int32_t delivered = ReadTable(handle, 0xA1, 0, arg, &capacity, buffer.data());
  if (delivered > 0) Touch(buffer.data(), std::min<std::size_t>(static_cast<std::size_t>(delivered), buffer.size()));
}

void RunWriteTable(mchid::hid_device* handle, std::uint8_t arg) {
  const Bytes data(arg, 0xA5);
  WriteTable(handle, 0xA1, static_cast<std::uint32_t>(data.size()), data.data());
  std::uint32_t length = static_cast<std::uint32_t>(data.size());
  std::free(CallDdcciWriteTableCmd(handle, &length, data.data(), 0xA1, 0, 0));
}

void RunDaisyChain(mchid::hid_device* handle, std::uint8_t arg) {
  std::uint32_t size = 0;
  TouchAndFree(CallDaisyChainFunc(handle, arg & 3, 1, 2, 3, 4, 5, &size), size);
  CallDaisyChainSetScalarIICBufferSizeInDaisyChainMode(handle, arg);
  CallDaisyChainNegotiateMonitorReadiness(handle, arg, 7);
  CallDaisyChainNotifyScalarPrepareEnvironment(handle);
  CallDaisyChainNotifyPackageSendFinished(handle, arg);
}

void RunVersions(mchid::hid_device* handle, std::uint8_t arg) {
  std::int32_t version = 0;
  GetMonCtrlVersion(handle, &version);
  GetMCUVersion(handle, arg, 1, &version, 1000);
  std::int32_t status = 0;
  GetHPDStatus(handle, &status);
  std::uint8_t gsensor[kGsensorStatusLength];
  GetGsensorStatus(handle, gsensor);
}

void RunFunctionCall(mchid::hid_device* handle, std::uint8_t arg) {
  // Bit 0 picks the split form, the rest the size of the data sent.
  const bool split = (arg & 1) != 0;
  const Bytes send(8u * (arg >> 1), 0x3C);
  std::int32_t param2 = 2;
  std::int32_t param3 = 3;
  std::int32_t param4 = 4;
  std::int32_t replyLength = 0;
  std::int32_t status = 0;
  auto call = split ? CallFunctionBySplit : CallFunction;
  std::uint8_t* reply = call(handle, 0x21, &param2, &param3, &param4, static_cast<std::uint32_t>(send.size()),
                             &replyLength, send.data(), &status, 1000);
  TouchAndFree(reply, reply != nullptr && replyLength > 0 ? static_cast<std::size_t>(replyLength) : 0);
}

void RunIic(mchid::hid_device* handle, std::uint8_t arg) {
  Bytes buffer(arg);
  const std::int32_t delivered = ReadIIC(handle, 0x50, 0x10, arg, static_cast<std::uint32_t>(buffer.size()), buffer.data());
  if (delivered > 0) Touch(buffer.data(), static_cast<std::size_t>(delivered));
}

void RunSetters(mchid::hid_device* handle, std::uint8_t arg) {
  SetVCPFeatureL(handle, arg, 0x1234);
  const std::int32_t extended[] = {kVcpExtendedSelect, arg, 5};
  SetVCPFeatureByVector(handle, extended, 0);
}

void OnMessage(mchid::hid_device*, wchar_t*, void* message, std::size_t length) {
  Touch(static_cast<const std::uint8_t*>(message), length);
}

// The body of a listener's thread, run on this thread over a handle of its own: it stops
// when the input is used up, and closes its handle as a released listener does.
void RunListener(mchid::hid_device*, std::uint8_t arg) {
  auto record = std::make_unique<ListenerRecord>();
  record->vid = kMonCtrlVendorId;
  record->pid = kMonCtrlProductId;
  record->serialNumber = nullptr;
  record->interfaceNumber = -1;
  record->hidDevice = mchid::hid_open_path(g_harness->monitor.Collection().path.c_str());
  record->callback = (arg & 1) != 0 ? &OnMessage : nullptr;
  record->bListen = 1;
  g_harness->monitor.OnExhausted([r = record.get()] { AskToStop(*r); });
  MCListenThread(record.get());
  g_harness->monitor.OnExhausted(nullptr);
  CloseMonCtrl(record->hidDevice);
}

using Entry = void (*)(mchid::hid_device* handle, std::uint8_t arg);

constexpr Entry kEntries[] = {
    RunSendCommand,   RunVcpReads,       RunVectorRead,  RunCapabilities, RunPassThrough,
    RunVendorCommand, RunMonitorQueries, RunTableCommands, RunReadTable,  RunWriteTable,
    RunDaisyChain,    RunVersions,       RunFunctionCall, RunIic,         RunSetters,
    RunListener,
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Named mutexes of this process's own, gone when it ends.
  setenv("TARVIK_KERNEL_OBJECTS", fuzzing::ScratchFolder("command_channel").c_str(), 1);
  spdlog::set_level(spdlog::level::off);

  g_harness = new Harness();
  mchid::SetHidBackend(std::make_shared<fuzzing::FuzzedBackend>(g_harness->monitor));
  Init();
  g_harness->handle = OpenMonCtrl2(kMonCtrlVendorId, kMonCtrlProductId, L"FUZZ0001", -1);
  if (g_harness->handle == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  g_harness->monitor.Feed(data + 2, size - 2);
  kEntries[data[0] % std::size(kEntries)](g_harness->handle, data[1]);
  return 0;
}
