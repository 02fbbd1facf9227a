#include "agent-macos/settings/MobileConfig.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "agent-macos/system/CFText.h"
#include "platform/macos/CoreFoundation.h"

namespace {

constexpr const char* kProfileName = "/TarvikConfig.mobileconfig";

// Far larger than any profile; a larger file is not read.
constexpr std::uintmax_t kMaxProfileSize = 16 * 1024 * 1024;

std::optional<std::string> fileContents(const std::string& path) {
  std::error_code error;
  // Only a plain file: a pipe in its place would hold the settings pass for good.
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kMaxProfileSize) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// The property list in the bytes, or null. The caller releases it.
CFPropertyListRef propertyListOf(const std::string& bytes) {
  CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.data()),
                                static_cast<CFIndex>(bytes.size()));
  if (data == nullptr) return nullptr;
  CFPropertyListRef list = CFPropertyListCreateWithData(kCFAllocatorDefault, data, kCFPropertyListImmutable, nullptr, nullptr);
  CFRelease(data);
  return list;
}

bool isDictionary(CFTypeRef value) { return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID(); }

ProfilePayload payloadOf(CFDictionaryRef dictionary, const std::vector<CFStringRef>& keys) {
  ProfilePayload payload;
  payload.empty = CFDictionaryGetCount(dictionary) == 0;
  for (CFStringRef key : keys) {
    std::optional<std::string> value = textOf(CFDictionaryGetValue(dictionary, key));
    if (value) payload.texts.emplace(textOf(key).value_or(""), std::move(*value));
  }
  return payload;
}

// The first dictionary of "PayloadContent" when it is a non-empty array of dictionaries.
std::optional<ProfilePayload> firstPayloadOf(CFDictionaryRef profile, const std::vector<CFStringRef>& keys) {
  CFTypeRef content = CFDictionaryGetValue(profile, CFSTR("PayloadContent"));
  if (content == nullptr || CFGetTypeID(content) != CFArrayGetTypeID()) return std::nullopt;
  auto payloads = static_cast<CFArrayRef>(content);
  const CFIndex count = CFArrayGetCount(payloads);
  if (count == 0) return std::nullopt;
  for (CFIndex i = 0; i < count; ++i)
    if (!isDictionary(CFArrayGetValueAtIndex(payloads, i))) return std::nullopt;
  return payloadOf(static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(payloads, 0)), keys);
}

}  // namespace

std::optional<std::string> ProfilePayload::text(CFStringRef key) const {
  auto found = texts.find(textOf(key).value_or(""));
  if (found == texts.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> mobileConfigCandidates(const std::string& programPath, const std::string& currentDirectory) {
  return {std::filesystem::path(programPath).parent_path().string() + kProfileName, currentDirectory + kProfileName};
}

std::optional<LoadedProfile> readMobileConfig(const std::vector<std::string>& candidates,
                                              const std::vector<CFStringRef>& keys) {
  for (const std::string& path : candidates) {
    std::optional<std::string> bytes = fileContents(path);
    if (!bytes) continue;
    CFPropertyListRef list = propertyListOf(*bytes);
    if (list == nullptr) continue;
    if (!isDictionary(list)) {
      CFRelease(list);
      continue;
    }
    LoadedProfile loaded{path, firstPayloadOf(static_cast<CFDictionaryRef>(list), keys)};
    CFRelease(list);
    return loaded;
  }
  return std::nullopt;
}
