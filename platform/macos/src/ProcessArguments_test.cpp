#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/macos/ProcessArguments.h"

namespace {

// glibc keeps the argv[0] that main received; the two records must agree.
TEST(ProcessArguments, ArgvIsWhatTheProgramWasStartedWith) {
  char** argv = *_NSGetArgv();
  const int argc = *_NSGetArgc();
  ASSERT_GE(argc, 1);
  EXPECT_EQ(std::string(argv[0]), program_invocation_name);
  EXPECT_EQ(argv[argc], nullptr);
  EXPECT_EQ(_NSGetArgv(), _NSGetArgv());
}

}  // namespace
