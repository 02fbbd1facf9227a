// Reads a minidump file for tests: the header, the stream directory, the exception stream, the
// thread list (each thread's stack and the registers of its context) and the processor
// architecture. Offsets are taken from the documented format, not from the writer's records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testkit {

struct DumpRegisters {
  std::uint32_t contextFlags = 0;
  std::uint64_t rip = 0;
  std::uint64_t rsp = 0;
};

struct DumpException {
  std::uint32_t threadId = 0;
  std::uint32_t code = 0;
  std::uint32_t flags = 0;
  std::uint64_t address = 0;
  std::vector<std::uint64_t> parameters;
  DumpRegisters registers;
};

struct DumpThread {
  std::uint32_t id = 0;
  std::uint64_t stackStart = 0;
  std::string stack;
  DumpRegisters registers;
};

struct MiniDump {
  std::uint32_t version = 0;
  std::uint32_t timeStamp = 0;
  std::vector<std::uint32_t> streamTypes;  // in directory order
  std::optional<DumpException> exception;
  std::vector<DumpThread> threads;
  std::optional<std::uint16_t> processorArchitecture;
  std::uint8_t processorCount = 0;
};

// The dump, or nothing with what is wrong with it in error.
std::optional<MiniDump> ParseMiniDump(const std::string& bytes, std::string* error);
std::optional<MiniDump> ReadMiniDump(const std::string& path, std::string* error);

}  // namespace testkit
