#include "testkit/monsim/vendor/VendorTables.h"

#include <algorithm>

namespace monsim {
namespace {

class TableWriter {
 public:
  void Byte(std::uint8_t value) { m_bytes.push_back(value); }
  void Word(std::uint16_t value) {
    Byte(static_cast<std::uint8_t>(value));
    Byte(static_cast<std::uint8_t>(value >> 8));
  }
  void Text(const std::string& text, std::size_t width) {
    const std::size_t n = std::min(text.size(), width);
    m_bytes.insert(m_bytes.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    m_bytes.insert(m_bytes.end(), width - n, 0);
  }
  std::vector<std::uint8_t> Bytes() && { return std::move(m_bytes); }

 private:
  std::vector<std::uint8_t> m_bytes;
};

}  // namespace

std::vector<std::uint8_t> EncodeMonitorInfo(const MonitorInfoFields& info) {
  TableWriter w;
  w.Byte(info.deviceCount);
  w.Byte(info.i2cBufSize);
  w.Text(info.modelName, 24);
  w.Text(info.specialID, 4);
  w.Text(info.vendorID, 4);
  w.Text(info.sn, 24);
  w.Word(info.debugVersion);
  w.Word(info.releaseVersion);
  return std::move(w).Bytes();
}

std::vector<std::uint8_t> EncodeChildDevice(const ChildDeviceFields& child) {
  TableWriter w;
  w.Byte(child.type);
  w.Byte(child.ispID);
  w.Text(child.fwID, 12);
  w.Text(child.fwVer, 12);
  w.Text(child.sn, 24);
  w.Text(child.ultraData, 48);
  return std::move(w).Bytes();
}

}  // namespace monsim
