// The configuration profile "TarvikConfig.mobileconfig": a property list whose "PayloadContent"
// holds the settings in its first dictionary.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/macos/CoreFoundation.h"

// The settings of the first payload whose values are texts; values of other kinds count as absent.
struct ProfilePayload {
  bool empty = true;  // the payload dictionary has no keys at all
  std::map<std::string, std::string> texts;

  std::optional<std::string> text(CFStringRef key) const;
};

struct LoadedProfile {
  std::string path;
  // None when the profile is not usable: no "PayloadContent", not an array of dictionaries, or empty.
  std::optional<ProfilePayload> firstPayload;
};

// The two places a profile may lie: beside the program, then in the current directory.
std::vector<std::string> mobileConfigCandidates(const std::string& programPath, const std::string& currentDirectory);

// The first candidate that exists and holds a property list whose top level is a dictionary, with
// the text values of `keys` in its first payload; none when there is no such candidate.
std::optional<LoadedProfile> readMobileConfig(const std::vector<std::string>& candidates,
                                              const std::vector<CFStringRef>& keys);
