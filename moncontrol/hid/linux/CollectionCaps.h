// Usage and report lengths of hidraw collections, taken from their nodes' report descriptors.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "moncontrol/hid/HidBackend.h"

namespace mchid {

// The report descriptor of a hidraw node ("/dev/hidrawN") as sysfs under sysfsRoot shows it;
// empty when it cannot be read.
std::vector<std::uint8_t> ReadReportDescriptor(const std::string& sysfsRoot,
                                               const std::string& devicePath);

using DescriptorReader = std::function<std::vector<std::uint8_t>(const std::string& devicePath)>;

// One node carries all top-level collections of its interface, each listed as a record of its
// own with the usage the system found. Every record gets usage page, usage and report lengths
// of the matching collection of its node's descriptor; when the descriptor cannot be parsed
// or does not describe the collection, all four are 0.
void FillCollectionCaps(std::vector<HidCollection>& records, const DescriptorReader& readDescriptor);

}  // namespace mchid
