#include <cstring>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Authenticode.h"

namespace {

// What WTD_STATEACTION_VERIFY leaves behind until WTD_STATEACTION_CLOSE.
struct VerifyState {
  LONG result;
};

bool IsGenericVerify(const GUID* action) {
  const GUID genericVerify = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return action != nullptr && std::memcmp(action, &genericVerify, sizeof genericVerify) == 0;
}

LONG VerifyFile(const WINTRUST_FILE_INFO& file) {
  if (file.pcwszFilePath == nullptr) return ERROR_INVALID_PARAMETER;
  const win32::EmbeddedSignature signature = win32::ReadEmbeddedSignature(file.pcwszFilePath);
  switch (signature.status) {
    case win32::SignatureStatus::FileError:
      return CRYPT_E_FILE_ERROR;
    case win32::SignatureStatus::NotPe:
      return TRUST_E_SUBJECT_FORM_UNKNOWN;
    case win32::SignatureStatus::NoSignature:
      return TRUST_E_NOSIGNATURE;
    case win32::SignatureStatus::Found:
      break;
  }
  X509* signer = win32::SignerCertificate(signature.signedData.get());
  if (signer == nullptr) return TRUST_E_NO_SIGNER_CERT;
  if (const HRESULT digest = win32::CheckSignedDigest(signature); digest != S_OK) return digest;
  return win32::CheckSignerChain(signature.signedData.get(), signer);
}

}  // namespace

LONG WinVerifyTrust(HWND, GUID* action, LPVOID data) {
  auto* trust = static_cast<WINTRUST_DATA*>(data);
  if (!IsGenericVerify(action)) return TRUST_E_PROVIDER_UNKNOWN;
  if (trust == nullptr) return ERROR_INVALID_PARAMETER;
  if (trust->dwStateAction == WTD_STATEACTION_CLOSE) {
    delete static_cast<VerifyState*>(trust->hWVTStateData);
    trust->hWVTStateData = nullptr;
    return ERROR_SUCCESS;
  }
  if (trust->dwUnionChoice != WTD_CHOICE_FILE || trust->pFile == nullptr)
    return TRUST_E_SUBJECT_FORM_UNKNOWN;
  const LONG result = VerifyFile(*trust->pFile);
  if (trust->dwStateAction == WTD_STATEACTION_VERIFY) trust->hWVTStateData = new VerifyState{result};
  return result;
}
