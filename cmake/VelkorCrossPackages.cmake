# The packages a cross build (the Windows build) takes from the host, set up
# by the top level before any folder asks for them: GoogleTest built from its
# sources with the cross compiler, and the header-only CLI11 and nlohmann-json. A package
# configuration in the redirect folder answers find_package() for each before
# any search, so no folder finds the host's own libraries.
if(CMAKE_VERSION VERSION_LESS 3.24)
  message(FATAL_ERROR "The cross build needs CMake 3.24 or newer")
endif()

# GoogleTest: Debian ships it as sources.
if(VELKOR_BUILD_TESTS)
  set(VELKOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
  if(NOT EXISTS ${VELKOR_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${VELKOR_GOOGLETEST_SOURCE} (Debian: googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Its own build defines GTest::gtest, GTest::gtest_main, GTest::gmock, ...
  add_subdirectory(${VELKOR_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config.cmake
    "# GoogleTest built from sources by this project (cmake/VelkorCrossPackages.cmake).\n")
  # The test lists are read when CTest runs (under the emulator), so that
  # building needs no emulator.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()

# CLI11 is header-only and the same for every platform. Its headers are copied
# into the build, so that the host's /usr/include never comes onto the cross
# compiler's include path.
find_path(VELKOR_HOST_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include /usr/local/include
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(VELKOR_HOST_CLI11_INCLUDE)
  file(COPY ${VELKOR_HOST_CLI11_INCLUDE}/CLI DESTINATION ${PROJECT_BINARY_DIR}/host_headers)
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${PROJECT_BINARY_DIR}/host_headers)
  file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/cli11-config.cmake
    "# CLI11's headers, copied from the host by this project (cmake/VelkorCrossPackages.cmake).\n")
endif()

# nlohmann-json: header-only too, copied the same way.
find_path(VELKOR_HOST_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include /usr/local/include
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(VELKOR_HOST_JSON_INCLUDE)
  file(COPY ${VELKOR_HOST_JSON_INCLUDE}/nlohmann DESTINATION ${PROJECT_BINARY_DIR}/host_headers)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
    ${PROJECT_BINARY_DIR}/host_headers)
  file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/nlohmann_json-config.cmake
    "# nlohmann-json's headers, copied from the host by this project (cmake/VelkorCrossPackages.cmake).\n")
  file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/nlohmann_json-config-version.cmake
    "set(PACKAGE_VERSION 3)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\nset(PACKAGE_VERSION_EXACT FALSE)\n")
endif()

# toml++ (scenario files) is used from its headers alone; copied like CLI11's.
find_path(VELKOR_HOST_TOMLPP_INCLUDE toml++/toml.h PATHS /usr/include /usr/local/include
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(VELKOR_HOST_TOMLPP_INCLUDE)
  file(COPY ${VELKOR_HOST_TOMLPP_INCLUDE}/toml++ DESTINATION ${PROJECT_BINARY_DIR}/host_headers)
  set(VELKOR_TOMLPP_INCLUDE ${PROJECT_BINARY_DIR}/host_headers CACHE PATH "toml++ headers" FORCE)
endif()
