#include "agent-windows/update/CheckFileSigner.h"

#include <cwchar>

#include "foundation/log/Log.h"
#include "platform/win32/Win32.h"

namespace {

constexpr DWORD kNameLength = 1024;

// A name is no proof: anyone can put "Quelmo" in a certificate, so the signature must hold first.
bool IsTrusted(const std::wstring& path) {
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA trust = {};
  trust.cbStruct = sizeof trust;
  trust.dwUIChoice = WTD_UI_NONE;
  trust.fdwRevocationChecks = WTD_REVOKE_NONE;
  trust.dwUnionChoice = WTD_CHOICE_FILE;
  trust.pFile = &file;
  trust.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG result = WinVerifyTrust(nullptr, &action, &trust);
  trust.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(nullptr, &action, &trust);
  if (result != ERROR_SUCCESS) {
    LogError(L"WinVerifyTrust rejects the file ( 0x%08lX ): %s", static_cast<DWORD>(result), path.c_str());
    return false;
  }
  return true;
}

// What reading the signer's name holds; released on every path.
struct SignerLookup {
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  PCMSG_SIGNER_INFO signerInfo = nullptr;
  PCCERT_CONTEXT certificate = nullptr;

  SignerLookup() = default;
  SignerLookup(const SignerLookup&) = delete;
  SignerLookup& operator=(const SignerLookup&) = delete;
  ~SignerLookup() {
    if (certificate != nullptr) CertFreeCertificateContext(certificate);
    if (signerInfo != nullptr) LocalFree(signerInfo);
    if (store != nullptr) CertCloseStore(store, 0);
    if (message != nullptr) CryptMsgClose(message);
  }
};

bool SignerNameHoldsQuelmo(const std::wstring& path) {
  SignerLookup lookup;
  DWORD encoding = 0;
  DWORD contentType = 0;
  DWORD formatType = 0;
  if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                        CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType,
                        &lookup.store, &lookup.message, nullptr))
    return false;

  DWORD size = 0;
  if (!CryptMsgGetParam(lookup.message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size)) return false;
  lookup.signerInfo = static_cast<PCMSG_SIGNER_INFO>(LocalAlloc(LPTR, size));
  if (lookup.signerInfo == nullptr ||
      !CryptMsgGetParam(lookup.message, CMSG_SIGNER_INFO_PARAM, 0, lookup.signerInfo, &size))
    return false;

  CERT_INFO signer = {};
  signer.Issuer = lookup.signerInfo->Issuer;
  signer.SerialNumber = lookup.signerInfo->SerialNumber;
  lookup.certificate = CertFindCertificateInStore(lookup.store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                  CERT_FIND_SUBJECT_CERT, &signer, nullptr);
  if (lookup.certificate == nullptr) return false;

  WCHAR name[kNameLength] = {};
  if (CertGetNameStringW(lookup.certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, kNameLength) <= 1)
    return false;
  return std::wcsstr(name, L"Quelmo") != nullptr;
}

}  // namespace

bool CheckFileSigner(const std::wstring& path) { return IsTrusted(path) && SignerNameHoldsQuelmo(path); }
