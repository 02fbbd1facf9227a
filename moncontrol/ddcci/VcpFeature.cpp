#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/DdcciFrame.h"
#include "moncontrol/ddcci/VcpExchange.h"

namespace {

constexpr std::size_t kReadBufferSize = 64;

}  // namespace

std::int32_t GetVCPFeatureL(mchid::hid_device* handle, std::uint8_t vcp, std::int32_t* current,
                            std::int32_t* maximum) {
  return ReadVcpValue(handle, GetVcpFrame(vcp), kReadBufferSize, 0, vcp, current, maximum, L"GetVCPFeatureL");
}

std::int32_t SetVCPFeatureL(mchid::hid_device* handle, std::uint8_t vcp, std::uint16_t value) {
  return WriteVcpValue(handle, SetVcpFrame(vcp, value), L"SetVCPFeatureL");
}
