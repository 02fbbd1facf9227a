// Compact JSON text written straight into one string, for the agent's big messages (a status
// report of many monitors), which a JSON tree would take several times longer to build. The
// caller writes each object's members in ascending key order, as every message of the agent
// has them; strings are escaped like SerializeMessage does, bad UTF-8 included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);  // a key of the agent's own, written as it is
  JsonWriter& String(std::string_view text);
  JsonWriter& Int(std::int64_t value);
  // A value that is already JSON text.
  JsonWriter& Raw(std::string_view json);

  std::string Take() { return std::move(m_text); }

 private:
  // A comma before every value but the first of its object or array, and none after a key.
  void BeforeValue();
  JsonWriter& Open(char bracket);
  JsonWriter& Close(char bracket);

  std::string m_text;
  bool m_needComma = false;
};
