// WinVerifyTrust with the generic verify action: is a file's embedded Authenticode signature
// valid, does the file's digest match it, and does its signer chain to a trusted root (the
// machine's roots as internal/TrustedRoots.h reads them). No revocation checks, no UI.
#pragma once

#include "platform/win32/api/Types.h"

// {00AAC56B-CD44-11D0-8CC2-00C04FC295EE}
#define WINTRUST_ACTION_GENERIC_VERIFY_V2 \
  { 0xaac56b, 0xcd44, 0x11d0, { 0x8c, 0xc2, 0x00, 0xc0, 0x4f, 0xc2, 0x95, 0xee } }

#define WTD_UI_NONE 2
#define WTD_REVOKE_NONE 0x00000000
#define WTD_CHOICE_FILE 1
#define WTD_STATEACTION_IGNORE 0x00000000
#define WTD_STATEACTION_VERIFY 0x00000001
#define WTD_STATEACTION_CLOSE 0x00000002

typedef struct WINTRUST_FILE_INFO_ {
  DWORD cbStruct;
  LPCWSTR pcwszFilePath;
  HANDLE hFile;
  GUID* pgKnownSubject;
} WINTRUST_FILE_INFO, *PWINTRUST_FILE_INFO;

// Files are the only subject the stand-in verifies.
typedef struct _WINTRUST_DATA {
  DWORD cbStruct;
  LPVOID pPolicyCallbackData;
  LPVOID pSIPClientData;
  DWORD dwUIChoice;
  DWORD fdwRevocationChecks;
  DWORD dwUnionChoice;
  union {
    WINTRUST_FILE_INFO* pFile;
  };
  DWORD dwStateAction;
  HANDLE hWVTStateData;
  WCHAR* pwszURLReference;
  DWORD dwProvFlags;
  DWORD dwUIContext;
  struct WINTRUST_SIGNATURE_SETTINGS_* pSignatureSettings;
} WINTRUST_DATA, *PWINTRUST_DATA;

#define TRUST_E_PROVIDER_UNKNOWN (static_cast<HRESULT>(0x800B0001))
#define TRUST_E_SUBJECT_FORM_UNKNOWN (static_cast<HRESULT>(0x800B0003))
#define TRUST_E_NOSIGNATURE (static_cast<HRESULT>(0x800B0100))
#define CERT_E_EXPIRED (static_cast<HRESULT>(0x800B0101))
#define CERT_E_UNTRUSTEDROOT (static_cast<HRESULT>(0x800B0109))
#define CERT_E_CHAINING (static_cast<HRESULT>(0x800B010A))
#define CERT_E_WRONG_USAGE (static_cast<HRESULT>(0x800B0110))
#define TRUST_E_SYSTEM_ERROR (static_cast<HRESULT>(0x80096001))
#define TRUST_E_NO_SIGNER_CERT (static_cast<HRESULT>(0x80096002))
#define TRUST_E_CERT_SIGNATURE (static_cast<HRESULT>(0x80096004))
#define TRUST_E_BAD_DIGEST (static_cast<HRESULT>(0x80096010))
#define CRYPT_E_FILE_ERROR (static_cast<HRESULT>(0x80092003))

// 0 when the file is trusted, else the reason: TRUST_E_SUBJECT_FORM_UNKNOWN (no PE image),
// TRUST_E_NOSIGNATURE (none, or an unreadable certificate table), TRUST_E_NO_SIGNER_CERT,
// TRUST_E_BAD_DIGEST (signature or file digest do not match), CERT_E_UNTRUSTEDROOT,
// CERT_E_CHAINING, CERT_E_EXPIRED, CERT_E_WRONG_USAGE (no code signing), TRUST_E_CERT_SIGNATURE,
// CRYPT_E_FILE_ERROR (the file cannot be read). WTD_STATEACTION_VERIFY leaves state in
// hWVTStateData that WTD_STATEACTION_CLOSE releases.
LONG WinVerifyTrust(HWND window, GUID* action, LPVOID data);
