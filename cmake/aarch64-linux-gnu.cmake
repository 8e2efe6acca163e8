# Cross build for 64-bit ARM with Debian's cross compiler, against the arm64
# packages that scripts/make-arm64-sysroot unpacked in ARM64_SYSROOT. Tests
# and the programs they start run under qemu-user with the same libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(ARM64_SYSROOT "" CACHE PATH "Folder of arm64 packages made by scripts/make-arm64-sysroot")
# The compiler checks configure small projects of their own with this file.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ARM64_SYSROOT)
if(NOT ARM64_SYSROOT)
  message(FATAL_ERROR "Set ARM64_SYSROOT to a folder made by scripts/make-arm64-sysroot")
endif()
set(CMAKE_SYSROOT ${ARM64_SYSROOT})
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L ${ARM64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
