# Cross build for 64-bit Windows with MinGW-w64 (g++-mingw-w64-x86-64-posix, the
# compiler with POSIX threads), whose tests run under wine. `make test-platforms` uses
# it; by hand:
#   cmake -S . -B build/platform/x86_64-w64-mingw32 --toolchain cmake/toolchains/x86_64-w64-mingw32.cmake \
#     -DPBQ_YYJSON_FROM_SOURCE=ON
# The programs are linked statically (the C++ runtime, libgcc and winpthreads), so
# that they run from any folder with only what Windows has; pbq.dll itself always is
# (CMakeLists.txt).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
