// The records of the minidump file format, as they lie in the file (little-endian, 4-byte
// packing; RVAs are offsets from the start of the file).
#pragma once

#include <cstdint>

namespace win32::minidump {

inline constexpr std::uint32_t kSignature = 0x504D444D;  // "MDMP"
inline constexpr std::uint32_t kVersion = 0xA793;
inline constexpr std::uint32_t kThreadListStream = 3;
inline constexpr std::uint32_t kExceptionStream = 6;
inline constexpr std::uint32_t kSystemInfoStream = 7;
inline constexpr std::uint16_t kArchitectureAmd64 = 9;

#pragma pack(push, 4)

struct Location {
  std::uint32_t dataSize;
  std::uint32_t rva;
};

struct Header {
  std::uint32_t signature;
  std::uint32_t version;
  std::uint32_t numberOfStreams;
  std::uint32_t streamDirectoryRva;
  std::uint32_t checkSum;
  std::uint32_t timeDateStamp;
  std::uint64_t flags;
};

struct Directory {
  std::uint32_t streamType;
  Location location;
};

struct MemoryDescriptor {
  std::uint64_t startOfMemoryRange;
  Location memory;
};

struct Thread {
  std::uint32_t threadId;
  std::uint32_t suspendCount;
  std::uint32_t priorityClass;
  std::uint32_t priority;
  std::uint64_t teb;
  MemoryDescriptor stack;
  Location threadContext;
};

struct ThreadListOfOne {
  std::uint32_t numberOfThreads;
  Thread thread;
};

struct Exception {
  std::uint32_t exceptionCode;
  std::uint32_t exceptionFlags;
  std::uint64_t exceptionRecord;
  std::uint64_t exceptionAddress;
  std::uint32_t numberParameters;
  std::uint32_t unusedAlignment;
  std::uint64_t exceptionInformation[15];
};

struct ExceptionStream {
  std::uint32_t threadId;
  std::uint32_t alignment;
  Exception exceptionRecord;
  Location threadContext;
};

struct SystemInfo {
  std::uint16_t processorArchitecture;
  std::uint16_t processorLevel;
  std::uint16_t processorRevision;
  std::uint8_t numberOfProcessors;
  std::uint8_t productType;
  std::uint32_t majorVersion;
  std::uint32_t minorVersion;
  std::uint32_t buildNumber;
  std::uint32_t platformId;
  std::uint32_t csdVersionRva;
  std::uint16_t suiteMask;
  std::uint16_t reserved2;
  // The x86 form of the processor union.
  std::uint32_t vendorId[3];
  std::uint32_t versionInformation;
  std::uint32_t featureInformation;
  std::uint32_t amdExtendedCpuFeatures;
};

// A string of UTF-16 characters: its length in bytes, without the terminator that follows.
struct EmptyString {
  std::uint32_t length;
  std::uint16_t terminator;
};

#pragma pack(pop)

static_assert(sizeof(Header) == 32 && sizeof(Directory) == 12 && sizeof(Thread) == 48);
static_assert(sizeof(Exception) == 152 && sizeof(ExceptionStream) == 168);
static_assert(sizeof(SystemInfo) == 56);

// The processor and the machine that the system-information stream describes.
SystemInfo ThisSystem();

}  // namespace win32::minidump
