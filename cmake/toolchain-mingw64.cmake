# toolchain-mingw64.cmake - cross-compile for 64-bit Windows with Debian's
# MinGW-w64 (GCC 12) and run target executables (tests, gtest discovery)
# through Wine.
#
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
#   cmake --build build
#   tools/wine-env.sh run --netns -- ctest --test-dir build/windows
#
# Notes
# - Uses the "-posix" thread-model compilers: the Debian default ("-win32"
#   model, GCC 12) has no std::thread / std::mutex / std::condition_variable.
#   With -static, winpthread is linked in, so no extra DLL is needed.
# - Executables are linked -static: they import only system DLLs
#   (KERNEL32, USER32, GDI32, msvcrt, ...), no libgcc/libstdc++/winpthread DLLs.
# - .rc files are read as UTF-8 (windres -c 65001).  "#pragma code_page(65001)"
#   inside the .rc does the same and wins over this flag.
# - CMAKE_CROSSCOMPILING_EMULATOR = wine64 (Debian installs it outside PATH).
#   Wine needs WINEPREFIX/DISPLAY etc. when tests run: use tools/wine-env.sh, and
#   prefer gtest_discover_tests(... DISCOVERY_MODE PRE_TEST) so that nothing
#   runs Wine at build time.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_mingw x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER   NAMES ${_mingw}-gcc-posix ${_mingw}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${_mingw}-g++-posix ${_mingw}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER  NAMES ${_mingw}-windres REQUIRED)
set(CMAKE_AR     ${_mingw}-ar     CACHE FILEPATH "")
set(CMAKE_RANLIB ${_mingw}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

set(CMAKE_RC_FLAGS_INIT "-c 65001")

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  if(DEFINED ENV{WINE} AND EXISTS "$ENV{WINE}")
    set(_wine "$ENV{WINE}")
  else()
    find_program(WINE64_EXECUTABLE NAMES wine64 wine
                 PATHS /usr/lib/wine /usr/lib64/wine /opt/wine-stable/bin
                 NO_CMAKE_FIND_ROOT_PATH)
    set(_wine "${WINE64_EXECUTABLE}")
  endif()
  if(_wine)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${_wine}")
  endif()
endif()
