# The bench page (velkor run --web, velkor demo --web, velkor web): the HTTP
# server from Debian's cpp-httplib, the page bundled from web/ with Node at
# build time and compiled into the tool. POSIX builds only: the Windows build
# has no cpp-httplib, and its tool says the page is not in it.
set(VELKOR_WEB_PAGE_REQUIRED OFF CACHE BOOL "Fail the configuration when the bench page cannot be built")
set(VELKOR_WEB_PAGE_BUILT OFF)
# The tool without the page: its commands say so.
macro(velkor_without_web)
  add_library(velkor_web STATIC web_none.cpp)
  target_link_libraries(velkor_web PUBLIC velkor_tool_core)
  target_link_libraries(velkor PRIVATE velkor_web)
  return()
endmacro()
if(WIN32)
  velkor_without_web()
endif()
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(VELKOR_HTTPLIB QUIET IMPORTED_TARGET cpp-httplib)
endif()
find_package(nlohmann_json 3 QUIET)
if(NOT VELKOR_HTTPLIB_FOUND OR NOT nlohmann_json_FOUND)
  set(why "the bench page needs cpp-httplib and nlohmann-json (Debian: libcpp-httplib-dev nlohmann-json3-dev)")
  if(VELKOR_WEB_PAGE_REQUIRED)
    message(FATAL_ERROR "${why}")
  endif()
  message(STATUS "velkor without the bench page: ${why}")
  velkor_without_web()
endif()

# The page: web/build.mjs bundles it with esbuild and writes the C++ table.
find_program(VELKOR_NODE NAMES node nodejs)
set(web_src ${PROJECT_SOURCE_DIR}/web)
set(web_out ${CMAKE_CURRENT_BINARY_DIR}/web)
if(VELKOR_NODE AND EXISTS ${web_src}/node_modules/esbuild/package.json AND EXISTS ${web_src}/node_modules/uplot/package.json)
  file(GLOB web_sources CONFIGURE_DEPENDS ${web_src}/src/*)
  add_custom_command(OUTPUT ${web_out}/web_assets.cpp ${web_out}/bench.html
    COMMAND ${VELKOR_NODE} ${web_src}/build.mjs ${web_out}
    DEPENDS ${web_sources} ${web_src}/build.mjs ${web_src}/package-lock.json
    COMMENT "Bundling the bench page" VERBATIM)
  set(web_assets ${web_out}/web_assets.cpp)
  set(VELKOR_WEB_PAGE_BUILT ON)
else()
  set(why "the bench page is bundled with Node and the packages of web/ (cd web && npm ci)")
  if(VELKOR_WEB_PAGE_REQUIRED)
    message(FATAL_ERROR "${why}")
  endif()
  message(WARNING "velkor serves no page: ${why}")
  set(web_assets ${CMAKE_CURRENT_SOURCE_DIR}/web_assets_none.cpp)
endif()

add_library(velkor_web STATIC web_server.cpp web_server_connections.cpp web_bridge.cpp web_command.cpp ${web_assets})
target_include_directories(velkor_web PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(velkor_web PUBLIC velkor_tool_core PkgConfig::VELKOR_HTTPLIB nlohmann_json::nlohmann_json Threads::Threads)
target_compile_definitions(velkor_web INTERFACE VELKOR_WITH_WEB=1)
target_link_libraries(velkor PRIVATE velkor_web)
