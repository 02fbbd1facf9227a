#include <string>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"

namespace {

// Stands for a loaded module; only its address matters.
int g_moduleImage;
const HMODULE kModule = &g_moduleImage;

class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win32::AddModuleResource(kModule, L"JSON", MAKEINTRESOURCEW(101), m_table.data(),
                             static_cast<DWORD>(m_table.size()));
    win32::AddModuleResource(kModule, L"Json", L"Extra", m_extra.data(), static_cast<DWORD>(m_extra.size()));
  }
  void TearDown() override { win32::RemoveModuleResources(kModule); }

  // The bytes of a resource, or "<error n>".
  static std::string Read(HMODULE module, LPCWSTR name, LPCWSTR type) {
    HRSRC resource = FindResourceW(module, name, type);
    if (resource == nullptr) return "<error " + std::to_string(GetLastError()) + ">";
    HGLOBAL data = LoadResource(module, resource);
    const void* bytes = LockResource(data);
    return std::string(static_cast<const char*>(bytes), SizeofResource(module, resource));
  }

  std::string m_table = "{\"data\":{}}";
  std::string m_extra{"extra\0bytes", 11};
};

TEST_F(ResourceTest, FindsByNumberOrNameWhateverTheCase) {
  EXPECT_EQ(Read(kModule, MAKEINTRESOURCEW(101), L"JSON"), m_table);
  EXPECT_EQ(Read(kModule, L"#101", L"json"), m_table);
  EXPECT_EQ(Read(kModule, L"extra", L"JSON"), m_extra);
}

TEST_F(ResourceTest, ReportsWhatIsMissing) {
  int unknownImage;
  struct Case {
    HMODULE module;
    LPCWSTR name;
    LPCWSTR type;
    DWORD error;
  };
  for (const Case& c : {Case{&unknownImage, MAKEINTRESOURCEW(101), L"JSON", ERROR_RESOURCE_DATA_NOT_FOUND},
                        Case{kModule, MAKEINTRESOURCEW(101), L"TEXT", ERROR_RESOURCE_TYPE_NOT_FOUND},
                        Case{kModule, MAKEINTRESOURCEW(102), L"JSON", ERROR_RESOURCE_NAME_NOT_FOUND},
                        Case{kModule, nullptr, nullptr, ERROR_RESOURCE_TYPE_NOT_FOUND}}) {
    EXPECT_EQ(Read(c.module, c.name, c.type), "<error " + std::to_string(c.error) + ">");
  }
  EXPECT_EQ(LoadResource(kModule, nullptr), nullptr);
  EXPECT_EQ(SizeofResource(kModule, nullptr), 0u);
}

TEST_F(ResourceTest, ModulesKeepTheirOwnResources) {
  const std::string other = "other";
  win32::AddModuleResource(kModule, L"JSON", MAKEINTRESOURCEW(101), other.data(), 5);
  EXPECT_EQ(Read(kModule, MAKEINTRESOURCEW(101), L"JSON"), m_table);

  win32::AddModuleResource(nullptr, L"JSON", MAKEINTRESOURCEW(7), other.data(), 5);
  EXPECT_EQ(Read(nullptr, MAKEINTRESOURCEW(7), L"JSON"), other);
  EXPECT_EQ(Read(kModule, MAKEINTRESOURCEW(7), L"JSON"),
            "<error " + std::to_string(ERROR_RESOURCE_NAME_NOT_FOUND) + ">");

  win32::RemoveModuleResources(kModule);
  EXPECT_EQ(Read(kModule, MAKEINTRESOURCEW(101), L"JSON"),
            "<error " + std::to_string(ERROR_RESOURCE_DATA_NOT_FOUND) + ">");
  EXPECT_EQ(Read(nullptr, MAKEINTRESOURCEW(7), L"JSON"), other);
}

}  // namespace
