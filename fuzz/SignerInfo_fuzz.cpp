// A downloaded update package, as the agent's signer check reads it: the input is the file's
// bytes (a PE image, signed or not). The check runs as the download does; then the certificate
// calls read every signer's name whatever the trust verdict, since the agent asks them only
// after a signature holds, which a mutated input rarely keeps.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <openssl/crypto.h>
#include <spdlog/spdlog.h>

#include "agent-windows/update/CheckFileSigner.h"
#include "fuzz/ScratchFolder.h"
#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

namespace {

namespace fs = std::filesystem;

// The root that signed the seeds under corpus/signer_info, so that they pass WinVerifyTrust.
constexpr char kTrustedRoot[] = R"(-----BEGIN CERTIFICATE-----
MIIBoTCCAUigAwIBAgIIIoS/jN0Eei0wCgYIKoZIzj0EAwIwNTEZMBcGA1UEAwwQ
VGFydmlrIFRlc3QgUm9vdDEYMBYGA1UECgwPVGFydmlrIFRlc3QgUEtJMB4XDTI2
MTIxMDAwMjMyMFoXDTM2MTIwODAwMjMyMFowNTEZMBcGA1UEAwwQVGFydmlrIFRl
c3QgUm9vdDEYMBYGA1UECgwPVGFydmlrIFRlc3QgUEtJMFkwEwYHKoZIzj0CAQYI
KoZIzj0DAQcDQgAEO/jyGee38Xg0YUTUToFOxARn9bZU6ItXOlLL7cEw5TUpAhP0
XLStoD7aUWhDKk5pjj9lLXCCKBUGqSQwDdO1iqNCMEAwHQYDVR0OBBYEFBvNaiY7
u2YDSfnCbOTqHv5LAZQgMA8GA1UdEwEB/wQFMAMBAf8wDgYDVR0PAQH/BAQDAgEG
MAoGCCqGSM49BAMCA0cAMEQCIFKr5HcfqLD7FBKkkMBiSIl0HBv8MWtRDl43zR7F
0ICxAiBPVTybByuYui8trDKoYp6SY0g9KjPBkgBNduvTMd1PMg==
-----END CERTIFICATE-----
)";

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct Scratch {
  fs::path root = fuzzing::ScratchFolder("signer_info");
  fs::path file = root / "package.tmp";
  std::wstring windowsPath;

  Scratch() {
    const fs::path trustedRoot = root / "trusted-root.pem";
    std::ofstream(trustedRoot) << kTrustedRoot;
    setenv("TARVIK_WIN32_TRUSTED_CA", trustedRoot.c_str(), 1);
    windowsPath = win32::NativeToWindowsPath(file.string());
    spdlog::set_level(spdlog::level::off);
  }

  static const Scratch& Get() {
    static const Scratch scratch;
    return scratch;
  }
};

// The certificate's display name, in a buffer of exactly the size asked for and in one too small.
void ReadName(PCCERT_CONTEXT certificate) {
  const DWORD needed = CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  std::vector<WCHAR> name(needed);
  if (needed == 0 ||
      CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), needed) != needed)
    std::abort();
  WCHAR cut[4];
  CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, cut, 4);
  if (std::wcslen(cut) >= 4) std::abort();
}

// Signer info at index into a buffer of exactly its size, after one byte short is refused;
// false when there is no such signer.
bool ReadSignerInfo(HCRYPTMSG message, DWORD index, std::unique_ptr<BYTE[]>& info) {
  DWORD size = 0;
  if (!CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, index, nullptr, &size)) return false;
  info = std::make_unique<BYTE[]>(size);
  DWORD shortSize = size - 1;
  if (CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, index, info.get(), &shortSize) ||
      GetLastError() != ERROR_MORE_DATA || !CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, index, info.get(), &size))
    std::abort();
  return true;
}

void ReadSignerNames(const std::wstring& path) {
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                        CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &store, &message, nullptr))
    return;
  std::unique_ptr<BYTE[]> buffer;
  for (DWORD index = 0; ReadSignerInfo(message, index, buffer); ++index) {
    const auto* info = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.get());
    CERT_INFO wanted = {};
    wanted.Issuer = info->Issuer;
    wanted.SerialNumber = info->SerialNumber;
    // Every certificate of the store that matches, as a search goes on from the previous one.
    for (PCCERT_CONTEXT certificate =
             CertFindCertificateInStore(store, kEncoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
         certificate != nullptr;
         certificate = CertFindCertificateInStore(store, kEncoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, certificate))
      ReadName(certificate);
  }
  CryptMsgClose(message);
  CertCloseStore(store, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Scratch& scratch = Scratch::Get();
  std::ofstream(scratch.file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  CheckFileSigner(scratch.windowsPath);
  ReadSignerNames(scratch.windowsPath);
  // The thread's error queue keeps its message buffers between inputs; freed here, an input
  // frees what it allocates and libFuzzer has no leak to look for.
  OPENSSL_thread_stop();
  return 0;
}
