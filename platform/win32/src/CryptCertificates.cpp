#include <algorithm>
#include <cstring>
#include <string>

#include <openssl/objects.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/CryptObjects.h"
#include "platform/win32/internal/Drive.h"

namespace {

bool BlobEquals(const CRYPT_INTEGER_BLOB& blob, const std::vector<BYTE>& bytes) {
  return blob.cbData == bytes.size() &&
         (bytes.empty() || std::memcmp(blob.pbData, bytes.data(), bytes.size()) == 0);
}

bool IsSubject(X509* certificate, const CERT_INFO& wanted) {
  return BlobEquals(wanted.Issuer, win32::NameBlob(X509_get_issuer_name(certificate))) &&
         BlobEquals(wanted.SerialNumber, win32::SerialBlob(X509_get_serialNumber(certificate)));
}

win32::CertificateContext* NewContext(HCERTSTORE store, X509* certificate, std::size_t index) {
  auto* context = new win32::CertificateContext;
  X509_up_ref(certificate);
  context->certificate.reset(certificate);
  unsigned char* der = nullptr;
  const int size = i2d_X509(certificate, &der);
  if (size > 0) context->encoded.assign(der, der + size);
  OPENSSL_free(der);
  context->dwCertEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
  context->pbCertEncoded = context->encoded.data();
  context->cbCertEncoded = static_cast<DWORD>(context->encoded.size());
  context->hCertStore = store;
  context->index = index;
  return context;
}

// Windows' simple display name: the first of these parts of the subject that it has.
std::wstring SimpleDisplayName(X509* certificate) {
  const X509_NAME* subject = X509_get_subject_name(certificate);
  for (int nid : {NID_commonName, NID_organizationalUnitName, NID_organizationName, NID_pkcs9_emailAddress}) {
    const int position = X509_NAME_get_index_by_NID(subject, nid, -1);
    if (position < 0) continue;
    unsigned char* utf8 = nullptr;
    const int size = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, position)));
    if (size < 0) continue;
    std::wstring name =
        win32::Utf8ToWide(std::string(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(size)));
    OPENSSL_free(utf8);
    return name;
  }
  return {};
}

}  // namespace

PCCERT_CONTEXT CertFindCertificateInStore(HCERTSTORE store, DWORD, DWORD, DWORD findType,
                                          const void* findPara, PCCERT_CONTEXT previous) {
  auto* certificates = win32::ObjectFromHandle<win32::CertStore>(store);
  const auto* wanted = static_cast<const CERT_INFO*>(findPara);
  std::size_t next = 0;
  if (previous != nullptr) {
    next = static_cast<const win32::CertificateContext*>(previous)->index + 1;
    CertFreeCertificateContext(previous);
  }
  if (certificates == nullptr || findType != CERT_FIND_SUBJECT_CERT || wanted == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  for (std::size_t i = next; i < certificates->certificates.size(); ++i) {
    X509* certificate = certificates->certificates[i].get();
    if (IsSubject(certificate, *wanted)) return NewContext(store, certificate, i);
  }
  SetLastError(static_cast<DWORD>(CRYPT_E_NOT_FOUND));
  return nullptr;
}

BOOL CertFreeCertificateContext(PCCERT_CONTEXT certificate) {
  delete static_cast<const win32::CertificateContext*>(certificate);
  return TRUE;
}

DWORD CertGetNameStringW(PCCERT_CONTEXT certificate, DWORD type, DWORD, void*, LPWSTR name, DWORD nameSize) {
  std::wstring found;
  if (certificate != nullptr && type == CERT_NAME_SIMPLE_DISPLAY_TYPE)
    found = SimpleDisplayName(static_cast<const win32::CertificateContext*>(certificate)->certificate.get());
  if (name == nullptr || nameSize == 0) return static_cast<DWORD>(found.size() + 1);
  const std::size_t copied = std::min<std::size_t>(found.size(), nameSize - 1);
  std::wmemcpy(name, found.data(), copied);
  name[copied] = L'\0';
  return static_cast<DWORD>(copied + 1);
}
