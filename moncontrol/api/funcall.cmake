# I2C transfers, function calls and the version reads built on them.
add_library(moncontrol_funcall STATIC
  FunctionCall.cpp
  FunctionCallExchange.cpp
  FunctionCallSplit.cpp
  Iic.cpp
  Versions.cpp)
target_include_directories(moncontrol_funcall PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(moncontrol_funcall PUBLIC moncontrol_api moncontrol_transport moncontrol_hid foundation_log)

tarvik_test(moncontrol_funcall_test
  SOURCES FunctionCall_test.cpp FunctionCallSplit_test.cpp Iic_test.cpp Versions_test.cpp
  LIBS moncontrol_funcall moncontrol_api_testing testkit_monsim_testing)
