#include "moncontrol/ddcci/DdcciApi.h"
#include "moncontrol/ddcci/DdcciFrame.h"
#include "moncontrol/ddcci/VcpExchange.h"

namespace {

constexpr std::size_t kReadBufferSize = 6400;
// The chained monitor's reply follows CE AB in the tunnel's reply: 6E len CE AB, then it.
constexpr std::size_t kTunnelReplyOffset = 4;

}  // namespace

std::int32_t SetVCPFeatureDaisyChain(mchid::hid_device* handle, std::uint8_t port, std::uint8_t vcp,
                                     std::uint16_t value) {
  return WriteVcpValue(handle, TunnelFrame(port, SetVcpFrame(vcp, value)), L"SetVCPFeatureDaisyChain");
}

std::int32_t GetVCPFeatureDaisyChain(mchid::hid_device* handle, std::uint8_t port, std::uint8_t vcp,
                                     std::int32_t* current, std::int32_t* maximum) {
  return ReadVcpValue(handle, TunnelFrame(port, GetVcpFrame(vcp)), kReadBufferSize, kTunnelReplyOffset, vcp,
                      current, maximum, L"GetVCPFeatureDaisyChain");
}
