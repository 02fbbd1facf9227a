#include "moncontrol/hid/linux/HidrawBackend.h"

#include <fcntl.h>
#include <hidapi.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "foundation/log/Log.h"
#include "moncontrol/hid/linux/CollectionCaps.h"

namespace mchid {
namespace {

std::optional<std::wstring> OptionalText(const wchar_t* text) {
  if (text == nullptr) return std::nullopt;
  return std::wstring(text);
}

HidCollection ToCollection(const ::hid_device_info& info) {
  HidCollection c;
  c.path = info.path ? info.path : "";
  c.vendor_id = info.vendor_id;
  c.product_id = info.product_id;
  c.serial_number = OptionalText(info.serial_number);
  c.release_number = info.release_number;
  c.manufacturer_string = OptionalText(info.manufacturer_string);
  c.product_string = OptionalText(info.product_string);
  c.usage_page = info.usage_page;
  c.usage = info.usage;
  c.interface_number = info.interface_number;
  return c;
}

// hidapi reaches the interrupt channel and feature reports; input and output reports over the
// control channel go through the node's own descriptor, the device's system handle.
class HidrawConnection : public HidConnection {
 public:
  HidrawConnection(::hid_device* device, int fd, HidCollection collection)
      : device_(device), fd_(fd), collection_(std::move(collection)) {}
  ~HidrawConnection() override {
    ::hid_close(device_);
    ::close(fd_);
  }

  int WriteReport(const unsigned char* data, std::size_t length) override {
    return ::hid_write(device_, data, length);
  }
  int ReadReport(unsigned char* data, std::size_t length, int milliseconds) override {
    return ::hid_read_timeout(device_, data, length, milliseconds);
  }
  int SendFeatureReport(const unsigned char* data, std::size_t length) override {
    return ::hid_send_feature_report(device_, data, length);
  }
  int GetFeatureReport(unsigned char* data, std::size_t length) override {
    return ::hid_get_feature_report(device_, data, length);
  }
  bool GetInputReport(unsigned char* data, std::size_t length) override {
    if (length > _IOC_SIZEMASK) return false;
    return ::ioctl(fd_, HIDIOCGINPUT(length), data) >= 0;
  }
  bool SetOutputReport(const unsigned char* data, std::size_t length) override {
    if (length > _IOC_SIZEMASK) return false;
    std::vector<unsigned char> report(data, data + length);  // the request is read-write
    return ::ioctl(fd_, HIDIOCSOUTPUT(length), report.data()) >= 0;
  }
  const HidCollection& Collection() const override { return collection_; }
  long long SystemHandle() const override { return fd_; }

 private:
  ::hid_device* device_;
  int fd_;
  HidCollection collection_;
};

class HidrawBackend : public HidBackend {
 public:
  explicit HidrawBackend(std::string sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {
    // Once per process: hidapi's state outlives any one backend and its open devices.
    static std::once_flag initialised;
    std::call_once(initialised, [] {
      if (::hid_init() != 0) LogError(L"HID access cannot be initialised: %s", ::hid_error(nullptr));
    });
  }

  std::vector<HidCollection> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override {
    std::vector<HidCollection> records;
    ::hid_device_info* devices = ::hid_enumerate(vendorId, productId);
    for (const ::hid_device_info* d = devices; d; d = d->next) records.push_back(ToCollection(*d));
    ::hid_free_enumeration(devices);
    FillCollectionCaps(records, Reader());
    return records;
  }

  std::unique_ptr<HidConnection> OpenPath(const std::string& path) override {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      LogError(L"HID device %hs cannot be opened: %hs", path.c_str(), std::strerror(errno));
      return nullptr;
    }
    ::hid_device* device = ::hid_open_path(path.c_str());
    const ::hid_device_info* info = device ? ::hid_get_device_info(device) : nullptr;
    if (info == nullptr) {
      LogError(L"HID device %hs cannot be opened: %s", path.c_str(), ::hid_error(device));
      if (device) ::hid_close(device);
      ::close(fd);
      return nullptr;
    }
    std::vector<HidCollection> records{ToCollection(*info)};
    records[0].path = path;
    FillCollectionCaps(records, Reader());
    return std::make_unique<HidrawConnection>(device, fd, std::move(records[0]));
  }

 private:
  DescriptorReader Reader() const {
    return [root = sysfsRoot_](const std::string& devicePath) {
      return ReadReportDescriptor(root, devicePath);
    };
  }

  std::string sysfsRoot_;
};

}  // namespace

std::shared_ptr<HidBackend> MakeHidrawBackend(std::string sysfsRoot) {
  return std::make_shared<HidrawBackend>(std::move(sysfsRoot));
}

}  // namespace mchid
