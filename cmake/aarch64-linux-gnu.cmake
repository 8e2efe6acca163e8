# Cross build for 64-bit ARM with Debian's cross compiler. With
# ARM64_SYSROOT (a folder made by scripts/make-arm64-sysroot) everything
# builds, against the arm64 packages unpacked there; without it, only a
# MODEL_ONLY build, against the cross compiler's own C library. Tests and
# the programs they start run under qemu-user with the same libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(ARM64_SYSROOT "" CACHE PATH "Folder of arm64 packages made by scripts/make-arm64-sysroot")
# The compiler checks configure small projects of their own with this file.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ARM64_SYSROOT)
if(ARM64_SYSROOT)
  set(CMAKE_SYSROOT ${ARM64_SYSROOT})
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L ${ARM64_SYSROOT})
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
  set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
