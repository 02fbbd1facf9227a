#include "testkit/packages/PeImage.h"

#include <cstddef>
#include <cstdint>

namespace testkit::packages {
namespace {

constexpr std::uint32_t kPeHeaderOffset = 0x40;
constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint16_t kOptionalHeaderSize = 224;  // PE32 with 16 data directories
constexpr std::uint32_t kSectionRva = kSectionAlignment;

std::uint32_t AlignUp(std::size_t value, std::uint32_t alignment) {
  return static_cast<std::uint32_t>((value + alignment - 1) / alignment * alignment);
}

// Writes little-endian fields at a running offset.
class Writer {
 public:
  Writer(std::string& image, std::size_t offset) : m_image(image), m_offset(offset) {}
  Writer& U16(std::uint32_t value) { return Put(value, 2); }
  Writer& U32(std::uint32_t value) { return Put(value, 4); }
  Writer& Bytes(const char* text, std::size_t size) {
    m_image.replace(m_offset, size, text, size);
    m_offset += size;
    return *this;
  }
  Writer& Skip(std::size_t size) {
    m_offset += size;
    return *this;
  }

 private:
  Writer& Put(std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) m_image[m_offset++] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return *this;
  }
  std::string& m_image;
  std::size_t m_offset;
};

}  // namespace

std::string MakePeImage(const std::string& payload) {
  const std::uint32_t headersSize = kFileAlignment;
  const std::uint32_t rawSize = AlignUp(payload.empty() ? 1 : payload.size(), kFileAlignment);
  const std::uint32_t imageSize = kSectionRva + AlignUp(rawSize, kSectionAlignment);
  std::string image(headersSize + rawSize, '\0');

  Writer(image, 0).Bytes("MZ", 2);
  Writer(image, 0x3C).U32(kPeHeaderOffset);

  Writer(image, kPeHeaderOffset)
      .Bytes("PE\0\0", 4)
      // File header: i386, one section, an executable 32-bit image.
      .U16(0x014C).U16(1).U32(0).U32(0).U32(0).U16(kOptionalHeaderSize).U16(0x0102)
      // Optional header.
      .U16(0x010B).U16(0)                      // magic, linker version
      .U32(0).U32(rawSize).U32(0)              // code, initialised and uninitialised data sizes
      .U32(kSectionRva).U32(kSectionRva).U32(kSectionRva)  // entry point, code and data bases
      .U32(0x400000).U32(kSectionAlignment).U32(kFileAlignment)
      .U16(6).U16(0).U16(0).U16(0).U16(6).U16(0)  // OS, image and subsystem versions
      .U32(0).U32(imageSize).U32(headersSize)
      .U32(0)                                  // checksum
      .U16(3).U16(0)                           // console subsystem, no DLL characteristics
      .U32(0x100000).U32(0x1000).U32(0x100000).U32(0x1000)  // stack and heap
      .U32(0).U32(16)                          // loader flags, number of data directories
      .Skip(16 * 8)
      // The one section.
      .Bytes(".rdata\0\0", 8)
      .U32(static_cast<std::uint32_t>(payload.size())).U32(kSectionRva)
      .U32(rawSize).U32(headersSize)
      .U32(0).U32(0).U16(0).U16(0)
      .U32(0x40000040);  // initialised data, readable

  image.replace(headersSize, payload.size(), payload);
  return image;
}

}  // namespace testkit::packages
