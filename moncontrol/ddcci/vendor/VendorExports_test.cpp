// The vendor commands as a host finds them: by name in the shared library, undecorated.
#include <dlfcn.h>

#include <gtest/gtest.h>

namespace {

TEST(VendorExports, AreFoundByNameAndTheirHelpersAreNot) {
  // Never closed: a host keeps the library loaded.
  void* library = dlopen(MONCONTROL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const char* name :
       {"CallDdcciCmd", "CallGetMonitorCount", "CallGetMonitorStatus", "CallGetMonitorInfo", "CallGetChildInfo",
        "CallNotifyAllFwTransFinished", "CallSpecifyUpdateCondition", "CallPassUartCommand", "CallDaisyChainFunc",
        "CallDaisyChainSetScalarIICBufferSizeInDaisyChainMode", "CallDaisyChainNegotiateMonitorReadiness",
        "CallDaisyChainNotifyScalarPrepareEnvironment", "CallDaisyChainNotifyPackageSendFinished",
        "CallDdcciReadTableCmd", "CallDdcciWriteTableCmd", "ReadTable", "WriteTable"}) {
    EXPECT_NE(dlsym(library, name), nullptr) << name;
  }
  for (const char* name : {"LogChildDevInfo", "_Z15LogChildDevInfoPK15tagCHILDDEVINFO", "AllocateZeroed"})
    EXPECT_EQ(dlsym(library, name), nullptr) << name;
}

}  // namespace
