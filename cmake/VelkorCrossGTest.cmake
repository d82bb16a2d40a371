# GoogleTest for a cross build (the Windows build): Debian ships GoogleTest
# as sources, so they are built here with the cross compiler. Included by the
# top level before any folder that asks for GTest, so that every
# find_package(GTest) in the tree finds these targets instead of the host's
# libraries.
if(CMAKE_VERSION VERSION_LESS 3.24)
  message(FATAL_ERROR "The cross build of GoogleTest needs CMake 3.24 or newer")
endif()
set(VELKOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
if(NOT EXISTS ${VELKOR_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${VELKOR_GOOGLETEST_SOURCE} (Debian: googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Its own build defines GTest::gtest, GTest::gtest_main, GTest::gmock, ...
add_subdirectory(${VELKOR_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# A package configuration in the redirect folder answers find_package(GTest)
# before any search; the targets above already exist.
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config.cmake
  "# GoogleTest built from sources by this project (cmake/VelkorCrossGTest.cmake).\n")
# The test lists are read when CTest runs (under the emulator), so that
# building needs no emulator.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
