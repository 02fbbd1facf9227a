#include "platform/macos/internal/HidDevice.h"

#include <algorithm>
#include <cstring>

#include "platform/macos/internal/CFValues.h"
#include "platform/macos/internal/DeviceSource.h"

namespace {

using macstandin::CFObject;
using macstandin::Retained;
using PropertyMap = std::map<std::u16string, Retained<const CFObject>>;

// A report-ID byte is part of a collection's report lengths, not of the sizes IOKit reports.
long long ReportSizeOf(std::uint16_t lengthWithId) { return lengthWithId == 0 ? 0 : lengthWithId - 1; }

PropertyMap PropertiesOf(const mchid::HidCollection& collection) {
  PropertyMap properties;
  auto number = [&](const char* key, long long value) {
    properties.emplace(macstandin::ConstantString(key)->units,
                       Retained<const CFObject>::Adopt(macstandin::CreateNumber(value)));
  };
  auto text = [&](const char* key, const std::optional<std::wstring>& value) {
    if (value) {
      properties.emplace(macstandin::ConstantString(key)->units,
                         Retained<const CFObject>::Adopt(macstandin::CreateString(*value)));
    }
  };
  number(kIOHIDVendorIDKey, collection.vendor_id);
  number(kIOHIDProductIDKey, collection.product_id);
  number(kIOHIDVersionNumberKey, collection.release_number);
  number(kIOHIDPrimaryUsagePageKey, collection.usage_page);
  number(kIOHIDPrimaryUsageKey, collection.usage);
  number(kIOHIDMaxInputReportSizeKey, ReportSizeOf(collection.input_report_length));
  number(kIOHIDMaxOutputReportSizeKey, ReportSizeOf(collection.output_report_length));
  text(kIOHIDSerialNumberKey, collection.serial_number);
  text(kIOHIDManufacturerKey, collection.manufacturer_string);
  text(kIOHIDProductKey, collection.product_string);
  return properties;
}

}  // namespace

IOHIDDeviceObject::IOHIDDeviceObject(io_service_t service, mchid::HidCollection collection)
    : m_service(service), m_collection(std::move(collection)), m_properties(PropertiesOf(m_collection)) {}

IOHIDDeviceObject::~IOHIDDeviceObject() {
  m_connection = nullptr;
  UpdatePump();
  if (m_runLoop) m_runLoop->Detach();
  IOObjectRelease(m_service);
}

CFTypeRef IOHIDDeviceObject::Property(CFStringRef key) const {
  auto found = m_properties.find(key->units);
  return found == m_properties.end() ? nullptr : found->second.Get();
}

IOReturn IOHIDDeviceObject::Open() {
  {
    std::lock_guard lock(m_mutex);
    if (m_gone) return kIOReturnNoDevice;
    if (m_connection) return kIOReturnSuccess;
    auto source = macstandin::CurrentHidDeviceSource();
    std::unique_ptr<mchid::HidConnection> connection = source ? source->OpenPath(m_collection.path) : nullptr;
    if (!connection) return kIOReturnNoDevice;
    m_source = std::move(source);
    m_connection = std::move(connection);
  }
  UpdatePump();
  return kIOReturnSuccess;
}

IOReturn IOHIDDeviceObject::Close() {
  {
    std::lock_guard lock(m_mutex);
    if (!m_connection) return kIOReturnNotOpen;
    m_connection = nullptr;
  }
  UpdatePump();
  return kIOReturnSuccess;
}

std::shared_ptr<mchid::HidConnection> IOHIDDeviceObject::ConnectionForCall(IOReturn& error) {
  std::lock_guard lock(m_mutex);
  error = m_gone ? kIOReturnNoDevice : kIOReturnNotOpen;
  return m_gone ? nullptr : m_connection;
}

IOReturn IOHIDDeviceObject::SetReport(IOHIDReportType type, CFIndex reportId, const uint8_t* report, CFIndex length) {
  IOReturn error;
  auto connection = ConnectionForCall(error);
  if (!connection) return error;
  if (length < 0 || (report == nullptr && length > 0) || reportId < 0 || reportId > 0xFF) return kIOReturnBadArgument;
  std::vector<uint8_t> bytes;
  if (reportId == 0) bytes.push_back(0);
  bytes.insert(bytes.end(), report, report + length);
  if (bytes.empty()) return kIOReturnBadArgument;
  int result;
  switch (type) {
    case kIOHIDReportTypeOutput:
      result = connection->WriteReport(bytes.data(), bytes.size());
      break;
    case kIOHIDReportTypeFeature:
      result = connection->SendFeatureReport(bytes.data(), bytes.size());
      break;
    default:
      return kIOReturnBadArgument;
  }
  return result < 0 ? kIOReturnError : kIOReturnSuccess;
}

IOReturn IOHIDDeviceObject::GetReport(IOHIDReportType type, CFIndex reportId, uint8_t* report, CFIndex* length) {
  IOReturn error;
  auto connection = ConnectionForCall(error);
  if (!connection) return error;
  if (length == nullptr || *length < 0 || (report == nullptr && *length > 0) || reportId < 0 || reportId > 0xFF) {
    return kIOReturnBadArgument;
  }
  // The source wants the report ID in front, which a report of ID 0 does not carry here.
  const std::size_t skipped = reportId == 0 ? 1 : 0;
  std::vector<uint8_t> bytes(static_cast<std::size_t>(*length) + skipped);
  if (bytes.empty()) return kIOReturnBadArgument;
  bytes[0] = static_cast<uint8_t>(reportId);
  int got;
  switch (type) {
    case kIOHIDReportTypeInput:
      got = connection->GetInputReport(bytes.data(), bytes.size()) ? static_cast<int>(bytes.size()) : -1;
      break;
    case kIOHIDReportTypeFeature:
      got = connection->GetFeatureReport(bytes.data(), bytes.size());
      break;
    default:
      return kIOReturnBadArgument;
  }
  if (got < 0) return kIOReturnError;
  std::size_t kept = std::min<std::size_t>(got, bytes.size());
  kept = kept > skipped ? kept - skipped : 0;
  std::copy_n(bytes.begin() + skipped, kept, report);
  *length = static_cast<CFIndex>(kept);
  return kIOReturnSuccess;
}

void IOHIDDeviceObject::RegisterInputReportCallback(uint8_t* report, CFIndex length, IOHIDReportCallback callback,
                                                    void* context) {
  {
    std::lock_guard lock(m_mutex);
    m_input = callback ? InputCallback{report, std::max<CFIndex>(length, 0), callback, context} : InputCallback{};
  }
  UpdatePump();
}

void IOHIDDeviceObject::RegisterRemovalCallback(IOHIDCallback callback, void* context) {
  std::lock_guard lock(m_mutex);
  m_removal = RemovalCallback{callback, context};
}

void IOHIDDeviceObject::Schedule(CFRunLoopRef runLoop) {
  {
    std::lock_guard lock(m_mutex);
    if (m_runLoop) return;
    m_runLoop = Retained<CFRunLoopObject>(runLoop);
    runLoop->Attach();
  }
  UpdatePump();
}

void IOHIDDeviceObject::Unschedule(CFRunLoopRef runLoop) {
  Retained<CFRunLoopObject> left;
  {
    std::lock_guard lock(m_mutex);
    if (m_runLoop.Get() != runLoop) return;
    left = std::move(m_runLoop);
    m_runLoop = {};
  }
  UpdatePump();
  left->Detach();
}

void IOHIDDeviceObject::UpdatePump() {
  std::unique_ptr<macstandin::InputPump> stopped;
  Retained<CFRunLoopObject> stoppedRunLoop;
  {
    std::lock_guard lock(m_mutex);
    bool wanted = m_connection && m_runLoop && m_input.callback && !m_gone;
    if (m_pump && !(wanted && m_pumpRunLoop.Get() == m_runLoop.Get())) {
      stopped = std::move(m_pump);
      stoppedRunLoop = std::move(m_pumpRunLoop);
      m_pumpRunLoop = {};
    }
    if (wanted && !m_pump) {
      m_pumpRunLoop = m_runLoop;
      CFRunLoopObject* loop = m_runLoop.Get();
      long long reportSize = ReportSizeOf(m_collection.input_report_length);
      m_pump = std::make_unique<macstandin::InputPump>(
          m_connection, static_cast<std::size_t>(reportSize > 0 ? reportSize : m_input.length),
          [this, loop](std::vector<uint8_t> report) {
            loop->Post(this, [this, report = std::move(report)] { DeliverInput(report); });
          },
          [this, loop] { loop->Post(this, [this] { DeliverRemoval(); }); });
    }
  }
  // Joining may take a read slice, so it happens outside the lock; what the stopped pump
  // posted and was not delivered yet is dropped.
  stopped = nullptr;
  if (stoppedRunLoop) stoppedRunLoop->Purge(this);
}

void IOHIDDeviceObject::DeliverInput(const std::vector<uint8_t>& report) {
  InputCallback input;
  {
    std::lock_guard lock(m_mutex);
    input = m_input;
  }
  if (!input.callback) return;
  CFIndex length = std::min<CFIndex>(static_cast<CFIndex>(report.size()), input.length);
  std::copy_n(report.begin(), length, input.report);
  // The source's input reports carry no report ID.
  input.callback(input.context, kIOReturnSuccess, this, kIOHIDReportTypeInput, 0, input.report, length);
}

void IOHIDDeviceObject::DeliverRemoval() {
  RemovalCallback removal;
  {
    std::lock_guard lock(m_mutex);
    removal = m_removal;
  }
  if (removal.callback) removal.callback(removal.context, kIOReturnSuccess, this);
  // Until now calls still reach the connection, which fails them: the device is marked gone
  // only once the removal was told, so a call that fails here comes after the callback.
  std::lock_guard lock(m_mutex);
  m_gone = true;
}
