# Cross build for aarch64-linux-gnu with Debian's cross compiler (g++-aarch64-linux-gnu): the target's
# libraries come from its sysroot /usr/aarch64-linux-gnu, and the tests run under
# qemu-aarch64 (qemu-user) with that sysroot. `make test-platforms` uses it; by hand:
#   cmake -S . -B build/platform/aarch64-linux-gnu --toolchain cmake/toolchains/aarch64-linux-gnu.cmake -DPBQ_YYJSON_FROM_SOURCE=ON
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
# Debian's name for the architecture, for the packages (cmake/package.cmake).
set(PBQ_DEBIAN_ARCHITECTURE arm64)
