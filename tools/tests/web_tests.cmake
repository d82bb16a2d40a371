# The bench page: its server's own tests (token, origin, bad requests, a page
# that goes away), and the page in Debian's Chromium driven by Playwright.
if(NOT TARGET velkor_web OR NOT VELKOR_HTTPLIB_FOUND)
  return()
endif()
add_executable(velkor_web_tests web_server_test.cpp)
target_link_libraries(velkor_web_tests PRIVATE velkor_web GTest::gtest GTest::gtest_main)
gtest_discover_tests(velkor_web_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60)
