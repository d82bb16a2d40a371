# Cross-compiles the library, the slot-bus stand-in and the tests as 64-bit
# Windows binaries with mingw-w64, and runs the test programs under Wine.
#
#   cmake -S . -B build/windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
#
# The -posix compiler variants are used because they provide std::thread and
# std::mutex (GCC 12 has neither in the win32 variants); the tests need them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELKOR_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${VELKOR_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VELKOR_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VELKOR_MINGW_TRIPLE}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${VELKOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link the compiler's own runtime (libgcc, libstdc++, winpthread) into every
# binary, so that no MinGW runtime DLL has to be shipped beside Velkor.dll.
# With -static the linker no longer looks for import libraries given as -lname
# (libname.dll.a); the build therefore links BrelanSDK by its import library's
# path, which is what CMake does for a target.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# CTest (and test discovery at build time) runs the test programs under Wine.
# wine64 is preferred: Debian's wine launcher warns on every start when the
# 32-bit half is not installed, and only 64-bit programs are built here.
find_program(VELKOR_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine /opt/wine-stable/bin
  NO_CMAKE_FIND_ROOT_PATH)
if(VELKOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELKOR_WINE})
endif()
