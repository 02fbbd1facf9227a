#include "moncontrol/hid/ReportDescriptor.h"

#include <algorithm>
#include <map>
#include <optional>

namespace mchid {
namespace {

enum ItemType : std::uint8_t { kMainItem = 0, kGlobalItem = 1, kLocalItem = 2 };

enum MainTag : std::uint8_t {
  kInput = 0x8,
  kOutput = 0x9,
  kCollection = 0xA,
  kEndCollection = 0xC,
};

enum GlobalTag : std::uint8_t {
  kUsagePage = 0x0,
  kReportSize = 0x7,
  kReportId = 0x8,
  kReportCount = 0x9,
  kPush = 0xA,
  kPop = 0xB,
};

enum LocalTag : std::uint8_t { kUsage = 0x0, kUsageMinimum = 0x1 };

constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::size_t kMaxPushDepth = 32;
// A report whose length with its ID byte would not fit the 16-bit length fields.
constexpr std::uint64_t kMaxReportBits = (0xFFFFull - 1) * 8;

struct GlobalState {
  std::uint32_t usagePage = 0;
  std::uint32_t reportSize = 0;
  std::uint32_t reportId = 0;
  std::uint32_t reportCount = 0;
};

struct ReportBits {
  std::uint64_t input = 0;
  std::uint64_t output = 0;
};

struct CollectionState {
  TopLevelCollectionCaps caps;
  std::map<std::uint32_t, ReportBits> reports;  // by report ID, 0 when unnumbered
};

class DescriptorParser {
 public:
  DescriptorParser(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::vector<TopLevelCollectionCaps> Parse() {
    if (data_ == nullptr || !ParseItems() || depth_ != 0 || !pushed_.empty()) return {};
    std::vector<TopLevelCollectionCaps> result;
    for (const CollectionState& collection : collections_) {
      TopLevelCollectionCaps caps = collection.caps;
      for (const auto& [id, bits] : collection.reports) {
        caps.input_report_length = std::max(caps.input_report_length, ReportLength(bits.input));
        caps.output_report_length = std::max(caps.output_report_length, ReportLength(bits.output));
      }
      result.push_back(caps);
    }
    return result;
  }

 private:
  static std::uint16_t ReportLength(std::uint64_t bits) {
    if (bits == 0) return 0;
    return static_cast<std::uint16_t>((bits + 7) / 8 + 1);
  }

  bool ParseItems() {
    std::size_t pos = 0;
    while (pos < size_) {
      std::uint8_t prefix = data_[pos];
      if (prefix == kLongItemPrefix) {
        if (size_ - pos < 3 || size_ - pos - 3 < data_[pos + 1]) return false;
        pos += 3 + data_[pos + 1];  // long items carry nothing the caps depend on
        continue;
      }
      std::size_t dataSize = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
      if (size_ - pos - 1 < dataSize) return false;
      std::uint32_t value = 0;
      for (std::size_t i = 0; i < dataSize; ++i) value |= std::uint32_t{data_[pos + 1 + i]} << (8 * i);
      if (!ParseItem((prefix >> 2) & 0x3, prefix >> 4, value, dataSize)) return false;
      pos += 1 + dataSize;
    }
    return true;
  }

  bool ParseItem(std::uint8_t type, std::uint8_t tag, std::uint32_t value, std::size_t dataSize) {
    switch (type) {
      case kMainItem: {
        bool ok = ParseMain(tag);
        firstUsage_.reset();  // local items last for one main item
        return ok;
      }
      case kGlobalItem:
        return ParseGlobal(tag, value);
      case kLocalItem:
        if ((tag == kUsage || tag == kUsageMinimum) && !firstUsage_) {
          firstUsage_ = value;
          firstUsageExtended_ = dataSize == 4;
        }
        return true;
      default:
        return true;  // reserved short items are skipped
    }
  }

  bool ParseMain(std::uint8_t tag) {
    switch (tag) {
      case kCollection:
        if (depth_++ == 0) StartTopLevelCollection();
        return true;
      case kEndCollection:
        if (depth_ == 0) return false;
        --depth_;
        return true;
      case kInput:
      case kOutput:
        return AddReportField(tag == kInput);
      default:
        return true;
    }
  }

  void StartTopLevelCollection() {
    CollectionState collection;
    if (firstUsage_) {
      std::uint32_t page = firstUsageExtended_ ? (*firstUsage_ >> 16) : globals_.usagePage;
      collection.caps.usage_page = static_cast<std::uint16_t>(page);
      collection.caps.usage = static_cast<std::uint16_t>(*firstUsage_ & 0xFFFF);
    }
    collections_.push_back(collection);
  }

  bool AddReportField(bool input) {
    if (depth_ == 0) return true;  // outside every collection: no report of any collection
    std::uint64_t bits = std::uint64_t{globals_.reportSize} * globals_.reportCount;
    ReportBits& report = collections_.back().reports[globals_.reportId];
    std::uint64_t& total = input ? report.input : report.output;
    if (bits > kMaxReportBits || total + bits > kMaxReportBits) return false;
    total += bits;
    return true;
  }

  bool ParseGlobal(std::uint8_t tag, std::uint32_t value) {
    switch (tag) {
      case kUsagePage:
        globals_.usagePage = value & 0xFFFF;
        return true;
      case kReportSize:
        globals_.reportSize = value;
        return true;
      case kReportId:
        if (value == 0 || value > 0xFF) return false;
        globals_.reportId = value;
        return true;
      case kReportCount:
        globals_.reportCount = value;
        return true;
      case kPush:
        if (pushed_.size() == kMaxPushDepth) return false;
        pushed_.push_back(globals_);
        return true;
      case kPop:
        if (pushed_.empty()) return false;
        globals_ = pushed_.back();
        pushed_.pop_back();
        return true;
      default:
        return true;
    }
  }

  const std::uint8_t* data_;
  std::size_t size_;
  GlobalState globals_;
  std::vector<GlobalState> pushed_;
  std::optional<std::uint32_t> firstUsage_;
  bool firstUsageExtended_ = false;
  std::size_t depth_ = 0;
  std::vector<CollectionState> collections_;
};

}  // namespace

std::vector<TopLevelCollectionCaps> ParseReportDescriptor(const std::uint8_t* data,
                                                          std::size_t size) {
  return DescriptorParser(data, size).Parse();
}

}  // namespace mchid
