#include "agent-windows/server/JsonWriter.h"

#include <charconv>

#include <nlohmann/json.hpp>

#include "agent-windows/server/ServerMessages.h"

void JsonWriter::BeforeValue() {
  if (m_needComma) m_text += ',';
  m_needComma = true;
}

JsonWriter& JsonWriter::Open(char bracket) {
  BeforeValue();
  m_text += bracket;
  m_needComma = false;
  return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
  m_text += bracket;
  m_needComma = true;
  return *this;
}

JsonWriter& JsonWriter::BeginObject() { return Open('{'); }
JsonWriter& JsonWriter::EndObject() { return Close('}'); }
JsonWriter& JsonWriter::BeginArray() { return Open('['); }
JsonWriter& JsonWriter::EndArray() { return Close(']'); }

JsonWriter& JsonWriter::Key(std::string_view key) {
  BeforeValue();
  m_text += '"';
  m_text += key;
  m_text += "\":";
  m_needComma = false;
  return *this;
}

namespace {

// Printable ASCII without quote or backslash stands in JSON as it is.
bool NeedsEscaping(std::string_view text) {
  for (char c : text)
    if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return true;
  return false;
}

}  // namespace

JsonWriter& JsonWriter::String(std::string_view text) {
  if (NeedsEscaping(text)) return Raw(SerializeMessage(nlohmann::json(text)));
  BeforeValue();
  m_text += '"';
  m_text += text;
  m_text += '"';
  return *this;
}

JsonWriter& JsonWriter::Int(std::int64_t value) {
  BeforeValue();
  constexpr std::size_t kMaxDigits = 20;  // sign and 19 digits
  const std::size_t start = m_text.size();
  m_text.resize(start + kMaxDigits);
  char* end = std::to_chars(m_text.data() + start, m_text.data() + start + kMaxDigits, value).ptr;
  m_text.resize(static_cast<std::size_t>(end - m_text.data()));
  return *this;
}

JsonWriter& JsonWriter::Raw(std::string_view json) {
  BeforeValue();
  m_text += json;
  return *this;
}
