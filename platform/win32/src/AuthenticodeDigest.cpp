#include <cstring>
#include <memory>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Authenticode.h"

namespace win32 {
namespace {

// SpcIndirectDataContent: what an Authenticode signature signs, holding the image digest.
constexpr char kSpcIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";

using DigestInfo = std::unique_ptr<X509_SIG, decltype(&X509_SIG_free)>;

// The signed content: SEQUENCE { SpcAttributeTypeAndOptionalValue, DigestInfo }. The signature
// covers the sequence's body without its tag and length.
struct SignedContent {
  const unsigned char* body = nullptr;
  long length = 0;
};

// One DER header at p within limit; false for a malformed or indefinite-length one.
bool ReadHeader(const unsigned char*& p, long limit, long& length, int& tag) {
  int objectClass = 0;
  const int flags = ASN1_get_object(&p, &length, &tag, &objectClass, limit);
  return (flags & 0x80) == 0 && flags != 0x21;
}

bool ReadSignedContent(PKCS7* signedData, SignedContent& content) {
  PKCS7* inner = signedData->d.sign->contents;
  if (inner == nullptr || inner->type == nullptr) return false;
  std::unique_ptr<ASN1_OBJECT, decltype(&ASN1_OBJECT_free)> indirectData(OBJ_txt2obj(kSpcIndirectDataOid, 1),
                                                                         ASN1_OBJECT_free);
  if (!indirectData || OBJ_cmp(inner->type, indirectData.get()) != 0) return false;
  const ASN1_TYPE* value = inner->d.other;
  if (value == nullptr || value->type != V_ASN1_SEQUENCE) return false;
  const unsigned char* p = ASN1_STRING_get0_data(value->value.sequence);
  int tag = 0;
  if (!ReadHeader(p, ASN1_STRING_length(value->value.sequence), content.length, tag) || tag != V_ASN1_SEQUENCE)
    return false;
  content.body = p;
  return true;
}

DigestInfo ReadDigestInfo(const SignedContent& content) {
  const unsigned char* p = content.body;
  long dataLength = 0;
  int tag = 0;
  if (!ReadHeader(p, content.length, dataLength, tag)) return DigestInfo(nullptr, X509_SIG_free);
  p += dataLength;
  return DigestInfo(d2i_X509_SIG(nullptr, &p, content.length - (p - content.body)), X509_SIG_free);
}

// An Authenticode signature lists exactly one digest, and it must be one this machine computes:
// PKCS7_verify loses its copy of the content when it cannot start a listed digest.
bool ListsOneKnownDigest(PKCS7* signedData) {
  const STACK_OF(X509_ALGOR)* digests = signedData->d.sign->md_algs;
  if (sk_X509_ALGOR_num(digests) != 1) return false;
  char name[128] = {};
  if (OBJ_obj2txt(name, sizeof name, sk_X509_ALGOR_value(digests, 0)->algorithm, 0) <= 0) return false;
  std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> md(EVP_MD_fetch(nullptr, name, nullptr), EVP_MD_free);
  return md != nullptr;
}

bool SignatureVerifies(PKCS7* signedData, const SignedContent& content) {
  if (!ListsOneKnownDigest(signedData)) return false;
  std::unique_ptr<BIO, decltype(&BIO_free)> data(BIO_new_mem_buf(content.body, static_cast<int>(content.length)),
                                                 BIO_free);
  return data && PKCS7_verify(signedData, nullptr, nullptr, data.get(), nullptr,
                              PKCS7_NOVERIFY | PKCS7_BINARY) == 1;
}

// The image's digest without the checksum, the certificate-table entry and the table.
bool ImageDigestMatches(const EmbeddedSignature& signature, const X509_SIG* digestInfo) {
  const X509_ALGOR* algorithm = nullptr;
  const ASN1_OCTET_STRING* signedDigest = nullptr;
  X509_SIG_get0(digestInfo, &algorithm, &signedDigest);
  const ASN1_OBJECT* algorithmId = nullptr;
  X509_ALGOR_get0(&algorithmId, nullptr, nullptr, algorithm);
  const EVP_MD* md = EVP_get_digestbyobj(algorithmId);
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (md == nullptr || !context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1) return false;

  const std::string& image = signature.image;
  const std::size_t skipped[][2] = {{signature.checksumOffset, 4},
                                    {signature.directoryOffset, 8},
                                    {signature.tableOffset, signature.tableSize}};
  std::size_t from = 0;
  for (const auto& [offset, size] : skipped) {
    if (EVP_DigestUpdate(context.get(), image.data() + from, offset - from) != 1) return false;
    from = offset + size;
  }
  if (EVP_DigestUpdate(context.get(), image.data() + from, image.size() - from) != 1) return false;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestSize = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &digestSize) != 1) return false;
  return static_cast<unsigned int>(ASN1_STRING_length(signedDigest)) == digestSize &&
         std::memcmp(ASN1_STRING_get0_data(signedDigest), digest, digestSize) == 0;
}

}  // namespace

HRESULT CheckSignedDigest(const EmbeddedSignature& signature) {
  SignedContent content;
  DigestInfo digestInfo(nullptr, X509_SIG_free);
  const bool matches = ReadSignedContent(signature.signedData.get(), content) &&
                       (digestInfo = ReadDigestInfo(content)) != nullptr &&
                       SignatureVerifies(signature.signedData.get(), content) &&
                       ImageDigestMatches(signature, digestInfo.get());
  // The reasons stay out of the thread's error queue, which TLS code reads too.
  ERR_clear_error();
  return matches ? S_OK : TRUST_E_BAD_DIGEST;
}

}  // namespace win32
