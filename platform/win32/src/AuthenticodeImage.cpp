#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Authenticode.h"
#include "platform/win32/internal/Drive.h"

namespace win32 {
namespace {

constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint32_t kCertificateTableIndex = 4;
constexpr std::size_t kWinCertificateHeaderSize = 8;
constexpr std::uint16_t kWinCertRevision2 = 0x0200;
constexpr std::uint16_t kWinCertTypePkcsSignedData = 0x0002;

// Little-endian fields of the file; nothing when they would lie beyond its end.
class FileBytes {
 public:
  explicit FileBytes(const std::string& bytes) : m_bytes(bytes) {}
  std::optional<std::uint32_t> U16(std::size_t offset) const { return Read(offset, 2); }
  std::optional<std::uint32_t> U32(std::size_t offset) const { return Read(offset, 4); }
  bool Holds(std::size_t offset, std::size_t size) const {
    return offset <= m_bytes.size() && size <= m_bytes.size() - offset;
  }

 private:
  std::optional<std::uint32_t> Read(std::size_t offset, std::size_t size) const {
    if (!Holds(offset, size)) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
      value |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_bytes[offset + i])) << (8 * i);
    return value;
  }
  const std::string& m_bytes;
};

DWORD OpenError(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

// The whole file, or the Windows error that kept it from being read.
bool ReadWholeFile(const std::string& nativePath, std::string& bytes, DWORD& error) {
  const int fd = open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = OpenError(errno);
    return false;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = ERROR_ACCESS_DENIED;
    close(fd);
    return false;
  }
  bytes.resize(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  bool readable = true;
  while (done < bytes.size()) {
    const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    readable = got >= 0;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  close(fd);
  bytes.resize(done);
  if (!readable) error = ERROR_ACCESS_DENIED;
  return readable;
}

// Finds the header fields the digest skips; false for anything that is no PE image.
bool ReadHeaders(const FileBytes& file, EmbeddedSignature& signature, std::uint32_t& directories) {
  if (file.U16(0) != 0x5A4D) return false;  // "MZ"
  const std::optional<std::uint32_t> peOffset = file.U32(0x3C);
  if (!peOffset || file.U32(*peOffset) != 0x00004550) return false;  // "PE\0\0"
  const std::size_t optionalHeader = std::size_t{*peOffset} + 24;
  const std::optional<std::uint32_t> optionalSize = file.U16(std::size_t{*peOffset} + 20);
  const std::optional<std::uint32_t> magic = file.U16(optionalHeader);
  if (!optionalSize || !magic) return false;
  std::size_t directoryBase = 0;
  if (*magic == kPe32Magic)
    directoryBase = 96;
  else if (*magic == kPe32PlusMagic)
    directoryBase = 112;
  else
    return false;
  const std::optional<std::uint32_t> count = file.U32(optionalHeader + directoryBase - 4);
  if (!count || *optionalSize < directoryBase) return false;
  // Directories beyond the optional header's declared size are not there.
  directories = std::min<std::uint32_t>(*count, (*optionalSize - directoryBase) / 8);
  signature.checksumOffset = optionalHeader + 64;
  signature.directoryOffset = optionalHeader + directoryBase + 8 * kCertificateTableIndex;
  return file.Holds(signature.checksumOffset, 4);
}

// The certificate table's one WIN_CERTIFICATE with its PKCS#7 signed data.
bool ReadCertificateTable(const std::string& image, const FileBytes& file, EmbeddedSignature& signature) {
  const std::optional<std::uint32_t> offset = file.U32(signature.directoryOffset);
  const std::optional<std::uint32_t> size = file.U32(signature.directoryOffset + 4);
  if (!offset || !size || *size < kWinCertificateHeaderSize) return false;
  if (*offset < signature.directoryOffset + 8 || !file.Holds(*offset, *size)) return false;
  const std::optional<std::uint32_t> length = file.U32(*offset);
  if (!length || *length < kWinCertificateHeaderSize || *length > *size) return false;
  if (file.U16(*offset + 4) != kWinCertRevision2 || file.U16(*offset + 6) != kWinCertTypePkcsSignedData)
    return false;
  const auto* der =
      reinterpret_cast<const unsigned char*>(image.data()) + *offset + kWinCertificateHeaderSize;
  PKCS7* signedData = d2i_PKCS7(nullptr, &der, static_cast<long>(*length - kWinCertificateHeaderSize));
  if (signedData == nullptr) return false;
  signature.signedData.reset(signedData, PKCS7_free);
  // Signed data may leave out its content, and with it everything a signature holds.
  if (!PKCS7_type_is_signed(signedData) || signedData->d.sign == nullptr) return false;
  signature.tableOffset = *offset;
  signature.tableSize = *size;
  return true;
}

}  // namespace

EmbeddedSignature ReadEmbeddedSignature(const std::wstring& windowsPath) {
  EmbeddedSignature signature;
  if (!ReadWholeFile(WindowsToNativePath(windowsPath), signature.image, signature.fileError))
    return signature;
  const FileBytes file(signature.image);
  std::uint32_t directories = 0;
  if (!ReadHeaders(file, signature, directories)) {
    signature.status = SignatureStatus::NotPe;
  } else if (directories <= kCertificateTableIndex ||
             !ReadCertificateTable(signature.image, file, signature)) {
    signature.status = SignatureStatus::NoSignature;
    signature.signedData.reset();
  } else {
    signature.status = SignatureStatus::Found;
  }
  return signature;
}

}  // namespace win32
