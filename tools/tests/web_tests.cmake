# The bench page: its server's own tests (token, origin, bad requests, a page
# that goes away), and the page in Debian's Chromium driven by Playwright.
if(NOT TARGET velkor_web OR NOT VELKOR_HTTPLIB_FOUND)
  return()
endif()
add_executable(velkor_web_tests web_server_test.cpp)
target_link_libraries(velkor_web_tests PRIVATE velkor_web GTest::gtest GTest::gtest_main)
gtest_discover_tests(velkor_web_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60)
# What velkor web and --web refuse, before anything listens.
velkor_expect(web_no_target "web|${out}/no-such-endpoint" 2 "-DEXPECT_ERR=no such monitor endpoint or session file"
  "-DREJECT_ERR=bench page is at")
velkor_expect(web_not_a_session "web|${PROJECT_SOURCE_DIR}/README.md" 1 "-DEXPECT_ERR=is not a session recorded"
  "-DREJECT_ERR=bench page is at")
velkor_expect(web_bad_port "run|--web=70000|--|${out}/no-such-program" 2 "-DEXPECT_ERR=--web: 70000 is out of range"
  "-DREJECT_ERR=bench page is at")

# The page in a browser: Debian's Chromium driven headless by Playwright
# (web/test), against velkor run --web of an application of its own. The
# screenshots of each state go to web-artifacts/ in the build folder.
set(VELKOR_BROWSER_TESTS OFF CACHE BOOL "Test the bench page in Chromium (needs the page, Node, web/node_modules and /usr/bin/chromium)")
if(NOT VELKOR_BROWSER_TESTS)
  return()
endif()
set(web_dir ${PROJECT_SOURCE_DIR}/web)
if(NOT VELKOR_WEB_PAGE_BUILT OR NOT VELKOR_NODE OR NOT EXISTS ${web_dir}/node_modules/playwright-core/package.json
   OR NOT EXISTS /usr/bin/chromium)
  message(FATAL_ERROR "The browser tests need the bench page built, Node, the packages of web/ (cd web && npm ci) "
                      "and Debian's Chromium (/usr/bin/chromium)")
endif()
add_executable(web_bench_app web_bench_app.c)
target_link_libraries(web_bench_app PRIVATE Velkor)
set(web_env "VELKOR=$<TARGET_FILE:velkor>;VELKOR_BENCH_APP=$<TARGET_FILE:web_bench_app>;VELKOR_WEB_ARTIFACTS=${PROJECT_BINARY_DIR}/web-artifacts")
add_test(NAME web_page_in_browser COMMAND ${VELKOR_NODE} --test --test-reporter=spec ${web_dir}/test/bench.test.mjs
  WORKING_DIRECTORY ${web_dir})
# 7 modules of 4 axes streaming 1000 samples per second each: how old the
# newest sample on the page is, and the tool's processor time.
add_test(NAME web_page_keeps_up COMMAND ${VELKOR_NODE} --test --test-reporter=spec ${web_dir}/test/performance.test.mjs
  WORKING_DIRECTORY ${web_dir})
set_tests_properties(web_page_in_browser web_page_keeps_up PROPERTIES ENVIRONMENT "${web_env};VELKOR_WEB_PERF_SECONDS=15"
  TIMEOUT 300 RUN_SERIAL TRUE)
