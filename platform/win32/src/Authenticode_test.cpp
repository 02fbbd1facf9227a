#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "testkit/packages/ImageDamage.h"
#include "testkit/packages/PackageFolder.h"
#include "testkit/packages/PeImage.h"
#include "testkit/packages/Signing.h"
#include "testkit/packages/Zip.h"

namespace {

using testkit::packages::PackageFolder;
using testkit::packages::Signer;

LONG VerifyTrust(const std::wstring& path) {
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG result = WinVerifyTrust(nullptr, &action, &data);
  EXPECT_NE(data.hWVTStateData, nullptr);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  EXPECT_EQ(WinVerifyTrust(nullptr, &action, &data), 0);
  EXPECT_EQ(data.hWVTStateData, nullptr);
  return result;
}

// The signature's store and message, released with the object.
struct QueriedSignature {
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  DWORD error = 0;
  explicit QueriedSignature(const std::wstring& path) {
    DWORD encoding = 0;
    DWORD content = 0;
    DWORD format = 0;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &content, &format, &store, &message,
                          nullptr))
      error = GetLastError();
  }
  ~QueriedSignature() {
    if (store != nullptr) CertCloseStore(store, 0);
    if (message != nullptr) CryptMsgClose(message);
  }
  QueriedSignature(const QueriedSignature&) = delete;
  QueriedSignature& operator=(const QueriedSignature&) = delete;

  // The first signer's information in a buffer of the size the message asks for.
  std::unique_ptr<BYTE[]> SignerInfo(DWORD& size) const {
    size = 0;
    if (!CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size)) return nullptr;
    auto buffer = std::make_unique<BYTE[]>(size);
    if (!CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, buffer.get(), &size)) return nullptr;
    return buffer;
  }

  PCCERT_CONTEXT FindSigner(const CMSG_SIGNER_INFO& signer) const {
    CERT_INFO wanted = {};
    wanted.Issuer = signer.Issuer;
    wanted.SerialNumber = signer.SerialNumber;
    return CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                      CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
  }
};

// The signer's simple display name by the calls a Windows program makes, or nothing.
std::optional<std::wstring> SignerName(const std::wstring& path) {
  QueriedSignature signature(path);
  if (signature.error != 0) return std::nullopt;
  DWORD size = 0;
  std::unique_ptr<BYTE[]> info = signature.SignerInfo(size);
  if (!info) return std::nullopt;
  PCCERT_CONTEXT certificate = signature.FindSigner(*reinterpret_cast<CMSG_SIGNER_INFO*>(info.get()));
  if (certificate == nullptr) return std::nullopt;
  WCHAR name[1024] = {};
  CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 1024);
  CertFreeCertificateContext(certificate);
  return std::wstring(name);
}

// An unsigned image whose certificate table holds signed data that leaves out its content.
std::string SignedDataWithoutContent() {
  std::string image = testkit::packages::MakePeImage("setup");
  const std::string der("\x30\x0b\x06\x09\x2a\x86\x48\x86\xf7\x0d\x01\x07\x02", 13);
  const std::uint32_t offset = static_cast<std::uint32_t>(image.size());
  const std::uint32_t length = static_cast<std::uint32_t>(8 + der.size());
  auto put32 = [&image](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) image[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
  };
  image += std::string(8, '\0') + der;
  put32(offset, length);
  put32(offset + 4, 0x00020200);  // revision 2, PKCS#7 signed data
  const std::size_t directory = 0x40 + 24 + 96 + 8 * 4;
  put32(directory, offset);
  put32(directory + 4, length);
  return image;
}

// The signature's list of digests (left out of what is signed) naming an unknown one in place of
// SHA-256.
std::string UnknownDigestListed(std::string image) {
  const std::string sha256("\x06\x09\x60\x86\x48\x01\x65\x03\x04\x02\x01", 11);
  const std::string::size_type at = image.find(sha256);
  if (at != std::string::npos) image[at + sha256.size() - 1] = 0;
  return image;
}

class AuthenticodeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_folder = new PackageFolder;
    s_quelmo = s_folder->SignedImage(Signer::Quelmo);
  }
  static void TearDownTestSuite() {
    delete s_folder;
    s_folder = nullptr;
  }

  static std::wstring Write(const std::string& name, const std::string& bytes) {
    return win32::NativeToWindowsPath(s_folder->Write(name, bytes));
  }

  static PackageFolder* s_folder;
  static std::string s_quelmo;
};

PackageFolder* AuthenticodeTest::s_folder = nullptr;
std::string AuthenticodeTest::s_quelmo;

TEST_F(AuthenticodeTest, TrustAndSignerNameOfEachFile) {
  const std::wstring quelmo = L"Quelmo Display Tools";
  // The header checksum is left out of the digest, as on Windows: tools rewrite it.
  std::string newChecksum = s_quelmo;
  newChecksum[0x40 + 24 + 64] ^= 0x5A;
  struct Case {
    const char* what;
    std::string bytes;
    LONG trust;
    std::optional<std::wstring> name;
  } cases[] = {
      {"signed, name in capitals", s_quelmo, 0, quelmo},
      {"name in lower case", s_folder->SignedImage(Signer::LowerCaseQuelmo), 0, L"quelmo display tools"},
      {"Quelmo only in O", s_folder->SignedImage(Signer::QuelmoOnlyInOrganization), 0, L"Halvane Display Tools"},
      {"checksum rewritten", newChecksum, 0, quelmo},
      {"untrusted root", s_folder->SignedImage(Signer::UntrustedQuelmo), CERT_E_UNTRUSTEDROOT, quelmo},
      {"expired signer", s_folder->SignedImage(Signer::ExpiredQuelmo), CERT_E_EXPIRED, quelmo},
      {"tampered after signing", testkit::packages::TamperSection(s_quelmo), TRUST_E_BAD_DIGEST, quelmo},
      {"signed digest replaced without the key", testkit::packages::TamperSectionAndSignedDigest(s_quelmo),
       TRUST_E_BAD_DIGEST, quelmo},
      {"bytes appended after signing", s_quelmo + "appended", TRUST_E_BAD_DIGEST, quelmo},
      {"unknown digest listed", UnknownDigestListed(s_quelmo), TRUST_E_BAD_DIGEST, quelmo},
      {"unsigned", testkit::packages::MakePeImage("setup"), TRUST_E_NOSIGNATURE, std::nullopt},
      {"truncated certificate table", testkit::packages::TruncateCertificateTable(s_quelmo),
       TRUST_E_NOSIGNATURE, std::nullopt},
      {"certificate table larger than the file", testkit::packages::OversizeCertificateTable(s_quelmo),
       TRUST_E_NOSIGNATURE, std::nullopt},
      {"signed data without content", SignedDataWithoutContent(), TRUST_E_NOSIGNATURE, std::nullopt},
      {"zip", testkit::packages::MakeZip({{"setup.exe", s_quelmo}}), TRUST_E_SUBJECT_FORM_UNKNOWN,
       std::nullopt},
      {"only MZ", "MZ", TRUST_E_SUBJECT_FORM_UNKNOWN, std::nullopt},
      {"empty", "", TRUST_E_SUBJECT_FORM_UNKNOWN, std::nullopt},
  };
  int index = 0;
  for (const Case& c : cases) {
    const std::wstring path = Write("case" + std::to_string(index++) + ".exe", c.bytes);
    EXPECT_EQ(VerifyTrust(path), c.trust) << c.what;
    EXPECT_EQ(SignerName(path), c.name) << c.what;
  }
}

TEST_F(AuthenticodeTest, AFileThatCannotBeReadIsAFileError) {
  const std::wstring missing = win32::NativeToWindowsPath(s_folder->Path() + "/missing.exe");
  EXPECT_EQ(VerifyTrust(missing), CRYPT_E_FILE_ERROR);
  EXPECT_EQ(QueriedSignature(missing).error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(VerifyTrust(win32::NativeToWindowsPath(s_folder->Path())), CRYPT_E_FILE_ERROR);
}

TEST_F(AuthenticodeTest, OnlyTheGenericVerifyActionIsKnown) {
  const std::wstring path = Write("action.exe", s_quelmo);
  WINTRUST_FILE_INFO file = {sizeof(WINTRUST_FILE_INFO), path.c_str(), nullptr, nullptr};
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  GUID other = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  other.Data1 ^= 1;
  EXPECT_EQ(WinVerifyTrust(nullptr, &other, &data), TRUST_E_PROVIDER_UNKNOWN);
  GUID generic = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  EXPECT_EQ(WinVerifyTrust(nullptr, &generic, &data), 0);
  EXPECT_EQ(data.hWVTStateData, nullptr);
}

TEST_F(AuthenticodeTest, TheTrustedRootsAreTheOnesTheMachineNames) {
  const std::wstring path = Write("roots.exe", s_quelmo);
  setenv("TARVIK_WIN32_TRUSTED_CA", (s_folder->Path() + "/pki/untrusted-root.pem").c_str(), 1);
  EXPECT_EQ(VerifyTrust(path), CERT_E_UNTRUSTEDROOT);
  setenv("TARVIK_WIN32_TRUSTED_CA", s_folder->Pki().TrustedRootFile().c_str(), 1);
  EXPECT_EQ(VerifyTrust(path), 0);
}

TEST_F(AuthenticodeTest, SignerInfoIsSizedThenFilledWithBlobsInTheCallersBuffer) {
  QueriedSignature signature(Write("info.exe", s_quelmo));
  ASSERT_EQ(signature.error, 0u);
  DWORD size = 0;
  ASSERT_TRUE(CryptMsgGetParam(signature.message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size));
  ASSERT_GT(size, sizeof(CMSG_SIGNER_INFO));

  auto buffer = std::make_unique<BYTE[]>(size);
  DWORD tooSmall = size - 1;
  EXPECT_FALSE(CryptMsgGetParam(signature.message, CMSG_SIGNER_INFO_PARAM, 0, buffer.get(), &tooSmall));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(tooSmall, size);

  ASSERT_TRUE(CryptMsgGetParam(signature.message, CMSG_SIGNER_INFO_PARAM, 0, buffer.get(), &size));
  const auto& info = *reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.get());
  for (const CRYPT_INTEGER_BLOB& blob : {info.Issuer, info.SerialNumber}) {
    EXPECT_GT(blob.cbData, 0u);
    EXPECT_GE(blob.pbData, buffer.get() + sizeof(CMSG_SIGNER_INFO));
    EXPECT_LE(blob.pbData + blob.cbData, buffer.get() + size);
  }

  // The serial number is little-endian, as Windows keeps integers.
  std::unique_ptr<FILE, decltype(&std::fclose)> pem(
      std::fopen(s_folder->Pki().Files(Signer::Quelmo).certificates.c_str(), "r"), std::fclose);
  ASSERT_TRUE(pem);
  std::unique_ptr<X509, decltype(&X509_free)> certificate(PEM_read_X509(pem.get(), nullptr, nullptr, nullptr),
                                                          X509_free);
  ASSERT_TRUE(certificate);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> serial(
      ASN1_INTEGER_to_BN(X509_get_serialNumber(certificate.get()), nullptr), BN_free);
  std::string expected(info.SerialNumber.cbData, '\0');
  BN_bn2lebinpad(serial.get(), reinterpret_cast<unsigned char*>(expected.data()),
                 static_cast<int>(expected.size()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.SerialNumber.pbData), info.SerialNumber.cbData),
            expected);

  DWORD second = size;
  EXPECT_FALSE(CryptMsgGetParam(signature.message, CMSG_SIGNER_INFO_PARAM, 1, buffer.get(), &second));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_INVALID_INDEX));
}

TEST_F(AuthenticodeTest, TheStoreFindsOnlyTheCertificateWithThatIssuerAndSerial) {
  QueriedSignature signature(Write("find.exe", s_quelmo));
  DWORD size = 0;
  std::unique_ptr<BYTE[]> buffer = signature.SignerInfo(size);
  ASSERT_TRUE(buffer);
  auto& info = *reinterpret_cast<CMSG_SIGNER_INFO*>(buffer.get());

  PCCERT_CONTEXT found = signature.FindSigner(info);
  ASSERT_NE(found, nullptr);
  EXPECT_GT(found->cbCertEncoded, 0u);
  // No second certificate matches; the search frees the previous one.
  CERT_INFO wanted = {};
  wanted.Issuer = info.Issuer;
  wanted.SerialNumber = info.SerialNumber;
  EXPECT_EQ(CertFindCertificateInStore(signature.store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                       CERT_FIND_SUBJECT_CERT, &wanted, found),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_NOT_FOUND));

  info.SerialNumber.pbData[0] ^= 1;
  EXPECT_EQ(signature.FindSigner(info), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_NOT_FOUND));
}

TEST_F(AuthenticodeTest, SimpleDisplayNameIsTheFirstOfCommonNameUnitOrganizationAndEmail) {
  struct Case {
    const char* stem;
    testkit::packages::CertificateSubject subject;
    std::wstring name;
  } cases[] = {
      {"all", {"Quelmo CN", "Quelmo OU", "Quelmo O", "cn@quelmo.example"}, L"Quelmo CN"},
      {"unit", {"", "Quelmo OU", "Quelmo O", "ou@quelmo.example"}, L"Quelmo OU"},
      {"organization", {"", "", "Quelmo O", "o@quelmo.example"}, L"Quelmo O"},
      {"email", {"", "", "", "signer@quelmo.example"}, L"signer@quelmo.example"},
      {"non-ASCII", {"Quelmo Bildschirmwerkzeuge Zürich", "", "", ""}, L"Quelmo Bildschirmwerkzeuge Zürich"},
  };
  for (const Case& c : cases) {
    const std::string image = testkit::packages::SignPeImage(testkit::packages::MakePeImage("name"),
                                                             s_folder->Pki().AddSigner(c.stem, c.subject));
    EXPECT_EQ(SignerName(Write(std::string(c.stem) + ".exe", image)), c.name) << c.stem;
  }
}

TEST_F(AuthenticodeTest, NameStringIsSizedThenCutToTheBuffer) {
  QueriedSignature signature(Write("buffer.exe", s_quelmo));
  DWORD size = 0;
  std::unique_ptr<BYTE[]> buffer = signature.SignerInfo(size);
  ASSERT_TRUE(buffer);
  PCCERT_CONTEXT certificate = signature.FindSigner(*reinterpret_cast<CMSG_SIGNER_INFO*>(buffer.get()));
  ASSERT_NE(certificate, nullptr);

  const std::wstring full = L"Quelmo Display Tools";
  EXPECT_EQ(CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0),
            full.size() + 1);
  WCHAR small[7];
  EXPECT_EQ(CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, small, 7), 7u);
  EXPECT_EQ(std::wstring(small), L"Quelmo");
  CertFreeCertificateContext(certificate);
}

}  // namespace
