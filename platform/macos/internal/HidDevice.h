// The object behind IOHIDDeviceRef: one collection of the device source.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "moncontrol/hid/HidBackend.h"
#include "platform/macos/api/IOHIDDevice.h"
#include "platform/macos/internal/CFObject.h"
#include "platform/macos/internal/InputPump.h"
#include "platform/macos/internal/RunLoop.h"

// A device must be unscheduled before its last release, unless that release happens on the
// thread of the run loop it is scheduled on.
struct IOHIDDeviceObject final : macstandin::CFObject {
  // Takes over the reference of service, the registry entry of collection.
  IOHIDDeviceObject(io_service_t service, mchid::HidCollection collection);
  ~IOHIDDeviceObject() override;
  CFTypeID TypeId() const override { return macstandin::kHidDeviceTypeId; }

  io_service_t Service() const { return m_service; }
  CFTypeRef Property(CFStringRef key) const;

  IOReturn Open();
  IOReturn Close();
  IOReturn SetReport(IOHIDReportType type, CFIndex reportId, const uint8_t* report, CFIndex length);
  IOReturn GetReport(IOHIDReportType type, CFIndex reportId, uint8_t* report, CFIndex* length);

  void RegisterInputReportCallback(uint8_t* report, CFIndex length, IOHIDReportCallback callback, void* context);
  void RegisterRemovalCallback(IOHIDCallback callback, void* context);
  void Schedule(CFRunLoopRef runLoop);
  void Unschedule(CFRunLoopRef runLoop);

 private:
  struct InputCallback {
    uint8_t* report = nullptr;
    CFIndex length = 0;
    IOHIDReportCallback callback = nullptr;
    void* context = nullptr;
  };
  struct RemovalCallback {
    IOHIDCallback callback = nullptr;
    void* context = nullptr;
  };

  // The connection for a report call; null with the error to give when there is none.
  std::shared_ptr<mchid::HidConnection> ConnectionForCall(IOReturn& error);
  // Input is pumped while the device is open, scheduled, has an input callback and is present.
  void UpdatePump();
  // On the run loop's thread.
  void DeliverInput(const std::vector<uint8_t>& report);
  void DeliverRemoval();

  const io_service_t m_service;
  const mchid::HidCollection m_collection;
  const std::map<std::u16string, macstandin::Retained<const macstandin::CFObject>> m_properties;

  std::mutex m_mutex;
  std::shared_ptr<mchid::HidBackend> m_source;  // kept alive while its connection is open
  std::shared_ptr<mchid::HidConnection> m_connection;
  macstandin::Retained<CFRunLoopObject> m_runLoop;
  InputCallback m_input;
  RemovalCallback m_removal;
  bool m_gone = false;
  std::unique_ptr<macstandin::InputPump> m_pump;
  macstandin::Retained<CFRunLoopObject> m_pumpRunLoop;  // where m_pump delivers
};
