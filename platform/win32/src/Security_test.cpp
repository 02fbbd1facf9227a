#include <gtest/gtest.h>

#include "platform/win32/Win32.h"

namespace {

TEST(SecurityDescriptorTest, OnlyAPresentNullDaclGrantsEveryoneFullAccess) {
  ACL someAcl{};
  struct Case {
    const char* what;
    bool present;
    PACL dacl;
    bool everyone;
  };
  for (const Case& c :
       {Case{"null DACL", true, nullptr, true}, Case{"an ACL", true, &someAcl, false},
        Case{"no DACL", false, nullptr, false}}) {
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, c.present, c.dacl, FALSE));
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), &descriptor, FALSE};
    bool everyone = !c.everyone;
    EXPECT_EQ(win32::ReadSecurityAttributes(&attributes, &everyone),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(everyone, c.everyone) << c.what;
  }
  bool everyone = true;
  EXPECT_EQ(win32::ReadSecurityAttributes(nullptr, &everyone), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_FALSE(everyone);
}

TEST(SecurityDescriptorTest, UnknownRevisionIsRefused) {
  SECURITY_DESCRIPTOR descriptor{};
  EXPECT_FALSE(InitializeSecurityDescriptor(&descriptor, 2));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_REVISION));
  EXPECT_FALSE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_REVISION));
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), &descriptor, FALSE};
  bool everyone = false;
  EXPECT_EQ(win32::ReadSecurityAttributes(&attributes, &everyone),
            static_cast<DWORD>(ERROR_INVALID_SECURITY_DESCR));
}

}  // namespace
