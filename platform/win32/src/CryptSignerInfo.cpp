#include <cstring>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/CryptObjects.h"

BOOL CryptMsgGetParam(HCRYPTMSG message, DWORD paramType, DWORD index, void* data, DWORD* dataSize) {
  auto* signedMessage = win32::ObjectFromHandle<win32::CryptMessage>(message);
  if (signedMessage == nullptr || paramType != CMSG_SIGNER_INFO_PARAM || dataSize == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(signedMessage->signedData.get());
  if (signers == nullptr || index >= static_cast<DWORD>(sk_PKCS7_SIGNER_INFO_num(signers))) {
    SetLastError(static_cast<DWORD>(CRYPT_E_INVALID_INDEX));
    return FALSE;
  }
  const PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(signers, static_cast<int>(index));
  const std::vector<BYTE> issuer = win32::NameBlob(signer->issuer_and_serial->issuer);
  const std::vector<BYTE> serial = win32::SerialBlob(signer->issuer_and_serial->serial);

  // As on Windows the blobs follow the structure in the caller's buffer.
  const std::size_t needed = sizeof(CMSG_SIGNER_INFO) + issuer.size() + serial.size();
  if (data == nullptr || *dataSize < needed) {
    const bool sizeQuery = data == nullptr;
    *dataSize = static_cast<DWORD>(needed);
    if (sizeQuery) return TRUE;
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  auto* info = static_cast<CMSG_SIGNER_INFO*>(data);
  *info = CMSG_SIGNER_INFO{};
  BYTE* blobs = static_cast<BYTE*>(data) + sizeof(CMSG_SIGNER_INFO);
  info->dwVersion = static_cast<DWORD>(ASN1_INTEGER_get(signer->version));
  info->Issuer = {static_cast<DWORD>(issuer.size()), blobs};
  std::memcpy(blobs, issuer.data(), issuer.size());
  info->SerialNumber = {static_cast<DWORD>(serial.size()), blobs + issuer.size()};
  std::memcpy(blobs + issuer.size(), serial.data(), serial.size());
  *dataSize = static_cast<DWORD>(needed);
  return TRUE;
}
