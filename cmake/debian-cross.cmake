# Cross build for one Debian architecture (CROSS_ARCH: arm64, armhf, i386,
# ...) with the release's own cross compiler g++-<triplet>, against that
# architecture's packages, which scripts/make-sysroot unpacked in
# CROSS_SYSROOT. Tests and the programs they start run under qemu-user with
# the same libraries.
set(CROSS_ARCH "" CACHE STRING "Debian architecture to build for")
set(CROSS_SYSROOT "" CACHE PATH "Folder of that architecture's packages made by scripts/make-sysroot")
# The compiler checks configure small projects of their own with this file.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CROSS_ARCH CROSS_SYSROOT)
if(NOT CROSS_ARCH OR NOT CROSS_SYSROOT)
  message(FATAL_ERROR "Set CROSS_ARCH to a Debian architecture and CROSS_SYSROOT to a folder "
                      "made for it by scripts/make-sysroot")
endif()

# The GNU triplet names the compiler (i686-linux-gnu for i386), the
# multiarch triplet the library folders (i386-linux-gnu).
foreach(variable GNU_TYPE MULTIARCH GNU_CPU)
  execute_process(COMMAND dpkg-architecture -a ${CROSS_ARCH} -qDEB_HOST_${variable}
                  OUTPUT_VARIABLE CROSS_${variable} OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT CROSS_${variable})
    message(FATAL_ERROR "dpkg-architecture does not know the architecture ${CROSS_ARCH}")
  endif()
endforeach()
# qemu-user names a few processors its own way.
set(CROSS_QEMU ${CROSS_GNU_CPU})
if(CROSS_GNU_CPU MATCHES "^i[3-6]86$")
  set(CROSS_QEMU i386)
elseif(CROSS_GNU_CPU STREQUAL "powerpc64le")
  set(CROSS_QEMU ppc64le)
elseif(CROSS_GNU_CPU STREQUAL "powerpc64")
  set(CROSS_QEMU ppc64)
endif()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${CROSS_GNU_CPU})
set(CMAKE_C_COMPILER ${CROSS_GNU_TYPE}-gcc)
set(CMAKE_CXX_COMPILER ${CROSS_GNU_TYPE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${CROSS_MULTIARCH})
set(CMAKE_SYSROOT ${CROSS_SYSROOT})
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${CROSS_QEMU} -L ${CROSS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
