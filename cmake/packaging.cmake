# Debian packages of the install components, built by CPack's DEB generator
# (scripts/release.sh runs `cpack -G DEB` in a build folder):
#
#   libvelkor7       driver   libVelkor.so.7 (the C ABI; its SONAME's major number)
#   libbrelansdk     slotbus  libBrelanSDK.so, the slot-bus stand-in; it keeps the
#                             controller library's unversioned name, so that a program
#                             built here loads the controller's own library there
#   libvelkor-sim7   module   libvelkor_sim.so.7, the virtual module
#   libvelkor-dev    dev      headers, the .so links, the CMake package, the pkg-config
#                             files, the module's static library and C++ headers
#   velkor           tool     the velkor tool, with the bench page compiled in
#   python3-velkor   python   the Python package, for Debian's python3
#
# Versions are the project's; library dependencies come from dpkg-shlibdeps,
# the dependencies among these packages are stated here (exact versions: they
# are built together).
if(WIN32 OR CMAKE_CROSSCOMPILING)
  return()
endif()

set(velkor_deb_version ${PROJECT_VERSION})
set(velkor_deb_maintainer "Velkor developer <dev@velkor.example>")
set(velkor_deb_packages
  driver  "libvelkor${PROJECT_VERSION_MAJOR}"
  slotbus "libbrelansdk"
  module  "libvelkor-sim${PROJECT_VERSION_MAJOR}"
  dev     "libvelkor-dev"
  tool    "velkor"
  python  "python3-velkor")

# Every package carries its copyright file and a changelog in Debian's format,
# made here at configure time (gzip -9n: no name or time stamp inside).
string(TIMESTAMP velkor_deb_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(velkor_deb_docs ${CMAKE_CURRENT_BINARY_DIR}/debian-docs)
list(LENGTH velkor_deb_packages velkor_deb_count)
math(EXPR velkor_deb_last "${velkor_deb_count} - 1")
foreach(i RANGE 0 ${velkor_deb_last} 2)
  math(EXPR j "${i} + 1")
  list(GET velkor_deb_packages ${i} component)
  list(GET velkor_deb_packages ${j} package)
  string(TOUPPER ${component} COMPONENT)
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${package})
  file(WRITE ${velkor_deb_docs}/${package}/changelog
    "${package} (${velkor_deb_version}) unstable; urgency=medium\n\n"
    "  * Release ${velkor_deb_version}: the changes are listed in CHANGELOG.md\n"
    "    of the source tree.\n\n"
    " -- ${velkor_deb_maintainer}  ${velkor_deb_date}\n")
  execute_process(COMMAND gzip -9nf ${velkor_deb_docs}/${package}/changelog)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/packaging/copyright ${velkor_deb_docs}/${package}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkor)
set(CPACK_PACKAGE_VENDOR "Velkor")
set(CPACK_PACKAGE_VERSION ${velkor_deb_version})
set(CPACK_PACKAGE_CONTACT "${velkor_deb_maintainer}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL driver slotbus module dev tool python)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velkor.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian ships binaries without their debugging information.
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps finds this build's own libraries where they were built.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${CMAKE_BINARY_DIR}/src ${CMAKE_BINARY_DIR}/standins ${CMAKE_BINARY_DIR}/sim)
# The runtime libraries declare their SONAMEs for packages built against them
# (a shlibs file), and have the linker cache rebuilt through dpkg's trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
file(WRITE ${velkor_deb_docs}/triggers "activate-noawait ldconfig\n")
foreach(component DRIVER SLOTBUS MODULE)
  set(CPACK_DEBIAN_${component}_PACKAGE_CONTROL_EXTRA ${velkor_deb_docs}/triggers)
endforeach()
# The Python package is byte-compiled on installation and its byte-code
# removed before removal, as Debian's Python packages do.
file(MAKE_DIRECTORY ${velkor_deb_docs}/python)
foreach(script postinst prerm)
  file(COPY_FILE ${CMAKE_CURRENT_LIST_DIR}/packaging/python3-velkor.${script} ${velkor_deb_docs}/python/${script})
  file(CHMOD ${velkor_deb_docs}/python/${script} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  list(APPEND CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA ${velkor_deb_docs}/python/${script})
endforeach()
# The static library keeps its symbols but not its debugging information.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/packaging/strip_static.cmake)

set(v "(= ${velkor_deb_version})")
set(CPACK_DEBIAN_DRIVER_PACKAGE_DEPENDS "${CPACK_DEBIAN_SLOTBUS_PACKAGE_NAME} ${v}")
set(CPACK_DEBIAN_MODULE_PACKAGE_DEPENDS "${CPACK_DEBIAN_SLOTBUS_PACKAGE_NAME} ${v}")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
  "${CPACK_DEBIAN_DRIVER_PACKAGE_NAME} ${v}, ${CPACK_DEBIAN_SLOTBUS_PACKAGE_NAME} ${v}, ${CPACK_DEBIAN_MODULE_PACKAGE_NAME} ${v}")
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS
  "${CPACK_DEBIAN_DRIVER_PACKAGE_NAME} ${v}, ${CPACK_DEBIAN_SLOTBUS_PACKAGE_NAME} ${v}, ${CPACK_DEBIAN_MODULE_PACKAGE_NAME} ${v}")
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
  "python3:any, ${CPACK_DEBIAN_DRIVER_PACKAGE_NAME} ${v}, ${CPACK_DEBIAN_SLOTBUS_PACKAGE_NAME} ${v}, ${CPACK_DEBIAN_MODULE_PACKAGE_NAME} ${v}")
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION devel)

# Each package's synopsis is the first line of its description below (the
# summary left at CPack's default is not put in front of it).
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_DEBIAN_DRIVER_DESCRIPTION "driver library for the four-axis motion-control module
The host-side driver library of the four-axis motion-control module in a
slot of the controller's backplane: plain C functions that register a
module, configure its axes, drive motion, read counters and status, take
module interrupts and record macro programs.")
set(CPACK_DEBIAN_SLOTBUS_DESCRIPTION "slot-bus stand-in with a virtual backplane for Velkor
A stand-in for the controller's slot-bus library: the six slot-bus calls
over a virtual backplane, into whose slots virtual modules are plugged. On a
controller the maker's own library takes its place.")
set(CPACK_DEBIAN_MODULE_DESCRIPTION "virtual four-axis motion module for Velkor
The virtual module plays the module's firmware in a slot of the virtual
backplane, with four axes that move in simulated time, and is driven and
inspected from C (velkor_sim.h): clock, inputs, latch, interrupts, stores,
counters, trail, log, scope and scenario files.")
set(CPACK_DEBIAN_DEV_DESCRIPTION "development files for the Velkor driver library and virtual module
Headers (Velkor.h, BrelanSDK.h, velkor_sim/), the CMake package
(find_package(Velkor)), the pkg-config files velkor and velkor-sim, and the
virtual module's static library with its C++ interface.")
set(CPACK_DEBIAN_TOOL_DESCRIPTION "command-line tool for Velkor programs on virtual modules
The velkor tool runs an unchanged program on virtual modules (velkor run),
plays a demonstration session (velkor demo), serves the bench page that
shows the modules live in a browser, checks scenario files, and draws paths
and scopes.")
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "Python client of the Velkor driver library
The velkor package calls the driver library over ctypes: every export, a
card and axis layer, the virtual module and pytest fixtures.")

include(CPack)
