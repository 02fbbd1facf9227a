# The VCP convenience functions: per-setting getters and setters, the extended settings
# through VCP 0xF8/0xF7, the by-vector forms, and the status reads by function call.
add_library(moncontrol_vcpconv STATIC
  MonitorFeature.cpp
  MonitorFeatureStatus.cpp
  VcpByVector.cpp
  VcpConvenience.cpp)
target_include_directories(moncontrol_vcpconv PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(moncontrol_vcpconv PUBLIC moncontrol_ddcci moncontrol_funcall moncontrol_transport foundation_clock
                      foundation_log)

tarvik_test(moncontrol_vcpconv_test
  SOURCES VcpConvenience_test.cpp MonitorFeature_test.cpp MonitorFeatureStatus_test.cpp VcpByVector_test.cpp
  LIBS moncontrol_vcpconv moncontrol_api_testing
  LABELS threaded)
