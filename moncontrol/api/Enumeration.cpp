#include <cstdlib>
#include <cwchar>

#include "foundation/log/Log.h"
#include "moncontrol/api/Devices.h"
#include "moncontrol/api/MonCtrlEnumeration.h"
#include "moncontrol/api/StatusCodes.h"

namespace {

void CopyString(wchar_t (&field)[kMonCtrlInfoStringLength], const wchar_t* text) {
  std::size_t length = text != nullptr ? wcsnlen(text, kMonCtrlInfoStringLength - 1) : 0;
  if (length != 0) std::wmemcpy(field, text, length);
  field[length] = L'\0';
}

void Fill(tagMONCTRLINFO& record, const mchid::hid_device_info& info) {
  record.vendor_id = info.vendor_id;
  record.product_id = info.product_id;
  record.release_number = info.release_number;
  record.usage_page = info.usage_page;
  record.usage = info.usage;
  record.interface_number = info.interface_number;
  record.input_report_length = info.input_report_length;
  record.output_report_length = info.output_report_length;
  CopyString(record.serial_number, info.serial_number);
  CopyString(record.manufacturer_string, info.manufacturer_string);
  CopyString(record.product_string, info.product_string);
}

std::int32_t Count(const MonCtrlEnumeration& devices, bool all) {
  std::int32_t count = 0;
  devices.ForEach(all, [&](const mchid::hid_device_info&) { ++count; });
  return count;
}

}  // namespace

MonCtrlEnumeration::MonCtrlEnumeration()
    : m_devices(mchid::hid_enumerate(kMonCtrlVendorId, kMonCtrlProductId)) {}

MonCtrlEnumeration::~MonCtrlEnumeration() { mchid::hid_free_enumeration(m_devices); }

bool MonCtrlEnumeration::IsMonCtrlInterface(const mchid::hid_device_info& info) {
  return info.usage_page == kMonCtrlUsagePage && info.usage == kMonCtrlUsage;
}

std::int32_t GetMonCtrlCount(std::int32_t all) { return Count(MonCtrlEnumeration(), all != 0); }

std::int32_t GetMonCtrlList(tagMONCTRLINFO** list, std::int32_t all) {
  if (list == nullptr) return MC_ERR_INVALID_ARG;
  std::free(*list);
  *list = nullptr;

  // Counted and filled from one enumeration, so the records always match the count.
  MonCtrlEnumeration devices;
  std::int32_t count = Count(devices, all != 0);
  if (count < 1) return 0;
  auto* records = static_cast<tagMONCTRLINFO*>(std::calloc(static_cast<std::size_t>(count), sizeof(tagMONCTRLINFO)));
  if (records == nullptr) {
    LogError(L"GetMonCtrlList cannot allocate %d records", count);
    return MC_ERR_NO_MEMORY;
  }
  std::int32_t filled = 0;
  devices.ForEach(all != 0, [&](const mchid::hid_device_info& info) { Fill(records[filled++], info); });
  *list = records;
  return filled;
}
