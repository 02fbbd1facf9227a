#include "moncontrol/hid/linux/CollectionCaps.h"

#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

#include "foundation/log/Log.h"
#include "moncontrol/hid/ReportDescriptor.h"

namespace mchid {
namespace {

// The kernel's limit for a report descriptor.
constexpr std::size_t kMaxDescriptorSize = 4096;

const TopLevelCollectionCaps* NthWithUsage(const std::vector<TopLevelCollectionCaps>& caps,
                                           std::uint16_t usagePage, std::uint16_t usage,
                                           std::size_t n) {
  for (const TopLevelCollectionCaps& c : caps) {
    if (c.usage_page == usagePage && c.usage == usage && n-- == 0) return &c;
  }
  return nullptr;
}

}  // namespace

std::vector<std::uint8_t> ReadReportDescriptor(const std::string& sysfsRoot,
                                               const std::string& devicePath) {
  std::string node = devicePath.substr(devicePath.find_last_of('/') + 1);
  if (node.rfind("hidraw", 0) != 0) return {};
  std::ifstream file(sysfsRoot + "/class/hidraw/" + node + "/device/report_descriptor",
                     std::ios::binary);
  std::vector<std::uint8_t> bytes(kMaxDescriptorSize);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return bytes;
}

void FillCollectionCaps(std::vector<HidCollection>& records, const DescriptorReader& readDescriptor) {
  std::map<std::string, std::vector<TopLevelCollectionCaps>> byPath;
  std::map<std::tuple<std::string, std::uint16_t, std::uint16_t>, std::size_t> seen;
  for (HidCollection& record : records) {
    auto parsed = byPath.find(record.path);
    if (parsed == byPath.end()) {
      std::vector<std::uint8_t> bytes = readDescriptor(record.path);
      auto caps = ParseReportDescriptor(bytes.data(), bytes.size());
      if (caps.empty()) {
        LogWarn(L"HID report descriptor of %hs is unreadable (%u bytes); its collections have no caps",
                record.path.c_str(), static_cast<unsigned>(bytes.size()));
      }
      parsed = byPath.emplace(record.path, std::move(caps)).first;
    }
    std::size_t n = seen[{record.path, record.usage_page, record.usage}]++;
    const TopLevelCollectionCaps* match =
        NthWithUsage(parsed->second, record.usage_page, record.usage, n);
    if (match == nullptr && !parsed->second.empty()) {
      LogWarn(L"HID collection %04x:%04x of %hs is not in its report descriptor",
              static_cast<unsigned>(record.usage_page), static_cast<unsigned>(record.usage),
              record.path.c_str());
    }
    TopLevelCollectionCaps caps = match ? *match : TopLevelCollectionCaps{};
    record.usage_page = caps.usage_page;
    record.usage = caps.usage;
    record.input_report_length = caps.input_report_length;
    record.output_report_length = caps.output_report_length;
  }
}

}  // namespace mchid
