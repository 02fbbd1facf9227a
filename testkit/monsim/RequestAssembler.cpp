#include "testkit/monsim/RequestAssembler.h"

#include "moncontrol/transport/CommandHeader.h"
#include "moncontrol/transport/Signature.h"

namespace monsim {

RequestAssembler::Result RequestAssembler::Add(const std::uint8_t* report, std::size_t length) {
  if (length == 0) return {};
  // A continuation report's first byte is its report ID, not request data.
  std::size_t skip = m_bytes.empty() ? 0 : 1;
  if (length > skip) m_bytes.insert(m_bytes.end(), report + skip, report + length);
  if (m_bytes.size() < kMccmdHeaderSize) return {};

  std::uint32_t dataLength = LoadMccmdHeader(m_bytes.data()).dataLength;
  // Beyond what a signature can cover no request is valid: refuse it before waiting for
  // (or storing) the bytes a hostile length announces.
  if (dataLength > kMaxSignedDataLength) {
    Result result{Outcome::TooLong, {m_bytes.begin(), m_bytes.begin() + kMccmdHeaderSize}};
    m_bytes.clear();
    return result;
  }
  std::size_t total = kMccmdHeaderSize + dataLength;
  if (m_bytes.size() < total) return {};
  m_bytes.resize(total);
  Result result{Outcome::Complete, std::move(m_bytes)};
  m_bytes.clear();
  return result;
}

}  // namespace monsim
