#include "testkit/minidump/MiniDumpReader.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testkit {

namespace {

constexpr std::uint32_t kSignature = 0x504D444D;
constexpr std::uint32_t kThreadListStream = 3;
constexpr std::uint32_t kExceptionStream = 6;
constexpr std::uint32_t kSystemInfoStream = 7;
constexpr std::size_t kContextSize = 1232;
constexpr std::size_t kThreadSize = 48;
constexpr std::size_t kMaximumParameters = 15;

// Little-endian fields at offsets of the file; a field past the end is an error.
class Bytes {
 public:
  explicit Bytes(const std::string& bytes) : m_bytes(bytes) {}

  template <typename T>
  T At(std::size_t offset) const {
    Check(offset, sizeof(T));
    T value;
    std::memcpy(&value, m_bytes.data() + offset, sizeof value);
    return value;
  }
  std::uint32_t U32(std::size_t offset) const { return At<std::uint32_t>(offset); }
  std::uint64_t U64(std::size_t offset) const { return At<std::uint64_t>(offset); }
  std::string Range(std::size_t offset, std::size_t size) const {
    Check(offset, size);
    return m_bytes.substr(offset, size);
  }

 private:
  void Check(std::size_t offset, std::size_t size) const {
    if (offset > m_bytes.size() || size > m_bytes.size() - offset)
      throw std::runtime_error("a record at " + std::to_string(offset) + " of " +
                               std::to_string(size) + " bytes lies past the end of the file");
  }
  const std::string& m_bytes;
};

// A context given by its location descriptor (size, RVA).
DumpRegisters RegistersAt(const Bytes& bytes, std::size_t locationOffset) {
  std::uint32_t size = bytes.U32(locationOffset);
  std::uint32_t rva = bytes.U32(locationOffset + 4);
  if (size != kContextSize)
    throw std::runtime_error("a context of " + std::to_string(size) + " bytes");
  return DumpRegisters{bytes.U32(rva + 0x30), bytes.U64(rva + 0xF8), bytes.U64(rva + 0x98)};
}

DumpException ExceptionAt(const Bytes& bytes, std::size_t rva) {
  DumpException exception;
  exception.threadId = bytes.U32(rva);
  const std::size_t record = rva + 8;
  exception.code = bytes.U32(record);
  exception.flags = bytes.U32(record + 4);
  exception.address = bytes.U64(record + 16);
  std::uint32_t count = bytes.U32(record + 24);
  if (count > kMaximumParameters)
    throw std::runtime_error(std::to_string(count) + " exception parameters");
  for (std::uint32_t i = 0; i < count; ++i)
    exception.parameters.push_back(bytes.U64(record + 32 + 8 * i));
  exception.registers = RegistersAt(bytes, record + 152);
  return exception;
}

std::vector<DumpThread> ThreadsAt(const Bytes& bytes, std::size_t rva) {
  std::vector<DumpThread> threads;
  std::uint32_t count = bytes.U32(rva);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t thread = rva + 4 + kThreadSize * i;
    DumpThread entry;
    entry.id = bytes.U32(thread);
    entry.stackStart = bytes.U64(thread + 24);
    entry.stack = bytes.Range(bytes.U32(thread + 36), bytes.U32(thread + 32));
    entry.registers = RegistersAt(bytes, thread + 40);
    threads.push_back(std::move(entry));
  }
  return threads;
}

MiniDump Parse(const Bytes& bytes) {
  if (bytes.U32(0) != kSignature) throw std::runtime_error("no MDMP signature");
  MiniDump dump;
  dump.version = bytes.U32(4);
  const std::uint32_t streams = bytes.U32(8);
  const std::uint32_t directory = bytes.U32(12);
  dump.timeStamp = bytes.U32(20);
  for (std::uint32_t i = 0; i < streams; ++i) {
    const std::size_t entry = directory + 12 * std::size_t{i};
    const std::uint32_t type = bytes.U32(entry);
    const std::uint32_t rva = bytes.U32(entry + 8);
    dump.streamTypes.push_back(type);
    if (type == kExceptionStream) dump.exception = ExceptionAt(bytes, rva);
    if (type == kThreadListStream) dump.threads = ThreadsAt(bytes, rva);
    if (type == kSystemInfoStream) {
      dump.processorArchitecture = bytes.At<std::uint16_t>(rva);
      dump.processorCount = bytes.At<std::uint8_t>(rva + 6);
    }
  }
  return dump;
}

}  // namespace

std::optional<MiniDump> ParseMiniDump(const std::string& bytes, std::string* error) {
  try {
    return Parse(Bytes(bytes));
  } catch (const std::runtime_error& failure) {
    *error = failure.what();
    return std::nullopt;
  }
}

std::optional<MiniDump> ReadMiniDump(const std::string& path, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot open " + path;
    return std::nullopt;
  }
  return ParseMiniDump(
      std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()), error);
}

}  // namespace testkit
