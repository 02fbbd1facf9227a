// The certificate and message calls that read who signed a file: the embedded Authenticode
// signature of a PE file, its signer information and the signer's certificate and name.
// They read; they verify nothing (WinTrust.h does).
#pragma once

#include "platform/win32/api/Files.h"
#include "platform/win32/api/Types.h"

using HCERTSTORE = void*;
using HCRYPTMSG = void*;

typedef struct _CRYPTOAPI_BLOB {
  DWORD cbData;
  BYTE* pbData;
} CRYPT_INTEGER_BLOB, *PCRYPT_INTEGER_BLOB, CERT_NAME_BLOB, *PCERT_NAME_BLOB, CRYPT_DATA_BLOB,
    *PCRYPT_DATA_BLOB, CRYPT_OBJID_BLOB, *PCRYPT_OBJID_BLOB, CRYPT_ATTR_BLOB, *PCRYPT_ATTR_BLOB;

typedef struct _CRYPT_ALGORITHM_IDENTIFIER {
  LPSTR pszObjId;
  CRYPT_OBJID_BLOB Parameters;
} CRYPT_ALGORITHM_IDENTIFIER, *PCRYPT_ALGORITHM_IDENTIFIER;

typedef struct _CRYPT_BIT_BLOB {
  DWORD cbData;
  BYTE* pbData;
  DWORD cUnusedBits;
} CRYPT_BIT_BLOB, *PCRYPT_BIT_BLOB;

typedef struct _CERT_PUBLIC_KEY_INFO {
  CRYPT_ALGORITHM_IDENTIFIER Algorithm;
  CRYPT_BIT_BLOB PublicKey;
} CERT_PUBLIC_KEY_INFO, *PCERT_PUBLIC_KEY_INFO;

typedef struct _CERT_EXTENSION {
  LPSTR pszObjId;
  BOOL fCritical;
  CRYPT_OBJID_BLOB Value;
} CERT_EXTENSION, *PCERT_EXTENSION;

typedef struct _CERT_INFO {
  DWORD dwVersion;
  CRYPT_INTEGER_BLOB SerialNumber;
  CRYPT_ALGORITHM_IDENTIFIER SignatureAlgorithm;
  CERT_NAME_BLOB Issuer;
  FILETIME NotBefore;
  FILETIME NotAfter;
  CERT_NAME_BLOB Subject;
  CERT_PUBLIC_KEY_INFO SubjectPublicKeyInfo;
  CRYPT_BIT_BLOB IssuerUniqueId;
  CRYPT_BIT_BLOB SubjectUniqueId;
  DWORD cExtension;
  PCERT_EXTENSION rgExtension;
} CERT_INFO, *PCERT_INFO;

// pCertInfo stays null here: the stand-in keeps the decoded certificate to itself.
typedef struct _CERT_CONTEXT {
  DWORD dwCertEncodingType;
  BYTE* pbCertEncoded;
  DWORD cbCertEncoded;
  PCERT_INFO pCertInfo;
  HCERTSTORE hCertStore;
} CERT_CONTEXT, *PCERT_CONTEXT;
typedef const CERT_CONTEXT* PCCERT_CONTEXT;

typedef struct _CRYPT_ATTRIBUTE {
  LPSTR pszObjId;
  DWORD cValue;
  PCRYPT_ATTR_BLOB rgValue;
} CRYPT_ATTRIBUTE, *PCRYPT_ATTRIBUTE;

typedef struct _CRYPT_ATTRIBUTES {
  DWORD cAttr;
  PCRYPT_ATTRIBUTE rgAttr;
} CRYPT_ATTRIBUTES, *PCRYPT_ATTRIBUTES;

// Of the signer information the stand-in fills dwVersion, Issuer (the DER-encoded name) and
// SerialNumber (little-endian, as Windows keeps integers); the rest stays zero.
typedef struct _CMSG_SIGNER_INFO {
  DWORD dwVersion;
  CERT_NAME_BLOB Issuer;
  CRYPT_INTEGER_BLOB SerialNumber;
  CRYPT_ALGORITHM_IDENTIFIER HashAlgorithm;
  CRYPT_ALGORITHM_IDENTIFIER HashEncryptionAlgorithm;
  CRYPT_DATA_BLOB EncryptedHash;
  CRYPT_ATTRIBUTES AuthAttrs;
  CRYPT_ATTRIBUTES UnauthAttrs;
} CMSG_SIGNER_INFO, *PCMSG_SIGNER_INFO;

#define X509_ASN_ENCODING 0x00000001
#define PKCS_7_ASN_ENCODING 0x00010000

#define CERT_QUERY_OBJECT_FILE 0x00000001
#define CERT_QUERY_CONTENT_PKCS7_SIGNED_EMBED 10
#define CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED (1 << CERT_QUERY_CONTENT_PKCS7_SIGNED_EMBED)
#define CERT_QUERY_FORMAT_BINARY 1
#define CERT_QUERY_FORMAT_FLAG_BINARY (1 << CERT_QUERY_FORMAT_BINARY)

#define CMSG_SIGNER_INFO_PARAM 6

#define CERT_COMPARE_SHIFT 16
#define CERT_COMPARE_SUBJECT_CERT 11
#define CERT_FIND_SUBJECT_CERT (CERT_COMPARE_SUBJECT_CERT << CERT_COMPARE_SHIFT)

#define CERT_NAME_SIMPLE_DISPLAY_TYPE 4

#define CRYPT_E_NOT_FOUND (static_cast<HRESULT>(0x80092004))
#define CRYPT_E_NO_MATCH (static_cast<HRESULT>(0x80092009))
#define CRYPT_E_INVALID_INDEX (static_cast<HRESULT>(0x80093100))

// The embedded signature of a PE file (object: its wide path): its certificates as a store and
// the PKCS#7 message. Fails with CRYPT_E_NO_MATCH for a file that is no PE or holds no readable
// signature, with the file error when it cannot be read.
BOOL CryptQueryObject(DWORD objectType, const void* object, DWORD expectedContentTypeFlags,
                      DWORD expectedFormatTypeFlags, DWORD flags, DWORD* msgAndCertEncodingType,
                      DWORD* contentType, DWORD* formatType, HCERTSTORE* certStore,
                      HCRYPTMSG* message, const void** context);
// CMSG_SIGNER_INFO_PARAM only. A null data pointer asks for the size; a smaller size than
// needed fails with ERROR_MORE_DATA and the size needed.
BOOL CryptMsgGetParam(HCRYPTMSG message, DWORD paramType, DWORD index, void* data, DWORD* dataSize);
BOOL CryptMsgClose(HCRYPTMSG message);
// CERT_FIND_SUBJECT_CERT only (findPara: a CERT_INFO with Issuer and SerialNumber); the search
// goes on after previous, which it frees. Null with CRYPT_E_NOT_FOUND when nothing matches.
PCCERT_CONTEXT CertFindCertificateInStore(HCERTSTORE store, DWORD certEncodingType,
                                          DWORD findFlags, DWORD findType, const void* findPara,
                                          PCCERT_CONTEXT previous);
BOOL CertFreeCertificateContext(PCCERT_CONTEXT certificate);
BOOL CertCloseStore(HCERTSTORE store, DWORD flags);
// CERT_NAME_SIMPLE_DISPLAY_TYPE: the subject's common name, else its organizational unit,
// organization or e-mail address. Characters written including the terminator (1 for no name);
// a null or empty buffer asks for the size.
DWORD CertGetNameStringW(PCCERT_CONTEXT certificate, DWORD type, DWORD flags, void* typePara,
                         LPWSTR name, DWORD nameSize);
