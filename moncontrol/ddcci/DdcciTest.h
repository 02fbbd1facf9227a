// The tests of the DDC/CI commands: a scripted monitor opened and registered through
// OpenMonCtrl2, the requests it received, and replies built as a display frames them.
#pragma once

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "moncontrol/api/MonCtrlTest.h"
#include "moncontrol/transport/CommandHeader.h"
#include "testkit/hiddouble/DisplayReplies.h"

using testkit::Bytes;

class DdcciTest : public MonCtrlTest {
 protected:
  void SetUp() override {
    MonCtrlTest::SetUp();
    m_device = AddScriptedMonitor(L"D1");
    m_handle = OpenRegistered(L"D1");
    ASSERT_NE(m_handle, nullptr);
  }

  std::size_t RequestCount() const { return m_device->Requests().size(); }
  tagMCCMD_HEADER RequestHeader(std::size_t index) const {
    return LoadMccmdHeader(m_device->Requests().at(index).data());
  }
  Bytes RequestPayload(std::size_t index) const {
    Bytes request = m_device->Requests().at(index);
    return Bytes(request.begin() + kMccmdHeaderSize, request.end());
  }

  std::shared_ptr<testkit::ScriptedHidDevice> m_device;
  mchid::hid_device* m_handle = nullptr;
};


// Answers as `then` does, and records whether, when the request arrived, another thread
// found the named mutex taken.
inline testkit::Responder RecordingMutexHeld(std::wstring name, std::vector<bool>& held, testkit::Responder then) {
  return [name, &held, then](const tagMCCMD_HEADER& request, const Bytes& bytes) {
    bool taken = false;
    std::thread probe([&] {
      HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
      if (mutex == nullptr) return;
      DWORD result = WaitForSingleObject(mutex, 0);
      if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(mutex);
      taken = result == WAIT_TIMEOUT;
      CloseHandle(mutex);
    });
    probe.join();
    held.push_back(taken);
    return then(request, bytes);
  };
}
