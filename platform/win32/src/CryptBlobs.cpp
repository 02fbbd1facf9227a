#include <algorithm>

#include <openssl/crypto.h>

#include "platform/win32/internal/CryptObjects.h"

namespace win32 {

std::vector<BYTE> NameBlob(const X509_NAME* name) {
  unsigned char* der = nullptr;
  const int size = i2d_X509_NAME(name, &der);
  if (size <= 0) return {};
  std::vector<BYTE> blob(der, der + size);
  OPENSSL_free(der);
  return blob;
}

std::vector<BYTE> SerialBlob(const ASN1_INTEGER* serial) {
  unsigned char* der = nullptr;
  const int size = i2d_ASN1_INTEGER(serial, &der);
  if (size <= 0) return {};
  // Past the tag and the length (short or long form) lies the two's-complement value.
  const unsigned char* p = der;
  long length = 0;
  int tag = 0;
  int objectClass = 0;
  std::vector<BYTE> blob;
  if ((ASN1_get_object(&p, &length, &tag, &objectClass, size) & 0x80) == 0)
    blob.assign(p, p + length);
  OPENSSL_free(der);
  std::reverse(blob.begin(), blob.end());
  return blob;
}

}  // namespace win32
