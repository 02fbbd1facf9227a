#include <string>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/EventTrace.h"
#include "testkit/cdrive/TempCDrive.h"

namespace {

const GUID kProvider = {0xBE2E880E, 0xF79F, 0x4C30, {0x9C, 0x95, 0x09, 0xF0, 0x03, 0xA0, 0xA7, 0xEA}};

std::string ReadAll(const std::string& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(EventTrace, WritesOneLinePerEventIntoTheProvidersFile) {
  testkit::TempCDrive drive;
  REGHANDLE handle = 0;
  ASSERT_EQ(EventRegister(&kProvider, nullptr, nullptr, &handle), static_cast<ULONG>(ERROR_SUCCESS));
  EXPECT_EQ(EventWriteString(handle, 2, 0, L"Service Start failed w/err 0x00000005"), 0u);
  EXPECT_EQ(EventWriteString(handle, 0, 0x10, L"two\nlines \u00E9"), 0u);

  std::string path = win32::EventTraceFile(kProvider);
  EXPECT_EQ(path, drive.Path("Windows/System32/LogFiles/WMI/{BE2E880E-F79F-4C30-9C95-09F003A0A7EA}.log"));
  std::string pid = std::to_string(getpid());
  EXPECT_EQ(ReadAll(path), "level=2 keyword=0x0 pid=" + pid + " Service Start failed w/err 0x00000005\n"
                           "level=0 keyword=0x10 pid=" + pid + " two\\nlines \xC3\xA9\n");
  EXPECT_EQ(EventUnregister(handle), 0u);
}

TEST(EventTrace, UnregisteredHandleWritesNothing) {
  testkit::TempCDrive drive;
  REGHANDLE handle = 0;
  ASSERT_EQ(EventRegister(&kProvider, nullptr, nullptr, &handle), 0u);
  ASSERT_EQ(EventUnregister(handle), 0u);
  EXPECT_EQ(EventWriteString(handle, 2, 0, L"late"), static_cast<ULONG>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(EventUnregister(handle), static_cast<ULONG>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(ReadAll(win32::EventTraceFile(kProvider)), "");
  EXPECT_EQ(EventRegister(nullptr, nullptr, nullptr, &handle), static_cast<ULONG>(ERROR_INVALID_PARAMETER));
}

}  // namespace
