// Safe inside a signal handler: cpuid and one system call.
#include <cpuid.h>
#include <sched.h>

#include <algorithm>

#include "platform/win32/internal/MiniDumpFormat.h"

namespace {

// The machine is a Windows 10 workstation.
constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint32_t kWindowsMajor = 10;
constexpr std::uint32_t kWindowsBuild = 19045;
constexpr std::uint32_t kPlatformNt = 2;

std::uint8_t ProcessorCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return static_cast<std::uint8_t>(std::clamp(CPU_COUNT(&set), 1, 255));
}

}  // namespace

namespace win32::minidump {

SystemInfo ThisSystem() {
  SystemInfo info{};
  info.processorArchitecture = kArchitectureAmd64;
  info.numberOfProcessors = ProcessorCount();
  info.productType = kWorkstation;
  info.majorVersion = kWindowsMajor;
  info.buildNumber = kWindowsBuild;
  info.platformId = kPlatformNt;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) != 0) {
    info.vendorId[0] = ebx;
    info.vendorId[1] = edx;
    info.vendorId[2] = ecx;
  }
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0) {
    info.versionInformation = eax;
    info.featureInformation = edx;
    unsigned family = (eax >> 8) & 0xF;
    unsigned model = (eax >> 4) & 0xF;
    if (family == 0xF) family += (eax >> 20) & 0xFF;
    if (family >= 6) model |= ((eax >> 16) & 0xF) << 4;
    info.processorLevel = static_cast<std::uint16_t>(family);
    info.processorRevision = static_cast<std::uint16_t>((model << 8) | (eax & 0xF));
  }
  if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx) != 0) info.amdExtendedCpuFeatures = edx;
  return info;
}

}  // namespace win32::minidump
