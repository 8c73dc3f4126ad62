# Cross build for the recorder's AArch64 board with Debian's own toolchain
# (g++-aarch64-linux-gnu) and the arm64 development packages installed through
# multiarch (tools/install-deps.sh --arm64):
#   cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# The built programs run on this machine under the user-mode emulator: ctest
# starts the test programs through CMAKE_CROSSCOMPILING_EMULATOR, and the
# end-to-end tests start nvr-cgi through NVR_EXEC_WRAPPER (tools/test.sh --arm64).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Libraries and package files of the target only: the arm64 ones live in
# /usr/lib/aarch64-linux-gnu (multiarch), the toolchain's own in
# /usr/aarch64-linux-gnu. Programs (sh, sqlite3) are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# Every program of this build is linked statically: nvr-cgi is on the board
# anyway, and the test programs and the simulator then need neither the
# target's loader nor its C++ runtime here. (Dynamically linked AArch64
# programs run with the toolchain's runtime, qemu-aarch64 -L /usr/aarch64-linux-gnu,
# hang in the children they fork under Debian 12's emulator.)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# The emulator that runs the target's programs here.
find_program(NVR_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static)
if(NVR_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NVR_QEMU_AARCH64})
endif()
