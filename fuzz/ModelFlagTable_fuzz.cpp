// The model-flag table, as the library reads it from the "JSON" resource of the module that
// SetGlobalHandle names, with a monitor's model-flag bytes to read its bit fields against.
//
// Input: a count byte n (taken modulo 8), n model-flag bytes (the first is the table version),
// then the table's text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <spdlog/spdlog.h>

#include "moncontrol/api/LibraryState.h"
#include "moncontrol/tables/CapstringToMap.h"
#include "moncontrol/tables/ModelFlagTable.h"
#include "platform/win32/Win32.h"

namespace {

[[maybe_unused]] const bool g_silenced = (spdlog::set_level(spdlog::level::off), true);

// Stands for the image the host hands the library; only its address matters.
char g_handedModule;

std::string HexBytes(const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

// Codes the shipped table names, plain and as 0xF8 sub-codes, so that enabled features find them.
std::string CapabilityString(const std::string& flags) {
  return "(prot(monitor)type(LCD)vcp(02 04 10 12 14(05 06 08) 16 18 1A 60(0F 11 12) 72 86 95 96 97 98 A4 "
         "A5 C6(" + flags + ") DC(00 01 02) E0 EA EB EC EF F1 F2 F5 F8(03 05(00 01) 06 08 0B 0C 0D 0E 0F "
         "10(02 03) 11 12 13 14 15 16 17 18 1A 1B 21))mccs_ver(2.2))";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t flagCount = data[0] % 8;
  if (size < 1 + flagCount) return 0;
  const std::string caps = CapabilityString(HexBytes(data + 1, flagCount));
  const std::size_t tableSize = size - 1 - flagCount;
  // The resource is not copied: an exact-size block of its own, so overreads show.
  auto table = std::make_unique<char[]>(tableSize);
  std::memcpy(table.get(), data + 1 + flagCount, tableSize);

  HMODULE module = reinterpret_cast<HMODULE>(&g_handedModule);
  win32::AddModuleResource(module, L"JSON", MAKEINTRESOURCEW(kModelFlagTableId), table.get(),
                           static_cast<DWORD>(tableSize));
  SetGlobalHandle(module);

  std::uint32_t length = static_cast<std::uint32_t>(caps.size() + 1);
  KeyValuePair pairs[32];
  std::int32_t count = -1;
  CapstringToMap(&length, caps.c_str(), pairs, 32, &count);
  if (count < 0 || count > 32) std::abort();
  for (std::int32_t i = 0; i < count; ++i) {
    std::free(pairs[i].key);
    std::free(pairs[i].value);
  }

  SetGlobalHandle(nullptr);
  win32::RemoveModuleResources(module);
  return 0;
}
