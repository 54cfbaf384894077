# Cross-building the Windows program with Debian's mingw-w64:
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DLOCKORA_WINDOWS_ARCH=x86_64
# LOCKORA_WINDOWS_ARCH is x86_64 (the default) or i686 (the 32-bit form).
# The posix thread model gives std::thread and std::mutex their full
# implementation; the runtime is linked in statically, so the executables
# need no mingw DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT LOCKORA_WINDOWS_ARCH)
  set(LOCKORA_WINDOWS_ARCH x86_64)
endif()
set(LOCKORA_WINDOWS_ARCH ${LOCKORA_WINDOWS_ARCH} CACHE STRING "x86_64 or i686")
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LOCKORA_WINDOWS_ARCH)
set(CMAKE_SYSTEM_PROCESSOR ${LOCKORA_WINDOWS_ARCH})
set(LOCKORA_MINGW ${LOCKORA_WINDOWS_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${LOCKORA_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LOCKORA_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${LOCKORA_MINGW}-windres)

# scripts/windows_deps.sh cross-builds the libraries from Debian's sources
# into one prefix per arch, outside the work tree.
if(NOT LOCKORA_WINDOWS_DEPS)
  if(NOT "$ENV{LOCKORA_WINDOWS_DEPS}" STREQUAL "")
    set(LOCKORA_WINDOWS_DEPS "$ENV{LOCKORA_WINDOWS_DEPS}")
  else()
    set(LOCKORA_WINDOWS_DEPS /var/cache/lockora/windows-deps)
  endif()
endif()
set(LOCKORA_WINDOWS_DEPS ${LOCKORA_WINDOWS_DEPS} CACHE PATH "where scripts/windows_deps.sh installs")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LOCKORA_WINDOWS_DEPS)
set(LOCKORA_WINDOWS_PREFIX ${LOCKORA_WINDOWS_DEPS}/${LOCKORA_WINDOWS_ARCH})

set(CMAKE_FIND_ROOT_PATH /usr/${LOCKORA_MINGW} ${LOCKORA_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# pkg-config must read only the cross-built .pc files, never the host's
# (which would hand the Linux libsodium to the Windows link). Their paths are
# absolute inside the prefix, which is a find root, so no sysroot is added.
set(ENV{PKG_CONFIG_LIBDIR} ${LOCKORA_WINDOWS_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
# libsodium is linked statically, yet SODIUM_STATIC is not needed: its
# headers mark functions dllimport only for MSVC; with GCC they declare
# plain functions that the static library provides.

# The test executables run under Wine, each in a private prefix that
# scripts/wine_tests.sh provides (the x86-64 build; the i686 one would need
# Wine's 32-bit part).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine_run.sh)
