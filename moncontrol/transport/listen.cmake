# Listener threads for the monitors' unsolicited messages. Its own library: the listener map
# lives in moncontrol_api, which sits above the transport.
add_library(moncontrol_listen STATIC
  ListenerMessage.cpp
  ListenerRecord.cpp
  ListenerThread.cpp
  Listeners.cpp)
target_include_directories(moncontrol_listen PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(moncontrol_listen PUBLIC moncontrol_api moncontrol_transport moncontrol_hid foundation_log
                      foundation_clock Threads::Threads)

tarvik_test(moncontrol_listen_test
  SOURCES ListenerMessage_test.cpp Listeners_test.cpp
  LIBS moncontrol_listen moncontrol_api_testing
  LABELS threaded)
