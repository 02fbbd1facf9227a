// The model-flag table: per table version, the features of a model, each enabled by a bit
// field of the monitor's flag bytes and owning some VCP codes.
#pragma once

#include <map>
#include <string>
#include <vector>

// One feature of the table. Positions count bytes from the flag bytes' start (byte 0 is the
// version byte) and bits within a byte from the most significant (bit 0 = 0x80).
struct _AppEnableKeyValue {
  std::string name;
  std::string type;        // "Model Flags" or "Feature"
  std::string parentName;  // its group; empty for none
  std::vector<std::string> vcpCode;
  int byteStart = 0;
  int byteEnd = 0;
  int bitStart = 0;
  int bitEnd = 0;
  std::map<int, std::string> valuesDef;
  int value = 0;  // from the flag bytes; 1 = enabled
};

// The features of the array "appEnableKeys_ver_<version>" of the table text: 1, with none
// for a version the table lacks; 0 with none (and a log line) for a text that is not such a
// table or has a member of the wrong type.
int LoadAppEnableKeys(const std::string& text, int version, std::vector<_AppEnableKeyValue>& features);
