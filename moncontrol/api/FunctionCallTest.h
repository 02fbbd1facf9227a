// The tests of the I2C and function commands: a monitor from the simulator or a scripted one,
// opened without registration since none of these commands takes a device mutex, and the
// requests it received.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "moncontrol/api/MonCtrlTest.h"
#include "moncontrol/transport/CommandHeader.h"
#include "testkit/hiddouble/Replies.h"
#include "testkit/monsim/testing/MonitorFixture.h"

using testkit::Bytes;

class FunctionCallTest : public MonCtrlTest {
 protected:
  // The simulator's small monitor "S1", changed as the test needs, plugged in and opened.
  mchid::hid_device* OpenSimulated(const monsim::MonitorDescription& monitor) {
    Simulator().Add(monitor);
    return OpenUnregistered("monsim/S1/0");
  }
  // A new scripted monitor whose output reports are this long, report ID included.
  mchid::hid_device* OpenScripted(std::uint16_t outputReportLength = 65) {
    const std::string path = "scripted:F" + std::to_string(++m_scriptedCount);
    mchid::HidCollection collection = testkit::MonitorCollection(path, L"F");
    collection.output_report_length = outputReportLength;
    m_device = Scripted().AddDevice(collection);
    return OpenUnregistered(path);
  }

  std::vector<monsim::RecordedRequest> SimulatedRequests() { return Simulator().Requests(); }
  monsim::MonitorDescription SimulatedState() { return *Simulator().State("S1"); }
  std::vector<tagMCCMD_HEADER> ScriptedHeaders() const {
    std::vector<tagMCCMD_HEADER> headers;
    for (const Bytes& request : m_device->Requests()) headers.push_back(LoadMccmdHeader(request.data()));
    return headers;
  }

  std::shared_ptr<testkit::ScriptedHidDevice> m_device;  // the last one opened

 private:
  int m_scriptedCount = 0;
};

// The caller's side of one CallFunction or CallFunctionBySplit: the in/out integers (2, 3 and 4
// going in), the status, and the reply data, which it frees.
struct CallerSide {
  using Form = std::uint8_t* (*)(mchid::hid_device*, std::int32_t, std::int32_t*, std::int32_t*, std::int32_t*,
                                 std::uint32_t, std::int32_t*, const void*, std::int32_t*, std::int32_t);

  void Run(Form form, mchid::hid_device* handle, std::int32_t code, const Bytes& send, const void* sendData) {
    std::uint8_t* reply = form(handle, code, &param2, &param3, &param4, static_cast<std::uint32_t>(send.size()),
                               &replyLength, sendData, &status, 1000);
    hadData = reply != nullptr;
    if (reply != nullptr && replyLength > 0) data.assign(reply, reply + replyLength);
    std::free(reply);
  }

  std::int32_t param2 = 2;
  std::int32_t param3 = 3;
  std::int32_t param4 = 4;
  std::int32_t replyLength = -1;
  std::int32_t status = 1;
  Bytes data;
  bool hadData = false;
};

// The bytes from, from + 1, ... (mod 256).
inline Bytes Sequence(std::size_t from, std::size_t count) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(from + i);
  return bytes;
}
