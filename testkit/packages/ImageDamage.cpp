#include "testkit/packages/ImageDamage.h"

#include <cstdint>
#include <memory>
#include <stdexcept>

#include <openssl/evp.h>

namespace testkit::packages {
namespace {

// Where MakePeImage puts them.
constexpr std::size_t kSectionStart = 0x200;
constexpr std::size_t kChecksum = 0x40 + 24 + 64;
constexpr std::size_t kCertificateDirectory = 0x40 + 24 + 96 + 4 * 8;

std::uint32_t ReadU32(const std::string& image, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(image.at(offset + i))) << (8 * i);
  return value;
}

void WriteU32(std::string& image, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) image.at(offset + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t TableSize(const std::string& image) {
  const std::uint32_t size = ReadU32(image, kCertificateDirectory + 4);
  if (size == 0) throw std::invalid_argument("the image is not signed");
  return size;
}

// The SHA-256 Authenticode digest of a signed image whose certificate table ends the file.
std::string ImageDigest(const std::string& image) {
  const std::size_t table = ReadU32(image, kCertificateDirectory);
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), image.data(), kChecksum) != 1 ||
      EVP_DigestUpdate(context.get(), image.data() + kChecksum + 4,
                       kCertificateDirectory - kChecksum - 4) != 1 ||
      EVP_DigestUpdate(context.get(), image.data() + kCertificateDirectory + 8,
                       table - kCertificateDirectory - 8) != 1 ||
      EVP_DigestFinal_ex(context.get(), digest, &size) != 1)
    throw std::runtime_error("SHA-256 failed");
  return std::string(reinterpret_cast<const char*>(digest), size);
}

void FlipSectionByte(std::string& image) { image.at(kSectionStart) ^= 0x01; }

}  // namespace

std::string TamperSectionAndSignedDigest(std::string image) {
  TableSize(image);
  const std::string signedDigest = ImageDigest(image);
  FlipSectionByte(image);
  const std::size_t at = image.find(signedDigest, ReadU32(image, kCertificateDirectory));
  if (at == std::string::npos) throw std::invalid_argument("no signed digest in the certificate table");
  image.replace(at, signedDigest.size(), ImageDigest(image));
  return image;
}

std::string TamperSection(std::string image) {
  FlipSectionByte(image);
  return image;
}

std::string TruncateCertificateTable(std::string image) {
  const std::uint32_t size = TableSize(image);
  image.resize(ReadU32(image, kCertificateDirectory) + size / 2);
  return image;
}

std::string OversizeCertificateTable(std::string image) {
  WriteU32(image, kCertificateDirectory + 4, TableSize(image) + 0x1000);
  return image;
}

}  // namespace testkit::packages
