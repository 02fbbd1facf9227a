// XML property lists for tests: profiles and preference files.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace agentmactest {

// Values are XML fragments, as the functions below make them.
std::string PlistString(const std::string& text);
std::string PlistInteger(long long value);
std::string PlistDict(const std::vector<std::pair<std::string, std::string>>& members);
std::string PlistArray(const std::vector<std::string>& elements);
// The whole file around one root value.
std::string XmlPlist(const std::string& root);

// A configuration profile whose first payload holds these members.
std::string MobileConfig(const std::vector<std::pair<std::string, std::string>>& payload);

}  // namespace agentmactest
