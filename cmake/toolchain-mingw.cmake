# Cross-compiling for Windows with the posix-thread variant of mingw-w64 GCC.
# BRIMLARK_TARGET_ARCH selects x86_64 (the tested build) or i686 (the shipped 32-bit build).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT BRIMLARK_TARGET_ARCH)
  set(BRIMLARK_TARGET_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${BRIMLARK_TARGET_ARCH})
set(triplet ${BRIMLARK_TARGET_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only the 64-bit build can run here: 32-bit code does not execute on this machine.
if(BRIMLARK_TARGET_ARCH STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
