#include "platform/win32/Win32.h"
#include "platform/win32/internal/Authenticode.h"
#include "platform/win32/internal/CryptObjects.h"

BOOL CryptQueryObject(DWORD objectType, const void* object, DWORD expectedContentTypeFlags,
                      DWORD expectedFormatTypeFlags, DWORD, DWORD* msgAndCertEncodingType,
                      DWORD* contentType, DWORD* formatType, HCERTSTORE* certStore,
                      HCRYPTMSG* message, const void** context) {
  if (objectType != CERT_QUERY_OBJECT_FILE || object == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // An embedded signature in binary form is all this stand-in finds.
  if ((expectedContentTypeFlags & CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED) == 0 ||
      (expectedFormatTypeFlags & CERT_QUERY_FORMAT_FLAG_BINARY) == 0) {
    SetLastError(static_cast<DWORD>(CRYPT_E_NO_MATCH));
    return FALSE;
  }
  win32::EmbeddedSignature signature = win32::ReadEmbeddedSignature(static_cast<LPCWSTR>(object));
  if (signature.status == win32::SignatureStatus::FileError) {
    SetLastError(signature.fileError);
    return FALSE;
  }
  if (signature.status != win32::SignatureStatus::Found) {
    SetLastError(static_cast<DWORD>(CRYPT_E_NO_MATCH));
    return FALSE;
  }

  if (msgAndCertEncodingType != nullptr) *msgAndCertEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
  if (contentType != nullptr) *contentType = CERT_QUERY_CONTENT_PKCS7_SIGNED_EMBED;
  if (formatType != nullptr) *formatType = CERT_QUERY_FORMAT_BINARY;
  if (context != nullptr) *context = nullptr;
  if (certStore != nullptr) {
    auto* store = new win32::CertStore;
    STACK_OF(X509)* certificates = signature.signedData->d.sign->cert;
    for (int i = 0; i < sk_X509_num(certificates); ++i) {
      X509* certificate = sk_X509_value(certificates, i);
      X509_up_ref(certificate);
      store->certificates.emplace_back(certificate, X509_free);
    }
    *certStore = win32::HandleFromObject(store);
  }
  if (message != nullptr) {
    auto* signedMessage = new win32::CryptMessage;
    signedMessage->signedData = signature.signedData;
    *message = win32::HandleFromObject(signedMessage);
  }
  return TRUE;
}

BOOL CryptMsgClose(HCRYPTMSG message) {
  delete win32::ObjectFromHandle<win32::CryptMessage>(message);
  return TRUE;
}

BOOL CertCloseStore(HCERTSTORE store, DWORD) {
  delete win32::ObjectFromHandle<win32::CertStore>(store);
  return TRUE;
}
