# Cross build for arm-linux-gnueabihf with Debian's cross compiler (g++-arm-linux-gnueabihf): the target's
# libraries come from its sysroot /usr/arm-linux-gnueabihf, and the tests run under
# qemu-arm (qemu-user) with that sysroot. `make test-platforms` uses it; by hand:
#   cmake -S . -B build/platform/arm-linux-gnueabihf --toolchain cmake/toolchains/arm-linux-gnueabihf.cmake -DPBQ_YYJSON_FROM_SOURCE=ON
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/arm-linux-gnueabihf)
# Debian's name for the architecture, for the packages (cmake/package.cmake).
set(PBQ_DEBIAN_ARCHITECTURE armhf)
